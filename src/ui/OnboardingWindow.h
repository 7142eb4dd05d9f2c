#pragma once

#include "ui/OnboardingSummonView.h"

#include <QWidget>

#include <functional>

namespace ostrevane {

class NotificationCenter;

// The first-run guide window ("Ostrevane Guide", 520 × 360, closable, not resizable),
// centred on the screen, holding an OnboardingSummonView. However it closes (its close
// button, Skip Guide, Got it, the user summoning the panel), `onDismiss` runs once; the
// creator drops its reference there (with deleteLater: the window is inside its close).
// Closing it does not mark the guide as done. Keys: Return presses the focused button, or
// the default one ("Continue", "Got it") where the focus starts; Escape closes like the
// close button. Main thread only.
class OnboardingWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int contentWidth = 520;
    static constexpr int contentHeight = 360;

    OnboardingWindow(OnboardingSummonView::Environment environment, NotificationCenter* notifications,
                     std::function<void()> onDismiss, QWidget* parent = nullptr);
    ~OnboardingWindow() override;

    OnboardingSummonView* content() const { return m_content; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void retranslate();
    void centerOnScreen();

    OnboardingSummonView* m_content;
    NotificationCenter* m_notifications;
    std::uint64_t m_languageToken = 0;
    std::function<void()> m_onDismiss;
};

} // namespace ostrevane
