#include "ui/OnboardingWindow.h"

#include "core/model/Localization.h"
#include "core/shell/NotificationCenter.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace ostrevane {

OnboardingWindow::OnboardingWindow(OnboardingSummonView::Environment environment, NotificationCenter* notifications,
                                   std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint)
    , m_content(new OnboardingSummonView(std::move(environment), this))
    , m_notifications(notifications)
    , m_onDismiss(std::move(onDismiss))
{
    setFixedSize(contentWidth, contentHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_content);
    QPointer<OnboardingWindow> self(this);
    m_content->onDismiss = [self] {
        if (self)
            self->close();
    };
    if (m_notifications) {
        m_languageToken = m_notifications->addObserver(Notifications::languageChanged, [self] {
            if (self)
                self->retranslate();
        });
    }
    retranslate();
    centerOnScreen();
    // Focus for when the window becomes active: a keyboard user starts on the default button.
    m_content->defaultButton()->setFocus();
}

OnboardingWindow::~OnboardingWindow()
{
    if (m_notifications && m_languageToken)
        m_notifications->removeObserver(m_languageToken);
}

void OnboardingWindow::retranslate()
{
    setWindowTitle(Localization::shared().string(QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane Guide")));
    m_content->retranslate();
}

void OnboardingWindow::centerOnScreen()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(contentWidth / 2, contentHeight / 2));
    }
}

// Outside a dialog Qt's buttons leave Return to their window, so the window presses one.
void OnboardingWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        (focused && focused->isVisible() ? focused : m_content->defaultButton())->click();
        return;
    }
    case Qt::Key_Escape:
        close();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void OnboardingWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    // Run once, even if the window is asked to close again from inside the callback.
    if (auto dismiss = std::exchange(m_onDismiss, nullptr))
        dismiss();
}

} // namespace ostrevane
