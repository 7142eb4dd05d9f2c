#include "app/OstrevaneApp.h"

#include "app/HeadlessDesktop.h"
#include "app/SingleInstance.h"
#include "core/AppActivator.h"
#include "core/AppDelegate.h"
#include "core/BrowserTabCache.h"
#include "core/OnboardingManager.h"
#include "core/PlatformProfile.h"
#include "core/RuntimeContext.h"
#include "core/UserDefaults.h"
#include "platform/qt/HostSystemInfo.h"
#include "platform/qt/QtDispatcher.h"
#include "platform/qt/QtFolderEvents.h"
#include "platform/qt/QtURLLoader.h"
#include "platform/qt/XdgAutostartLoginItem.h"
#include "platform/x11/MprisMediaControl.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Clients.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11GlobalMonitors.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11QtConnection.h"
#include "platform/x11/X11TrayHosts.h"
#include "platform/x11/X11WindowServer.h"
#include "platform/x11/X11Workspace.h"
#include "ui/KeyablePanel.h"
#include "ui/OnboardingWindow.h"
#include "ui/QtInputMonitors.h"
#include "ui/QtScreenPort.h"
#include "ui/QtUserFeedback.h"
#include "ui/StatusBarController.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

namespace ostrevane {

namespace {

// Where an installed copy lives; a copy elsewhere (a build folder) yields to it.
const QString installedPrefix = QStringLiteral("/usr/");

void raise(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

class OnboardingGuideWindow : public GuideWindow {
public:
    explicit OnboardingGuideWindow(OnboardingWindow* window) : m_window(window) {}
    ~OnboardingGuideWindow() override
    {
        if (m_window)
            m_window->deleteLater(); // we may be inside its close
    }
    void bringToFront() override
    {
        if (m_window)
            raise(*m_window);
    }

private:
    QPointer<OnboardingWindow> m_window;
};

class OnboardingGuideWindows : public GuideWindowFactory {
public:
    std::unique_ptr<GuideWindow> open(std::function<void()> onDismiss) override
    {
        RuntimeContext& context = RuntimeContext::current();
        OnboardingSummonView::Environment environment;
        environment.onboarding = &OnboardingManager::shared();
        environment.dispatcher = &context.dispatcher();
        environment.accessibilityTrusted = [&context] { return context.accessibility().isProcessTrusted(); };
        environment.openSettings = [] { openPrivacyPane(QStringLiteral("Privacy_Accessibility")); };
        auto* window = new OnboardingWindow(environment, &context.notifications(), std::move(onDismiss));
        raise(*window);
        return std::make_unique<OnboardingGuideWindow>(window);
    }
};

// The desktop the switcher lists and acts on: the X11 backend on its own connection, or,
// without an X display, an empty desktop (the test panel mode still works).
struct Desktop {
    std::shared_ptr<X11Connection> connection = X11Connection::open();
    const PlatformProfile& profile = PlatformProfile::linuxDesktop();
    std::shared_ptr<X11Clients> clients;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<Accessibility> accessibility;
    std::unique_ptr<WindowServer> windowServer;
    UnansweredBrowsers browsers;
    MprisMediaControl media;
    PosixProcessSignals signals_;
    QtFolderEvents folders;
    QtURLLoader urlLoader;
    SwitchItemActivator actions;
    BrowserTabStatusProbe browserStatus;
    XdgAutostartLoginItem loginItems{XdgAutostartLoginItem::forThisProgram(profile.ownBundleID)};

    explicit Desktop(Dispatcher& dispatcher)
    {
        if (!connection) {
            qWarning("Ostrevane: no X11 display; nothing can be listed or switched");
            workspace = std::make_unique<HeadlessWorkspace>();
            accessibility = std::make_unique<HeadlessAccessibility>();
            windowServer = std::make_unique<HeadlessWindowServer>();
            return;
        }
        clients = std::make_shared<X11Clients>(connection);
        workspace = std::make_unique<X11Workspace>(clients, dispatcher, profile);
        accessibility = std::make_unique<X11Accessibility>(clients);
        windowServer = std::make_unique<X11WindowServer>(clients);
    }

    void fill(RuntimeContext::Ports& ports)
    {
        ports.profile = &profile;
        ports.accessibility = accessibility.get();
        ports.workspace = workspace.get();
        ports.windowServer = windowServer.get();
        ports.scriptRunner = &browsers;
        ports.browserAutomation = &browsers;
        ports.mediaControl = &media;
        ports.processSignals = &signals_;
        ports.folderEvents = &folders;
        ports.urlLoader = &urlLoader;
        ports.actions = &actions;
        ports.browserStatus = &browserStatus;
        ports.loginItems = &loginItems;
    }
};

// What the menu and the preferences reach of the software updater. No updater is built
// into the program yet, so its command and controls show disabled; connect it here.
UpdaterControls updaterControls() { return {}; }

struct Shell {
    X11GlobalMonitors globalMonitors;
    QtInputMonitors monitors{&globalMonitors};
    QtScreenPort screens;
    // Under X11 the panel bypasses the window manager and grabs the keyboard itself.
    KeyablePanelFactory panels{qtX11Connection() ? KeyablePanel::KeyboardFocus::keyboardGrab
                                                 : KeyablePanel::KeyboardFocus::windowManager};
    QtUserFeedback feedback;
    X11HotkeyService hotkeys;
    OnboardingGuideWindows guide;
    LocalSocketCopies copies;
    X11TrayHosts trayHosts;
    AppDelegate* delegate = nullptr;
    StatusBarController* statusBar = nullptr; // owned by the delegate

    std::shared_ptr<void> makeStatusBar()
    {
        StatusBarController::Environment environment;
        environment.preferences.feedback = &feedback;
        environment.preferences.suspendHotKeys = [this] {
            return delegate ? delegate->suspendHotKeys() : std::shared_ptr<void>();
        };
        environment.preferences.updater = updaterControls();
        environment.hosts = &trayHosts;
        auto controller = std::make_shared<StatusBarController>(std::move(environment));
        statusBar = controller.get();
        return controller;
    }

    // Opens the preferences of this copy on `pane` (the tray, the command line and a
    // second start all come here).
    void openPreferences(PreferencesPane pane)
    {
        if (statusBar)
            statusBar->openPreferences(pane);
    }

    AppDelegate::Ports ports(Dispatcher& dispatcher)
    {
        return AppDelegate::Ports{
            {screens, panels, monitors, feedback},
            std::make_shared<GlobalHotKey::Registry>(hotkeys, dispatcher),
            &guide,
            &copies,
            installedPrefix,
            {},
            [this] { return makeStatusBar(); },
        };
    }
};

} // namespace

void runOstrevaneApp()
{
    // The process reads no command-line arguments.
    int argc = 1;
    char name[] = "ostrevane";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QtDispatcher dispatcher;
    SystemClock clock;
    UserDefaults defaults(UserDefaults::defaultFilePath());
    HostSystemInfo systemInfo;
    Desktop desktop(dispatcher);

    RuntimeContext::Ports ports;
    ports.dispatcher = &dispatcher;
    ports.clock = &clock;
    ports.defaults = &defaults;
    ports.systemInfo = &systemInfo;
    desktop.fill(ports);
    RuntimeContext context(ports);
    RuntimeContext::install(&context);
    {
        Shell shell;
        AppDelegate delegate(shell.ports(dispatcher));
        shell.delegate = &delegate;
        if (delegate.applicationDidFinishLaunching()) {
            if (!delegate.isTestMode())
                shell.copies.listen();
            QTimer::singleShot(0, [&shell] { shell.panels.warmUp(); }); // once the loop runs
            QApplication::exec();
        }
    }
    RuntimeContext::install(nullptr);
}

} // namespace ostrevane
