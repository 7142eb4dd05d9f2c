#include "app/OstrevaneApp.h"

#include "app/HeadlessDesktop.h"
#include "app/LinuxBrowsers.h"
#include "app/SingleInstance.h"
#include "core/activation/AppActivator.h"
#include "core/shell/AppDelegate.h"
#include "core/sources/BrowserTabCache.h"
#include "core/shell/CommandLine.h"
#include "core/shell/IdleMemoryTrim.h"
#include "core/model/Localization.h"
#include "core/onboarding/OnboardingManager.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/ProgramFolder.h"
#include "core/shell/RuntimeContext.h"
#include "core/shell/SelfInstaller.h"
#include "core/preferences/SettingsWatcher.h"
#include "core/shell/SoftwareUpdateController.h"
#include "core/shell/TimingTrace.h"
#include "core/preferences/UserDefaults.h"
#include "platform/qt/HostSystemInfo.h"
#include "platform/qt/QtDispatcher.h"
#include "platform/qt/QtFolderEvents.h"
#include "platform/qt/NetworkModule.h"
#include "platform/qt/QtUpdateDownloader.h"
#include "platform/qt/XdgAutostartLoginItem.h"
#include "platform/x11/AtspiAccessibility.h"
#include "platform/x11/DBusAtspiTree.h"
#include "platform/x11/DesktopNotifications.h"
#include "platform/x11/MprisMediaControl.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Clients.h"
#include "platform/x11/X11Compositing.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11GlobalMonitors.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11QtConnection.h"
#include "platform/x11/X11TrayHosts.h"
#include "platform/x11/X11WindowServer.h"
#include "platform/x11/X11Workspace.h"
#include "ui/KeyablePanel.h"
#include "ui/OnboardingWindow.h"
#include "ui/QtAlerts.h"
#include "ui/QtInputMonitors.h"
#include "ui/QtScreenPort.h"
#include "ui/QtUserFeedback.h"
#include "ui/StatusBarController.h"
#include "ui/UpdateDialogs.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

namespace ostrevane {

namespace {

// Where an installed copy lives; a copy elsewhere (a build folder) yields to it.
const QString installedPrefix = QStringLiteral("/usr/");

QString ownProgramFolder()
{
    return ProgramFolder::containing(QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
}

// Replaces this process with the program in `folder` (an updated copy). Every open file
// is closed on the way, so the new program finds no other copy listening and the X
// server has dropped our grabs; should the start fail, this copy goes on as it was.
void restartFrom(const QString& folder)
{
    const QByteArray binary = QFile::encodeName(folder + u'/' + ProgramFolder::binaryPath);
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString& name : descriptors.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
        if (const int fd = name.toInt(); fd > 2)
            ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
    ::execl(binary.constData(), binary.constData(), static_cast<char*>(nullptr));
    qWarning("Ostrevane: cannot start %s: %s", binary.constData(), strerror(errno));
}

bool runProgram(const QString& program, const QStringList& arguments, bool wait)
{
    if (wait)
        return QProcess::execute(program, arguments) >= 0;
    return QProcess::startDetached(program, arguments);
}

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
    std::unique_ptr<GuideWindow> open(std::function<void()> onDismiss,
                                      std::function<std::optional<QString>()> chordHeldElsewhere) override
    {
        RuntimeContext& context = RuntimeContext::current();
        OnboardingSummonView::Environment environment;
        environment.onboarding = &OnboardingManager::shared();
        environment.dispatcher = &context.dispatcher();
        environment.accessibilityTrusted = [&context] { return context.accessibility().isProcessTrusted(); };
        if (context.profile().hasAccessibilityPermission)
            environment.openSettings = [] { openPrivacyPane(QStringLiteral("Privacy_Accessibility")); };
        environment.chordHeldElsewhere = std::move(chordHeldElsewhere);
        auto* window = new OnboardingWindow(environment, &context.notifications(), std::move(onDismiss));
        raise(*window);
        return std::make_unique<OnboardingGuideWindow>(window);
    }
};

// The desktop the switcher lists and acts on: the X11 backend on its own connection, or,
// without an X display, an empty desktop (the test panel mode still works).
// A launch from search that fails is told to the person on screen, not only in the log.
AppActivator::Token noticeLaunchFailures(DesktopNotifications& notifications)
{
    return AppActivator::shared().observeLaunchFailures([&notifications](const AppActivator::LaunchFailure& failure) {
        notifications.show(Localization::shared().format(QT_TRANSLATE_NOOP("Ostrevane", "Could not open %@"),
                                                         {failure.appName}),
                           failure.reason);
    });
}

struct Desktop {
    std::shared_ptr<X11Connection> connection = X11Connection::open();
    const PlatformProfile& profile = PlatformProfile::linuxDesktop();
    std::shared_ptr<X11Clients> clients;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<Accessibility> windowAccessibility;
    DBusAtspiTree atspi;
    std::unique_ptr<Accessibility> accessibility;
    std::unique_ptr<WindowServer> windowServer;
    std::unique_ptr<X11Compositing> compositing; // none without a display: always translucent
    LinuxBrowsers browsers;
    MprisMediaControl media;
    DesktopNotifications notifications;
    PosixProcessSignals signals_;
    QtFolderEvents folders;
    LazyURLLoader urlLoader;
    SwitchItemActivator actions;
    XdgAutostartLoginItem loginItems{XdgAutostartLoginItem::forThisProgram(profile.ownBundleID)};

    explicit Desktop(Dispatcher& dispatcher) : browsers(dispatcher, profile)
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
        windowAccessibility = std::make_unique<X11Accessibility>(clients);
        // Browsers' tab strips, for those without the extension, come from the accessibility bus.
        accessibility = std::make_unique<AtspiAccessibility>(*windowAccessibility, atspi, &X11Accessibility::windowOwner);
        windowServer = std::make_unique<X11WindowServer>(clients, dispatcher);
        compositing = std::make_unique<X11Compositing>(connection, dispatcher);
    }

    void fill(RuntimeContext::Ports& ports)
    {
        ports.profile = &profile;
        ports.accessibility = accessibility.get();
        ports.workspace = workspace.get();
        ports.windowServer = windowServer.get();
        ports.scriptRunner = &browsers.scripts();
        ports.browserAutomation = &browsers.automation();
        ports.mediaControl = &media;
        ports.processSignals = &signals_;
        ports.folderEvents = &folders;
        ports.urlLoader = &urlLoader;
        ports.actions = &actions;
        ports.browserStatus = &browsers.status();
        ports.loginItems = &loginItems;
    }
};

// What the menu and the preferences reach of the software updater. A build without an
// updater still offers the check, which says so; its automatic switches show disabled.
UpdaterControls updaterControls()
{
    UpdaterControls controls;
    controls.checkForUpdates = [] { SoftwareUpdateController::shared().checkForUpdates(); };
    if (!SoftwareUpdateController::shared().isAvailable())
        return controls;
    controls.automaticallyChecksForUpdates = [] { return SoftwareUpdateController::shared().automaticallyChecksForUpdates(); };
    controls.setAutomaticallyChecksForUpdates = [](bool enabled) {
        SoftwareUpdateController::shared().setAutomaticallyChecksForUpdates(enabled);
    };
    controls.automaticallyDownloadsUpdates = [] { return SoftwareUpdateController::shared().automaticallyDownloadsUpdates(); };
    controls.setAutomaticallyDownloadsUpdates = [](bool enabled) {
        SoftwareUpdateController::shared().setAutomaticallyDownloadsUpdates(enabled);
    };
    return controls;
}

struct Shell {
    // First in, last out: it answers a copy waiting for this one to end only once
    // everything else, the hotkey grabs above all, has been let go.
    LocalSocketCopies copies;

    explicit Shell(WindowCompositing* compositing)
        : panels(qtX11Connection() ? KeyablePanel::KeyboardFocus::keyboardGrab : KeyablePanel::KeyboardFocus::windowManager,
                 {}, compositing)
    {
    }

    X11GlobalMonitors globalMonitors;
    QtInputMonitors monitors{&globalMonitors};
    QtScreenPort screens;
    // Under X11 the panel bypasses the window manager and grabs the keyboard itself.
    KeyablePanelFactory panels;
    QtUserFeedback feedback;
    X11HotkeyService hotkeys;
    OnboardingGuideWindows guide;
    QtAlerts alerts;
    QtUpdateDownloader updateDownloader;
    UpdateDialogs updateDialogs;
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
    // second start all come here); an unknown name opens the first pane.
    void openPreferences(const QString& pane)
    {
        if (statusBar)
            statusBar->openPreferences(PreferencesPanes::fromRawValue(pane).value_or(PreferencesPane::general));
    }

    bool offerInstall(Dispatcher& dispatcher)
    {
        SelfInstaller::Ports ports;
        ports.alerts = &alerts;
        ports.copies = &copies;
        ports.dispatcher = &dispatcher;
        ports.run = runProgram;
        ports.pause = [](double seconds) { QThread::msleep(static_cast<unsigned long>(seconds * 1000)); };
        ports.quit = [] { QCoreApplication::quit(); };
        return SelfInstaller::offerInstallIfNeeded(ownProgramFolder(), SelfInstaller::Layout::linuxDesktop(QDir::homePath()),
                                                   ports);
    }

    void makeUpdater(RuntimeContext& context)
    {
        SoftwareUpdateController::Ports ports;
        ports.dispatcher = &context.dispatcher();
        ports.clock = &context.clock();
        ports.defaults = &context.defaults();
        ports.downloader = &updateDownloader;
        ports.driver = &updateDialogs;
        ports.restart = restartFrom;
        SoftwareUpdateController::makeShared(ports, SoftwareUpdateController::buildConfiguration());
    }

    AppDelegate::Ports ports(Dispatcher& dispatcher, const LaunchRequest& request)
    {
        AppDelegate::Ports ports{
            {screens, panels, monitors, feedback},
            std::make_shared<GlobalHotKey::Registry>(hotkeys, dispatcher),
            &guide,
            &copies,
            installedPrefix,
            [this, &dispatcher] { return offerInstall(dispatcher); },
            [this] { return makeStatusBar(); },
        };
        ports.request = request;
        ports.openPreferences = [this](const QString& pane) { openPreferences(pane); };
        return ports;
    }
};

// Writes a line (or lines) the way a terminal shows them.
void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stream);
}

QString versionText()
{
    const SystemInfo::BundleInfo bundle = HostSystemInfo().mainBundle();
    QString text = QStringLiteral("Ostrevane ") + bundle.shortVersion.value_or(QStringLiteral("?"));
    if (bundle.buildVersion && bundle.buildVersion != bundle.shortVersion)
        text += QStringLiteral(" (") + *bundle.buildVersion + QLatin1Char(')');
    return text;
}

// The switcher needs X11 (also under XWayland): Qt's xcb platform unless another one
// was chosen on purpose (offscreen, for the test panel mode). Asked for on Qt's command
// line, so programs launched from the switcher do not inherit the choice.
bool wantsXcb()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return platform.isEmpty() || platform.startsWith("xcb");
}

// Qt aborts when its platform cannot reach a display ("could not load the Qt platform
// plugin"); this says in one line what is missing instead.
bool hasUsableDisplay()
{
    if (!wantsXcb())
        return true;
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) {
        print(stderr, systemLanguageString(QT_TRANSLATE_NOOP(
                          "Ostrevane", "ostrevane: no X display is set (DISPLAY is empty); Ostrevane runs in an X11 "
                                       "session.")));
        return false;
    }
    if (!X11Connection::canConnect(display.toLocal8Bit())) {
        print(stderr, Localization::fill(systemLanguageString(QT_TRANSLATE_NOOP(
                                             "Ostrevane", "ostrevane: cannot open the X display \"%@\"; Ostrevane "
                                                          "runs in an X11 session.")),
                                         {display}));
        return false;
    }
    return true;
}

// Answers what needs no running program; nothing when the program is to run.
std::optional<int> answerCommandLine(const CommandLine& line)
{
    switch (line.action) {
    case CommandLine::Action::help:
        print(stdout, CommandLine::helpText());
        return 0;
    case CommandLine::Action::version:
        print(stdout, versionText());
        return 0;
    case CommandLine::Action::usageError:
        print(stderr, line.error);
        return 2;
    case CommandLine::Action::run:
        break;
    }
    if (line.request.kind != LaunchRequest::Kind::quit)
        return std::nullopt;
    if (LocalSocketCopies::quitRunningCopy())
        return 0;
    print(stderr, systemLanguageString(QT_TRANSLATE_NOOP("Ostrevane", "ostrevane: Ostrevane is not running.")));
    return 1;
}

} // namespace

int runOstrevaneApp(int argc, char** argv)
{
    // Few of the program's threads allocate, and little: one arena shared by them beside the
    // main thread's, rather than one per core, keeps less freed memory apart (0.25 MB idle).
    mallopt(M_ARENA_MAX, 2);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = CommandLine::parse(arguments);
    if (const std::optional<int> answered = answerCommandLine(line))
        return *answered;
    if (!hasUsableDisplay())
        return 1;

    // Qt sees no argument of ours: it would take some (-display, -platform) for its own.
    char platformOption[] = "-platform";
    char xcb[] = "xcb";
    char* qtArgv[] = {argv[0], platformOption, xcb, nullptr};
    int qtArgc = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ? 3 : 1;
    QApplication app(qtArgc, qtArgv);
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
    int status = 0;
    {
        Shell shell(desktop.compositing.get());
        shell.makeUpdater(context);
        AppDelegate delegate(shell.ports(dispatcher, line.request));
        shell.delegate = &delegate;
        if (delegate.applicationDidFinishLaunching()) {
            if (!delegate.isTestMode())
                desktop.browsers.start(*desktop.workspace);
            TimingTrace::mark("ready");
            QTimer::singleShot(0, [&shell] { shell.panels.warmUp(); }); // once the loop runs
            SettingsWatcher settings({defaults, context.folderEvents(), dispatcher, context.notifications(),
                                      Localization::shared()});
            IdleMemoryTrim memory({dispatcher, [] { return static_cast<qint64>(mallinfo2().fordblks); },
                                   [] { malloc_trim(0); }});
            QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                             [&memory] { memory.loopWentIdle(); });
            const AppActivator::Token launchFailures = noticeLaunchFailures(desktop.notifications);
            QApplication::exec();
            AppActivator::shared().removeLaunchFailureObserver(launchFailures);
        }
        status = delegate.exitCode();
    }
    RuntimeContext::install(nullptr);
    return status;
}

} // namespace ostrevane
