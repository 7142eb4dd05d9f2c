#include "core/shell/AppDelegate.h"

#include "core/sources/AppRegistry.h"
#include "core/sources/BrowserTabCache.h"
#include "core/sources/BrowserTabEnumerator.h"
#include "core/input/HotkeySettings.h"
#include "core/model/MRUStore.h"
#include "core/shell/NotificationCenter.h"
#include "core/onboarding/OnboardingManager.h"
#include "core/shell/PlatformProfile.h"
#include "core/preferences/PreferencesPane.h"
#include "core/shell/RuntimeContext.h"
#include "core/shell/SoftwareUpdateController.h"
#include "core/shell/TestPanelItems.h"
#include "core/shell/TimingTrace.h"
#include "core/preferences/UserDefaults.h"
#include "core/sources/WindowEnumeratorCache.h"
#include "core/platform/Workspace.h"

#include <QUrl>

#include <algorithm>

namespace ostrevane {

namespace {

RuntimeContext& context() { return RuntimeContext::current(); }

// The panel's list reads the process's shared caches; this is the one place they are
// bound to it. Each hook reaches the cache when called, so the instances are the ones
// of the context installed then.
ListSources sharedListSources()
{
    ListRefresh refresh{
        .windowsCurrent = [] { return WindowEnumeratorCache::shared().isCurrent(); },
        .windowsFresh = [](double maxAge) { return WindowEnumeratorCache::shared().isFresh(maxAge); },
        .invalidateWindows = [] { WindowEnumeratorCache::shared().invalidate(); },
        .refreshWindowsNow = [] { WindowEnumeratorCache::shared().refreshSync(); },
        .refreshWindowsAsync =
            [](ListRefresh::Completion done) { WindowEnumeratorCache::shared().refreshAsync(std::move(done)); },
        .refreshForegroundBrowserNow = [] { BrowserTabCache::shared().refreshForegroundBrowserNow(); },
        .refreshTabsAsync = [](const std::optional<QString>& browser, ListRefresh::Completion done) {
            BrowserTabCache::shared().refreshAsync(browser, std::move(done));
        },
    };
    return ListSources{
        [] { return WindowEnumeratorCache::shared().cached(); },
        [] { return BrowserTabCache::shared().tabs(); },
        [] { return AppRegistry::shared().apps(); },
        MRUStore::shared(),
        context().workspace(),
        context().clock(),
        context().profile(),
        std::move(refresh),
    };
}

} // namespace

template <class F>
std::function<void()> AppDelegate::weakly(F task)
{
    return [alive = std::weak_ptr<int>(m_lifetime), task = std::move(task)]() mutable {
        if (alive.lock())
            task();
    };
}

AppDelegate::AppDelegate(Ports ports) : m_ports(std::move(ports)) {}

AppDelegate::~AppDelegate()
{
    NotificationCenter& notifications = context().notifications();
    for (const auto& token : {m_hotkeyChangedObserver, m_triggerObserver, m_guideObserver, m_preferencesObserver})
        if (token)
            notifications.removeObserver(*token);
    for (const auto& token : {m_appActivationObserver, m_appTerminationObserver, m_windowListObserver})
        if (token)
            context().workspace().removeObserver(*token);
    if (m_browserWarmupTimer)
        m_browserWarmupTimer->cancel();
}

bool AppDelegate::applicationDidFinishLaunching()
{
    m_testMode = TestPanelItems::shouldShowTestPanel();
    if (!m_testMode) {
        if (enforceSingleInstance())
            return false;
        if (m_ports.offerInstall && m_ports.offerInstall())
            return false;
    }
    warmCaches();
    m_panelController = std::make_unique<SwitcherPanelController>(sharedListSources(), m_ports.panel);
    if (m_ports.makeStatusBar)
        m_statusBar = m_ports.makeStatusBar();
    if (m_testMode)
        context().dispatcher().asyncAfter(testPanelDelay, weakly([this] {
            std::vector<SwitchItem> items = TestPanelItems::defaultVisibleItems();
            for (SwitchItem& item : TestPanelItems::hiddenSearchOnlyItems())
                items.push_back(std::move(item));
            m_panelController->showTestPanel(std::move(items), TestPanelItems::selectedIndex());
        }));
    registerHotKeys();
    addNotificationObservers();
    addWorkspaceObservers();
    scheduleBrowserWarmup();
    if (m_testMode)
        return true;
    // Later copies find this one only now, with its hotkey registered.
    if (m_ports.copies)
        m_ports.copies->settle(
            [this, alive = std::weak_ptr<int>(m_lifetime)](const LaunchRequest& request) {
                if (alive.lock())
                    handleRequest(request, true);
            });
    scheduleFirstLaunchGuide();
    handleRequest(m_ports.request, false);
    return true;
}

void AppDelegate::handleRequest(const LaunchRequest& request, bool fromLaterCopy)
{
    switch (request.kind) {
    case LaunchRequest::Kind::start:
        // Starting the program again is how a desktop without a tray reaches the settings.
        if (fromLaterCopy)
            openPreferences(PreferencesPanes::rawValue(PreferencesPane::general));
        break;
    case LaunchRequest::Kind::preferences:
        openPreferences(request.pane);
        break;
    case LaunchRequest::Kind::show:
        m_panelController->forward();
        break;
    case LaunchRequest::Kind::quit:
        break; // the running copies' port ends the program
    }
}

void AppDelegate::openPreferences(const QString& pane)
{
    if (!m_ports.openPreferences) {
        qWarning("Ostrevane: asked to open the preferences (%s), which this build cannot show", qPrintable(pane));
        return;
    }
    m_ports.openPreferences(pane);
}

// Long-lived instances first (the registry starts watching the application folders),
// then background refreshes, so the first showing finds warm caches.
void AppDelegate::warmCaches()
{
    AppRegistry::shared();
    SoftwareUpdateController& updates = SoftwareUpdateController::shared();
    if (!m_testMode)
        updates.startUpdater(); // the test panel mode shows nothing but the panel
    BrowserTabCache::shared();
    // Naming the application in front lists every window: once the loop runs, not on the
    // way to the hotkey.
    context().dispatcher().async(weakly([] {
        const std::optional<RunningApplication> front = context().workspace().frontmostApplication();
        if (front && front->bundleIdentifier && context().profile().browser(*front->bundleIdentifier))
            BrowserTabCache::shared().refreshAsync(front->bundleIdentifier);
    }));
    // Once the windows are read, the panel is readied for them, so that the first Alt+Tab
    // finds the rows' texts and icons loaded.
    WindowEnumeratorCache::shared().refreshAsync(weakly([this] {
        if (m_panelController && !m_testMode)
            m_panelController->rehearse();
    }));
}

void AppDelegate::registerHotKeys()
{
    if (m_hotKeySuspensions > 0) {
        releaseHotKeys();
        return;
    }
    const HotkeyConfig chord = HotkeyStore::current();
    // The new chords are registered before the old ones are released.
    auto forward = std::make_unique<GlobalHotKey>(m_ports.hotKeys, chord.keyCode, chord.carbonModifiers,
                                                  weakly([this] {
                                                      TimingTrace::mark("forward");
                                                      m_panelController->forward();
                                                  }));
    std::unique_ptr<GlobalHotKey> backward;
    if (!(chord.carbonModifiers & CarbonModifier::shift))
        backward = std::make_unique<GlobalHotKey>(m_ports.hotKeys, chord.keyCode,
                                                  chord.carbonModifiers | CarbonModifier::shift,
                                                  weakly([this] { m_panelController->backward(); }));
    m_hotKeyForward = std::move(forward);
    m_hotKeyBackward = std::move(backward);
}

void AppDelegate::releaseHotKeys()
{
    m_hotKeyForward.reset();
    m_hotKeyBackward.reset();
}

std::optional<QString> AppDelegate::activationChordHeldElsewhere() const
{
    if (!m_hotKeyForward || !m_hotKeyForward->isHeldElsewhere())
        return std::nullopt;
    return HotkeyStore::current().displayString();
}

std::shared_ptr<void> AppDelegate::suspendHotKeys()
{
    if (m_hotKeySuspensions++ == 0)
        releaseHotKeys();
    const std::function<void()> resume = weakly([this] {
        if (--m_hotKeySuspensions == 0)
            registerHotKeys();
    });
    return std::shared_ptr<void>(nullptr, [resume](void*) { resume(); });
}

void AppDelegate::addNotificationObservers()
{
    NotificationCenter& notifications = context().notifications();
    m_hotkeyChangedObserver = notifications.addObserver(Notifications::hotkeyChanged, weakly([this] {
        registerHotKeys();
    }));
    m_triggerObserver = notifications.addObserver(Notifications::triggerForward, weakly([this] {
        m_panelController->forward();
    }));
    m_guideObserver = notifications.addObserver(Notifications::showGuide, weakly([this] { showGuide(); }));
    // A person who opens the settings may just have freed the chord elsewhere.
    m_preferencesObserver = notifications.addObserver(Notifications::openPreferencesPane,
                                                      weakly([this] { m_ports.hotKeys->retryNow(); }));
}

void AppDelegate::addWorkspaceObservers()
{
    Workspace& workspace = context().workspace();
    const std::weak_ptr<int> alive = m_lifetime;
    m_appActivationObserver = workspace.observeActivation([this, alive](const RunningApplication& app) {
        if (alive.lock())
            applicationActivated(app);
    });
    m_appTerminationObserver = workspace.observeTermination([this, alive](const RunningApplication&) {
        if (alive.lock())
            applicationTerminated();
    });
    m_windowListObserver = workspace.observeWindowListChange(weakly([this] { m_panelController->windowListChanged(); }));
}

void AppDelegate::applicationActivated(const RunningApplication& app)
{
    MRUStore::shared().touchApp(app.bundleIdentifier, app.processIdentifier);
    if (!BrowserTabEnumerator::isSupportedBrowser(app.bundleIdentifier))
        return;
    // By the time the event arrives another application may be in front: refresh that one.
    const std::optional<RunningApplication> front = context().workspace().frontmostApplication();
    if (front && front->bundleIdentifier && context().profile().browser(*front->bundleIdentifier))
        BrowserTabCache::shared().refreshAsync(front->bundleIdentifier);
}

void AppDelegate::applicationTerminated()
{
    WindowEnumeratorCache::shared().refreshAsync();
    BrowserTabCache::shared().refreshAsync(std::nullopt);
}

void AppDelegate::scheduleBrowserWarmup()
{
    m_browserWarmupTimer = context().dispatcher().asyncAfter(browserWarmupInterval, weakly([this] {
        browserWarmupFired();
        scheduleBrowserWarmup();
    }));
}

void AppDelegate::browserWarmupFired()
{
    if (!BrowserTabEnumerator::runningBrowserNames().isEmpty())
        BrowserTabCache::shared().refreshAsync(std::nullopt);
}

void AppDelegate::scheduleFirstLaunchGuide()
{
    OnboardingManager::shared();
    if (context().defaults().boolean(OnboardingManager::didCompleteKey).value_or(false))
        return;
    context().dispatcher().asyncAfter(firstLaunchGuideDelay, weakly([this] { showGuide(); }));
}

void AppDelegate::showGuide()
{
    // The guide tells whether the chord works; a chord freed meanwhile should by then.
    m_ports.hotKeys->retryNow();
    if (m_onboardingController) {
        m_onboardingController->bringToFront();
        return;
    }
    OnboardingManager::shared().setStage(context().accessibility().isProcessTrusted() ? OnboardingStage::summon
                                                                                      : OnboardingStage::permissions);
    if (!m_ports.guide) {
        qWarning("Ostrevane: no guide window is available on this desktop");
        return;
    }
    m_onboardingController = m_ports.guide->open(
        weakly([this] { m_onboardingController.reset(); }),
        [this, alive = std::weak_ptr<int>(m_lifetime)]() -> std::optional<QString> {
            return alive.lock() ? activationChordHeldElsewhere() : std::nullopt;
        });
}

bool AppDelegate::enforceSingleInstance()
{
    if (!m_ports.copies)
        return false;
    const std::optional<QString> own = m_ports.copies->ownLocation();
    if (!own)
        return false;
    const std::vector<RunningCopies::Copy> others = m_ports.copies->others();
    const auto installed = [this](const QString& path) { return path.startsWith(m_ports.installedPrefix); };
    // The copy to hand over to: the same program running already (a second start must
    // never replace it), or an installed copy when this one is not installed.
    const auto keeper = std::find_if(others.begin(), others.end(), [&](const RunningCopies::Copy& other) {
        return other.location == *own || (!installed(*own) && installed(other.location));
    });
    if (keeper != others.end()) {
        m_handOverFailed = !m_ports.copies->handOver(*keeper, m_ports.request);
        return true;
    }
    for (const RunningCopies::Copy& other : others)
        m_ports.copies->terminate(other);
    return false;
}

void openPrivacyPane(const QString& anchor)
{
    const QString text = context().profile().privacyPaneURLPrefix + anchor;
    const QUrl url(text, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty())
        context().workspace().openURL(text);
}

} // namespace ostrevane
