#pragma once

#include "core/platform/Dispatcher.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;

namespace ostrevane {

class OnboardingManager;
class PulseAnimation;

// The guide window's content. Without the Accessibility permission it shows the permission
// page (three steps, "Open Accessibility Settings", "Continue"); with it, the summon page
// (pulsing Option and Tab key caps, "Open Settings", "Got it"). It checks the permission
// when shown and every second, so the page flips by itself soon after the user grants it,
// and asks to be dismissed once the user has summoned the panel. While another program
// holds the activation chord, the summon page says so (checked every second too). The
// settings buttons exist only where a settings page can be opened. Texts and key caps
// follow the desktop ("Alt" on Linux). Main thread only.
class OnboardingSummonView : public QWidget {
    Q_OBJECT

public:
    static constexpr double permissionPollSeconds = 1.0;

    struct Environment {
        OnboardingManager* onboarding = nullptr;
        Dispatcher* dispatcher = nullptr;
        std::function<bool()> accessibilityTrusted;
        // Opens the desktop's settings where the permission is granted. Empty: the desktop
        // has no such page, and no button offers it.
        std::function<void()> openSettings;
        // The activation chord as shown, while another program holds it; nothing otherwise.
        std::function<std::optional<QString>()> chordHeldElsewhere;
    };

    explicit OnboardingSummonView(Environment environment, QWidget* parent = nullptr);
    ~OnboardingSummonView() override;

    // Closes the window; set by the window.
    std::function<void()> onDismiss;

    bool hasAccessibility() const { return m_hasAccessibility; }
    QPushButton* skipButton() const { return m_skip; }
    QPushButton* settingsButton() const { return m_settings; }
    QPushButton* defaultButton() const { return m_default; }
    QString titleText() const;
    QString subtitleText() const;
    // The footnote, or the warning that another program holds the chord.
    QString footnoteText() const;
    bool showsChordWarning() const { return m_chordHeldElsewhere.has_value(); }
    // The permission page's steps that show as done.
    std::array<bool, 3> stepsDone() const;

    // Texts again in the current language.
    void retranslate();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildWidgets();
    void rereadTrust();
    void rereadChord();
    void scheduleTick();
    void stageChanged();
    void skipGuide();
    void openSettings();
    void confirm();
    void dismiss();
    void paintKeyGuide(QPainter& painter, const QRectF& area) const;
    void paintSteps(QPainter& painter, const QRectF& area) const;
    QRectF bodyArea() const;

    Environment m_env;
    bool m_hasAccessibility = false;
    bool m_openedSettings = false;
    std::optional<QString> m_chordHeldElsewhere;
    CancellableRef m_tick;
    PulseAnimation* m_pulse;
    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    QLabel* m_footnote = nullptr;
    QPushButton* m_skip = nullptr;
    QPushButton* m_settings = nullptr;
    QPushButton* m_default = nullptr;
};

} // namespace ostrevane
