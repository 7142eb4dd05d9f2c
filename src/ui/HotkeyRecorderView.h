#pragma once

#include "core/input/HotkeySettings.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace ostrevane {

// A key-capture control bound to a chord. A click (or Space or Return while it has the
// keyboard focus) starts recording; the next key pressed with at least one of Shift,
// Control, Alt or Super becomes the capture. A key without modifiers is taken only where
// plain special keys are allowed, and only the arrows, Return and Tab; any other key
// beeps and recording goes on. Escape, a second click, losing the focus or hiding the
// view ends recording without a capture. While recording, the program's own global
// chord is released (through `suspendHotKeys`), so that the chord being recorded
// reaches this view; it is taken again when recording ends, however it ends.
class HotkeyRecorderView : public QWidget {
    Q_OBJECT

public:
    // A hold on the released global chord; dropping it takes the chord again.
    using HotKeySuspender = std::function<std::shared_ptr<void>()>;

    HotkeyRecorderView(HotkeyConfig config, bool allowPlainSpecialKeys, QWidget* parent = nullptr);
    ~HotkeyRecorderView() override;

    HotkeyConfig config() const { return m_config; }
    // The bound value changed elsewhere: show it.
    void setConfig(const HotkeyConfig& config);
    bool allowsPlainSpecialKeys() const { return m_allowPlainSpecialKeys; }
    bool isRecording() const { return m_recording; }
    void setRecording(bool recording);

    void setHotKeySuspender(HotKeySuspender suspender) { m_suspender = std::move(suspender); }
    // Called for a refused key.
    void setBeep(std::function<void()> beep) { m_beep = std::move(beep); }

    // What the view shows: "Press keys…" while recording, else the chord.
    QString displayText() const;

    // Whether a key without modifiers may be a capture.
    static bool isAcceptedPlainKey(quint32 keyCode, bool allowPlainSpecialKeys);

signals:
    // A chord was captured; recording ends right after (the global chord is still
    // released while this is delivered). The view does not take the capture as its own
    // value: the owner decides (a conflict keeps the old chord).
    void captured(const ostrevane::HotkeyConfig& config);
    void recordingChanged(bool recording);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void record(QKeyEvent* event);
    void refuse();

    HotkeyConfig m_config;
    bool m_allowPlainSpecialKeys;
    bool m_recording = false;
    HotKeySuspender m_suspender;
    std::shared_ptr<void> m_suspension;
    std::function<void()> m_beep;
};

} // namespace ostrevane
