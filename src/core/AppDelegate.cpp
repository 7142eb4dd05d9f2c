#include "core/AppDelegate.h"

#include "core/AppRegistry.h"
#include "core/BrowserTabCache.h"
#include "core/BrowserTabEnumerator.h"
#include "core/HotkeySettings.h"
#include "core/MRUStore.h"
#include "core/NotificationCenter.h"
#include "core/OnboardingManager.h"
#include "core/PlatformProfile.h"
#include "core/RuntimeContext.h"
#include "core/TestFixtures.h"
#include "core/TimingTrace.h"
#include "core/UserDefaults.h"
#include "core/WindowEnumeratorCache.h"
#include "core/platform/Workspace.h"

#include <QUrl>

namespace ostrevane {

namespace {

RuntimeContext& context() { return RuntimeContext::current(); }

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
    for (const auto& token : {m_hotkeyChangedObserver, m_triggerObserver, m_guideObserver})
        if (token)
            notifications.removeObserver(*token);
    for (const auto& token : {m_appActivationObserver, m_appTerminationObserver})
        if (token)
            context().workspace().removeObserver(*token);
    if (m_browserWarmupTimer)
        m_browserWarmupTimer->cancel();
}

bool AppDelegate::applicationDidFinishLaunching()
{
    m_testMode = OstrevaneTestFixtures::shouldShowTestPanel();
    if (!m_testMode) {
        if (enforceSingleInstance())
            return false;
        if (m_ports.offerInstall && m_ports.offerInstall())
            return false;
    }
    warmCaches();
    m_panelController = std::make_unique<SwitcherPanelController>(m_ports.panel);
    if (m_ports.makeStatusBar)
        m_statusBar = m_ports.makeStatusBar();
    if (m_testMode)
        context().dispatcher().asyncAfter(testPanelDelay, weakly([this] {
            std::vector<SwitchItem> items = OstrevaneTestFixtures::defaultVisibleItems();
            for (SwitchItem& item : OstrevaneTestFixtures::hiddenSearchOnlyItems())
                items.push_back(std::move(item));
            m_panelController->showTestPanel(std::move(items), OstrevaneTestFixtures::selectedIndex());
        }));
    registerHotKeys();
    addNotificationObservers();
    addWorkspaceObservers();
    scheduleBrowserWarmup();
    if (!m_testMode)
        scheduleFirstLaunchGuide();
    return true;
}

// Long-lived instances first (the registry starts watching the application folders),
// then background refreshes, so the first showing finds warm caches.
void AppDelegate::warmCaches()
{
    AppRegistry::shared();
    BrowserTabCache::shared();
    const std::optional<RunningApplication> front = context().workspace().frontmostApplication();
    if (front && front->bundleIdentifier && context().profile().browser(*front->bundleIdentifier))
        BrowserTabCache::shared().refreshAsync(front->bundleIdentifier);
    WindowEnumeratorCache::shared().refreshAsync();
}

void AppDelegate::registerHotKeys()
{
    if (m_hotKeySuspensions > 0) {
        m_hotKeyForward.reset();
        return;
    }
    const HotkeyConfig chord = HotkeyStore::current();
    // The new chord is registered before the old one is released.
    auto replacement = std::make_unique<GlobalHotKey>(m_ports.hotKeys, chord.keyCode, chord.carbonModifiers,
                                                      weakly([this] {
                                                          TimingTrace::mark("forward");
                                                          m_panelController->forward();
                                                      }));
    m_hotKeyForward = std::move(replacement);
}

std::shared_ptr<void> AppDelegate::suspendHotKeys()
{
    if (m_hotKeySuspensions++ == 0)
        m_hotKeyForward.reset();
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
    m_onboardingController = m_ports.guide->open(weakly([this] { m_onboardingController.reset(); }));
}

bool AppDelegate::enforceSingleInstance()
{
    if (!m_ports.copies)
        return false;
    const std::optional<QString> own = m_ports.copies->ownLocation();
    if (!own)
        return false;
    const std::vector<RunningCopies::Copy> others = m_ports.copies->others();
    if (others.empty())
        return false;
    const auto installed = [this](const QString& path) { return path.startsWith(m_ports.installedPrefix); };
    if (!installed(*own))
        for (const RunningCopies::Copy& other : others)
            if (installed(other.location))
                return true; // this copy yields to the installed one, which keeps running untouched
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
