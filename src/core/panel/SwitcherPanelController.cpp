#include "core/panel/SwitcherPanelController.h"

#include "core/sources/BrowserTabEnumerator.h"
#include "core/activation/DesktopController.h"
#include "core/model/ListComposer.h"
#include "core/model/MRUStore.h"
#include "core/shell/NotificationCenter.h"
#include "core/onboarding/OnboardingManager.h"
#include "core/model/PanelSettings.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/model/SearchViewModel.h"
#include "core/input/ShortcutStore.h"
#include "core/platform/Accessibility.h"
#include "core/platform/Dispatcher.h"
#include "core/platform/Workspace.h"

#include <QLoggingCategory>
#include <QSet>

#include <algorithm>
#include <cstdio>

namespace ostrevane {

namespace {

// Off unless asked for (QT_LOGGING_RULES="ostrevane.panel.debug=true"): which rows each
// showing and each rebuild produced, for bug reports and the end-to-end tests.
Q_LOGGING_CATEGORY(panelLog, "ostrevane.panel", QtWarningMsg)

void logRows(const char* event, const std::vector<SwitchItem>& items)
{
    if (!panelLog().isDebugEnabled())
        return;
    QStringList titles;
    for (const SwitchItem& item : items)
        titles << item.title();
    qCDebug(panelLog).noquote() << event << titles.join(QStringLiteral(" | "));
}

} // namespace

// Runs `task` only while the controller lives; callbacks handed to timers, monitors,
// observers and completions go through it.
template <class F>
std::function<void()> SwitcherPanelController::weakly(F task)
{
    return [alive = std::weak_ptr<int>(m_lifetime), task = std::move(task)]() mutable {
        if (alive.lock())
            task();
    };
}

namespace {

void writeLineToStandardOutput(const QString& line)
{
    // Flushed per line: a test harness reads the lines while the panel is up.
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// Empty hooks stand for sources that never change (see ListRefresh).
bool holds(const std::function<bool()>& check)
{
    return !check || check();
}

void runHook(const std::function<void()>& hook)
{
    if (hook)
        hook();
}

void refreshThen(const std::function<void(ListRefresh::Completion)>& refresh, ListRefresh::Completion done)
{
    if (refresh)
        refresh(std::move(done));
    else
        done();
}

void refreshTabsThen(const ListRefresh& refresh, const std::optional<QString>& browser, ListRefresh::Completion done)
{
    if (refresh.refreshTabsAsync)
        refresh.refreshTabsAsync(browser, std::move(done));
    else
        done();
}

// The ports of a controller without a display: no screen (so nothing is ever shown),
// monitors that never fire, a silent beep.
class HeadlessPorts final : public ScreenPort, public PanelWindowFactory, public InputMonitors, public UserFeedback {
public:
    std::vector<ScreenInfo> screens() override { return {}; }
    std::optional<ScreenInfo> mainScreen() override { return std::nullopt; }
    QPointF pointerLocation() override { return {}; }
    std::unique_ptr<PanelWindow> makePanel(SearchViewModel&, PanelEdge, QSizeF) override { return nullptr; }
    Token addLocalKeyMonitor(std::function<bool(const PanelKeyEvent&)>) override { return 0; }
    Token addLocalFlagsMonitor(std::function<void(bool)>) override { return 0; }
    Token addGlobalFlagsMonitor(std::function<void(bool)>) override { return 0; }
    Token addLocalClickMonitor(std::function<void(QPointF, bool, bool)>) override { return 0; }
    Token addGlobalClickMonitor(std::function<void(QPointF)>) override { return 0; }
    Token addMouseMovedMonitor(std::function<void()>) override { return 0; }
    void remove(Token) override {}
    void beep() override {}

    static SwitcherPanelController::PanelPorts ports()
    {
        static HeadlessPorts headless;
        return {headless, headless, headless, headless};
    }
};

} // namespace

SwitcherPanelController::SwitcherPanelController(Sources sources)
    : SwitcherPanelController(std::move(sources), HeadlessPorts::ports())
{
}

SwitcherPanelController::SwitcherPanelController(Sources sources, PanelPorts ports)
    : m_sources(std::move(sources))
    , m_ports(ports)
    , m_dispatcher(RuntimeContext::current().dispatcher())
    , m_accessibility(RuntimeContext::current().accessibility())
    , m_notifications(RuntimeContext::current().notifications())
    , m_actions(RuntimeContext::current().actions())
    , m_onboarding(OnboardingManager::shared())
    , m_testPanelOutput(writeLineToStandardOutput)
{
    // New shortcuts take effect during the current showing.
    m_shortcutsChangedObserver = m_notifications.addObserver(Notifications::shortcutsChanged, weakly([this] {
        if (!m_panel)
            return;
        removeKeyMonitor();
        installKeyMonitor();
    }));
}

SwitcherPanelController::~SwitcherPanelController()
{
    if (m_shortcutsChangedObserver)
        m_notifications.removeObserver(*m_shortcutsChangedObserver);
    removeKeyMonitor();
    removeFlagsMonitor();
    removeClickMonitors();
    removeMouseMovedMonitor();
}

std::vector<SwitchItem> SwitcherPanelController::buildItems()
{
    return composeList(m_sources, [this](const QString& bundleID) { return isRecentlyClosedApp(bundleID); });
}

bool SwitcherPanelController::isRecentlyClosedApp(const QString& bundleID)
{
    const WallTime oldest = m_sources.clock.now() - seconds(recentlyClosedAppWindow);
    m_recentlyClosedAppBundles.removeIf([oldest](const auto& entry) { return entry.value() < oldest; });
    return m_recentlyClosedAppBundles.contains(bundleID);
}

void SwitcherPanelController::recordRecentlyClosedApp(const QString& bundleID)
{
    m_recentlyClosedAppBundles.insert(bundleID, m_sources.clock.now());
}

std::optional<QString> SwitcherPanelController::supportedBrowser(const Frontmost& front)
{
    if (!PanelSettings::preferBrowserTabsWhenFrontmost() || !front
        || !BrowserTabEnumerator::isSupportedBrowser(front->bundleIdentifier))
        return std::nullopt;
    return front->bundleIdentifier;
}

bool SwitcherPanelController::shouldPreferFrontmostBrowserTabs()
{
    return supportedBrowser(m_sources.workspace.frontmostApplication()).has_value();
}

std::optional<TabGroupItem> SwitcherPanelController::preferredFrontmostBrowserTabGroup(const std::vector<SwitchItem>& items)
{
    return tabGroupOf(items, supportedBrowser(m_sources.workspace.frontmostApplication()));
}

std::optional<TabGroupItem> SwitcherPanelController::tabGroupOf(const std::vector<SwitchItem>& items,
                                                                const std::optional<QString>& browser)
{
    if (!browser)
        return std::nullopt;
    // A single tab is no list worth opening into.
    for (const SwitchItem& item : items)
        if (const TabGroupItem* group = item.as<TabGroupItem>();
            group && group->browserBundleID == *browser && group->tabs.size() >= 2)
            return *group;
    return std::nullopt;
}

// ---- Showing and hiding ----

struct SwitcherPanelController::Retiring {
    std::unique_ptr<PanelWindow> window; // destroyed first: its view shows the list below
    std::shared_ptr<SearchViewModel> viewModel;
    ~Retiring() { window.reset(); }
};

void SwitcherPanelController::forward() { summon(1); }

void SwitcherPanelController::backward() { summon(-1); }

void SwitcherPanelController::summon(int step)
{
    if (m_accessibility.isProcessTrusted()) {
        if (m_panel && !m_committed) {
            advance(step);
            return;
        }
        if (m_panel)
            hide();
        show(step);
        return;
    }
    m_ports.feedback.beep();
    if (!m_accessibility.isProcessTrusted())
        m_onboarding.setStage(OnboardingStage::permissions);
    m_notifications.post(Notifications::showGuide);
}

bool SwitcherPanelController::isTeachingStage() const
{
    const OnboardingStage stage = m_onboarding.stage();
    return stage == OnboardingStage::panelBasics || stage == OnboardingStage::movement
        || stage == OnboardingStage::actions;
}

void SwitcherPanelController::advance(int step)
{
    if (!m_viewModel || m_viewModel->visibleCount() < 1)
        return;
    // While the guide teaches moving, releasing Option must not end the lesson.
    m_suppressCommitOnOptionRelease = isTeachingStage();
    m_onboarding.noteMove();
    m_viewModel->moveSelection(step); // claims the highlight for the keyboard, wraps
}

std::shared_ptr<SearchViewModel> SwitcherPanelController::makeViewModel(std::vector<SwitchItem> items,
                                                                        bool showsInactiveApps)
{
    return std::make_shared<SearchViewModel>(std::move(items), showsInactiveApps, m_actions, m_dispatcher);
}

// A window that appeared a moment ago must be in the list the panel opens with: the
// rebuild after showing would come too late for a quick Alt+Tab. Windows change a moment
// before the refresh they cause has finished, so the list is read here only then.
void SwitcherPanelController::freshenSourcesBeforeShow(const Frontmost& front)
{
    const ListRefresh& refresh = m_sources.refresh;
    if (supportedBrowser(front))
        runHook(refresh.refreshForegroundBrowserNow);
    if (!holds(refresh.windowsCurrent) || m_sources.windows().empty())
        runHook(refresh.refreshWindowsNow);
}

void SwitcherPanelController::windowListChanged()
{
    runHook(m_sources.refresh.invalidateWindows);
    const std::weak_ptr<SearchViewModel> shown = m_viewModel;
    refreshThen(m_sources.refresh.refreshWindowsAsync, weakly([this, shown] {
        QSet<quint32> numbers;
        for (const WindowItem& window : m_sources.windows())
            if (window.cgWindowID)
                numbers.insert(*window.cgWindowID);
        m_sources.recency.keepWindows(numbers);
        rebuildInPlace(shown);
    }));
}

void SwitcherPanelController::rehearse()
{
    if (m_shownOnce)
        return;
    std::vector<SwitchItem> items = buildItems();
    const int itemCount = static_cast<int>(items.size());
    const std::shared_ptr<SearchViewModel> viewModel = makeViewModel(std::move(items), false);
    if (viewModel->visibleCount() >= 2)
        viewModel->setSelectedIndex(1);
    if (const std::optional<PanelPlacement> placement = placementFor(itemCount))
        m_ports.windows.rehearse(*viewModel, placement->edge, placement->final.size());
}

void SwitcherPanelController::show(int initialOffset)
{
    m_shownOnce = true;
    m_sources.workspace.catchUpWithActivations();
    const Frontmost front = m_sources.workspace.frontmostApplication();
    freshenSourcesBeforeShow(front);
    std::vector<SwitchItem> items = buildItems();
    logRows("shown:", items);
    const int itemCount = static_cast<int>(items.size());
    const std::shared_ptr<SearchViewModel> viewModel = makeViewModel(std::move(items), false);
    m_suppressCommitOnOptionRelease = false;
    // The offset wraps over the rows the main list shows: it hides tab rows, so wrapping
    // over all items could leave the highlight past the last visible row.
    const int visible = viewModel->visibleCount();
    const int offset = isInNoRow(front) ? initialOffset - 1 : initialOffset;
    if (visible >= 2)
        viewModel->setSelectedIndex(((offset % visible) + visible) % visible);
    viewModel->onSelect = [this, alive = std::weak_ptr<int>(m_lifetime)](const SwitchItem& item) {
        if (alive.lock())
            select(item);
    };
    viewModel->onClose = [this, alive = std::weak_ptr<int>(m_lifetime),
                          weakModel = std::weak_ptr<SearchViewModel>(viewModel)](const SwitchItem& item) {
        if (const auto model = weakModel.lock(); alive.lock() && model)
            close(model, item);
    };
    viewModel->onCancel = weakly([this] { cancel(); });
    m_viewModel = viewModel;
    if (const std::optional<TabGroupItem> group = tabGroupOf(viewModel->items(), supportedBrowser(front)))
        viewModel->openTabGroup(SwitchItem(*group), false);
    showPanel(viewModel, itemCount);
    if (m_onboarding.stage() == OnboardingStage::summon) {
        viewModel->setEngaged(true);
        m_suppressCommitOnOptionRelease = true;
        m_onboarding.panelDidShow();
    }
    freshenSourcesAfterShow(viewModel, front);
}

// The first row is normally the window the user is in, so a showing starts on the second.
// With no window focused (the desktop shown, the last window closed) the user is in no
// row, and the first row, the window just left, is where a quick Alt+Tab goes back to.
bool SwitcherPanelController::isInNoRow(const Frontmost& front) const
{
    const AXElement app = front ? m_accessibility.createApplication(front->processIdentifier) : nullptr;
    return app && !m_accessibility.copyElement(app, AX::focusedWindow);
}

bool SwitcherPanelController::isCurrent(const std::weak_ptr<SearchViewModel>& viewModel) const
{
    const auto model = viewModel.lock();
    return model && model == m_viewModel;
}

void SwitcherPanelController::rebuildInPlace(const std::weak_ptr<SearchViewModel>& viewModel)
{
    if (!isCurrent(viewModel))
        return;
    replaceItems(buildItems());
}

void SwitcherPanelController::replaceItems(std::vector<SwitchItem> items)
{
    logRows("rebuilt:", items);
    m_viewModel->updateItems(std::move(items));
}

// A stale window list and the frontmost browser's tabs are refreshed while the panel is
// already up; the list is rebuilt once when every refresh started here has finished. With
// nothing to refresh there is no rebuild: it would build the same rows again, at 200
// windows for 2 ms, just when a quick Alt release wants the main thread. The windows are
// read once the panel is on screen: at 200 windows that read's requests would wait ahead
// of the panel's own at the window server and hold its first frame back by 5 ms.
void SwitcherPanelController::freshenSourcesAfterShow(const std::shared_ptr<SearchViewModel>& viewModel,
                                                      const Frontmost& front)
{
    const ListRefresh& refresh = m_sources.refresh;
    const bool windowsStale = refresh.windowsFresh && !refresh.windowsFresh(windowListMaxAge);
    const bool browserInFront = front && BrowserTabEnumerator::isSupportedBrowser(front->bundleIdentifier);
    if (!windowsStale && !browserInFront)
        return;
    struct WaitGroup {
        int pending = 1; // released after the refreshes are started
        std::function<void()> notify;
        void leave()
        {
            if (--pending == 0)
                notify();
        }
    };
    auto group = std::make_shared<WaitGroup>();
    group->notify = [this, weak = std::weak_ptr<SearchViewModel>(viewModel)] {
        m_dispatcher.async(weakly([this, weak] { rebuildInPlace(weak); }));
    };
    const auto leave = [group] { group->leave(); };
    if (windowsStale) {
        ++group->pending;
        m_onScreen = [read = refresh.refreshWindowsAsync, leave] { refreshThen(read, leave); };
    }
    if (browserInFront) {
        ++group->pending;
        refreshTabsThen(refresh, front->bundleIdentifier, leave);
    }
    group->leave();
}

void SwitcherPanelController::showPanel(const std::shared_ptr<SearchViewModel>& viewModel, int itemCount)
{
    m_committed = false;
    const std::optional<PanelPlacement> placement = placementFor(itemCount);
    if (!placement)
        return; // no screen: the list stays until the next hide()
    std::unique_ptr<PanelWindow> window = m_ports.windows.makePanel(*viewModel, placement->edge, placement->final.size());
    if (!window) {
        qWarning("Ostrevane: the panel window could not be created");
        return;
    }
    m_panelEdge = placement->edge;
    PanelWindow* shown = window.get();
    m_panel = std::move(window);
    m_onScreen = nullptr;
    // A panel hidden during its slide-in never gets click monitors.
    shown->slideIn(placement->start, placement->final, weakly([this, shown] {
        if (m_panel.get() != shown)
            return;
        installClickMonitors();
        if (const std::function<void()> then = std::exchange(m_onScreen, nullptr))
            then();
    }));
    installKeyMonitor();
    installFlagsMonitor();
    installMouseMovedMonitor();
    // Match texts are prepared while the user still reads the list, so the first
    // keystroke only filters.
    m_dispatcher.async([weak = std::weak_ptr<SearchViewModel>(viewModel)] {
        if (const auto model = weak.lock())
            model->prepareSearch();
    });
}

std::optional<PanelPlacement> SwitcherPanelController::placementFor(int itemCount) const
{
    return panelPlacement(m_ports.screens.screens(), m_ports.screens.mainScreen(), m_ports.screens.pointerLocation(),
                          PanelLayoutSettings::current(), itemCount);
}

void SwitcherPanelController::hide()
{
    removeKeyMonitor();
    removeFlagsMonitor();
    removeClickMonitors();
    removeMouseMovedMonitor();
    if (!m_panel) {
        m_viewModel.reset();
        return;
    }
    // Cleared first, so a new showing can start at once while the old one slides out.
    auto retiring = std::make_unique<Retiring>();
    retiring->window = std::move(m_panel);
    retiring->viewModel = std::move(m_viewModel);
    Retiring* key = retiring.get();
    PanelWindow& window = *retiring->window;
    m_retiring.push_back(std::move(retiring));
    // Destroyed from the main queue, not inside the window's own animation callback.
    window.slideOut(weakly([this, key] {
        m_dispatcher.async(weakly([this, key] {
            std::erase_if(m_retiring, [key](const std::unique_ptr<Retiring>& r) { return r.get() == key; });
        }));
    }));
}

void SwitcherPanelController::showTestPanel(std::vector<SwitchItem> items, int selectedIndex)
{
    m_shownOnce = true;
    const std::shared_ptr<SearchViewModel> viewModel = makeViewModel(std::move(items), true);
    viewModel->setEngaged(true);
    viewModel->setSelectedIndex(std::clamp(selectedIndex, 0, std::max(viewModel->visibleCount() - 1, 0)));
    viewModel->onSelect = [this, alive = std::weak_ptr<int>(m_lifetime)](const SwitchItem& item) {
        if (alive.lock())
            m_testPanelOutput(QStringLiteral("Ostrevane test panel selected: ") + item.title());
    };
    viewModel->onClose = [this, alive = std::weak_ptr<int>(m_lifetime)](const SwitchItem& item) {
        if (alive.lock() && item.closeCapability().allowsClosing())
            m_testPanelOutput(QStringLiteral("Ostrevane test panel close: ") + item.title());
    };
    viewModel->onCancel = weakly([this] { cancel(); });
    m_suppressCommitOnOptionRelease = true;
    m_viewModel = viewModel;
    showPanel(viewModel, std::max(viewModel->visibleCount(), 1));
}

// ---- Choosing, cancelling and closing ----

void SwitcherPanelController::select(const SwitchItem& item)
{
    // One showing opens one row: releasing Alt can be reported by the panel and by the
    // desktop-wide monitor alike.
    if (m_committed)
        return;
    // The activation request leaves first; recording the use (and its write, later) may
    // take as long as the recency lists are.
    item.activate();
    m_sources.recency.touch(item.mruKey(), item.windowNumber());
    m_committed = true;
    if (m_panel)
        m_panel->yieldKeyboard();
    // Only this showing: a new one may have started within the delay.
    m_dispatcher.asyncAfter(hideAfterSelectDelay, weakly([this, shown = std::weak_ptr<SearchViewModel>(m_viewModel)] {
        if (isCurrent(shown))
            hide();
    }));
}

void SwitcherPanelController::cancel()
{
    m_suppressCommitOnOptionRelease = true;
    if (m_viewModel)
        m_viewModel->setEngaged(true);
    hide();
}

void SwitcherPanelController::closeCurrentItem()
{
    const std::shared_ptr<SearchViewModel> viewModel = m_viewModel;
    if (!viewModel || !viewModel->onClose)
        return;
    // The visible list's row: a tab of the open tab group, a window of the open window
    // group, else a main-list row; an index outside the list closes nothing.
    if (const std::optional<SwitchItem> item = viewModel->visibleItem(viewModel->selectedIndex())) {
        const auto onClose = viewModel->onClose;
        onClose(*item);
    }
}

void SwitcherPanelController::close(const std::shared_ptr<SearchViewModel>& viewModel, const SwitchItem& item)
{
    if (!item.closeCapability().allowsClosing())
        return;
    m_suppressCommitOnOptionRelease = true; // releasing Option afterwards hides without switching
    viewModel->markClosing(item);
    item.close();
    scheduleClosePropagationRefresh(viewModel, item);
}

void SwitcherPanelController::scheduleClosePropagationRefresh(const std::shared_ptr<SearchViewModel>& viewModel,
                                                              SwitchItem closedItem)
{
    for (const double delay : closePropagationDelays)
        m_dispatcher.asyncAfter(delay, weakly([this, weak = std::weak_ptr<SearchViewModel>(viewModel), closedItem] {
                                    runClosePropagationPass(weak, closedItem);
                                }));
}

void SwitcherPanelController::runClosePropagationPass(const std::weak_ptr<SearchViewModel>& viewModel,
                                                      const SwitchItem& closedItem)
{
    if (!isCurrent(viewModel))
        return;
    refreshThen(m_sources.refresh.refreshWindowsAsync, weakly([this, viewModel, closedItem] {
        refreshTabsThen(m_sources.refresh, std::nullopt, weakly([this, viewModel, closedItem] {
                            finishClosePropagationPass(viewModel, closedItem);
                        }));
    }));
}

void SwitcherPanelController::finishClosePropagationPass(const std::weak_ptr<SearchViewModel>& viewModel,
                                                         const SwitchItem& closedItem)
{
    if (!isCurrent(viewModel))
        return;
    std::vector<SwitchItem> items = buildItems();
    const bool appLevel = closedItem.kind() == SwitchItem::Kind::tabGroup
        || closedItem.kind() == SwitchItem::Kind::windowGroup || closedItem.kind() == SwitchItem::Kind::app;
    const std::optional<QString> bundleID = closedItem.bundleID();
    if (appLevel && bundleID && !m_actions.runningUserAppIDs().contains(*bundleID)) {
        // The window server and accessibility may still report a quit app for a while.
        recordRecentlyClosedApp(*bundleID);
        std::erase_if(items, [&](const SwitchItem& item) { return item.bundleID() == bundleID; });
    }
    noteHungWindow(closedItem, items);
    replaceItems(std::move(items));
}

// A window still there after its close may belong to a program that does not respond:
// its row says so, and whether closing it again force-quits the program.
void SwitcherPanelController::noteHungWindow(const SwitchItem& closedItem, const std::vector<SwitchItem>& items)
{
    const WindowItem* window = closedItem.as<WindowItem>();
    const QString key = closedItem.rowKey();
    if (!window || std::none_of(items.begin(), items.end(), [&](const SwitchItem& i) { return i.rowKey() == key; }))
        return;
    const HungWindow state = m_actions.hungWindowState(*window);
    if (state == HungWindow::no)
        return;
    m_viewModel->markNotResponding(closedItem, state);
    const QString offer = state == HungWindow::forceQuitOffered ? QStringLiteral(" (closing again force-quits)") : QString();
    qCDebug(panelLog).noquote() << "not responding:" << closedItem.title() + offer;
}

// ---- Monitors ----

void SwitcherPanelController::removeMonitor(std::optional<std::uint64_t>& token)
{
    if (token)
        m_ports.monitors.remove(*token);
    token.reset();
}

void SwitcherPanelController::installKeyMonitor()
{
    // The chords are read once per installation; "Ostrevane.shortcutsChanged" re-installs.
    m_keyMonitor = m_ports.monitors.addLocalKeyMonitor(
        [this, alive = std::weak_ptr<int>(m_lifetime), shortcuts = ShortcutStore::allResolved()](
            const PanelKeyEvent& event) { return alive.lock() && handleKey(event, shortcuts); });
}

void SwitcherPanelController::removeKeyMonitor() { removeMonitor(m_keyMonitor); }

void SwitcherPanelController::installFlagsMonitor()
{
    m_localFlagsMonitor = m_ports.monitors.addLocalFlagsMonitor(
        [this, alive = std::weak_ptr<int>(m_lifetime)](bool optionHeld) {
            if (alive.lock())
                optionChanged(optionHeld);
        });
    m_globalFlagsMonitor = m_ports.monitors.addGlobalFlagsMonitor([this, alive = std::weak_ptr<int>(m_lifetime)](
                                                                      bool optionHeld) {
        if (alive.lock())
            m_dispatcher.async(weakly([this, optionHeld] { optionChanged(optionHeld); }));
    });
}

void SwitcherPanelController::removeFlagsMonitor()
{
    removeMonitor(m_localFlagsMonitor);
    removeMonitor(m_globalFlagsMonitor);
}

void SwitcherPanelController::installClickMonitors()
{
    m_globalClickMonitor = m_ports.monitors.addGlobalClickMonitor(
        [this, alive = std::weak_ptr<int>(m_lifetime)](QPointF point) {
            if (alive.lock())
                m_dispatcher.async(weakly([this, point] { globalClick(point); }));
        });
    m_localClickMonitor = m_ports.monitors.addLocalClickMonitor(
        [this, alive = std::weak_ptr<int>(m_lifetime)](QPointF point, bool inPanel, bool optionHeld) {
            if (alive.lock())
                localClick(point, inPanel, optionHeld);
        });
}

void SwitcherPanelController::removeClickMonitors()
{
    removeMonitor(m_globalClickMonitor);
    removeMonitor(m_localClickMonitor);
}

void SwitcherPanelController::installMouseMovedMonitor()
{
    m_mouseMovedMonitor = m_ports.monitors.addMouseMovedMonitor(weakly([this] {
        if (m_viewModel)
            m_viewModel->mouseMoved(); // the pointer takes the hover highlight back
    }));
}

void SwitcherPanelController::removeMouseMovedMonitor() { removeMonitor(m_mouseMovedMonitor); }

bool SwitcherPanelController::handleKey(const PanelKeyEvent& event, const ShortcutMap& shortcuts)
{
    if (!m_viewModel)
        return false;
    const SearchViewModel& model = *m_viewModel;
    PanelKeyState state;
    state.searchActive = model.searchActive();
    state.tabGroupOpen = model.activeTabGroup().has_value();
    state.windowGroupOpen = model.activeWindowGroup().has_value();
    const std::vector<SwitchItem>& rows = model.filtered();
    const int selected = model.selectedIndex();
    if (selected >= 0 && selected < static_cast<int>(rows.size()))
        state.selectedRowKind = rows[static_cast<size_t>(selected)].kind();
    state.visibleCount = model.visibleCount();
    const PanelKeyAction action = PanelKeyRules::keyAction(event, shortcuts, state);
    perform(action);
    return action != PanelKeyAction::passOn;
}

void SwitcherPanelController::openSelectedGroup(PanelKeyAction action)
{
    const SwitchItem row = m_viewModel->filtered().at(static_cast<size_t>(m_viewModel->selectedIndex()));
    if (action == PanelKeyAction::openTabGroup)
        m_viewModel->openTabGroup(row, false);
    else
        m_viewModel->openWindowGroup(row, false);
}

void SwitcherPanelController::perform(PanelKeyAction action)
{
    const std::shared_ptr<SearchViewModel> model = m_viewModel; // kept while the action runs
    switch (action) {
    case PanelKeyAction::passOn:
    case PanelKeyAction::swallow:
        return;
    case PanelKeyAction::moveUp:
    case PanelKeyAction::moveDown:
        // Unlike advance(), a move by key does not count as a move of the guide.
        m_suppressCommitOnOptionRelease = isTeachingStage();
        return model->moveSelection(action == PanelKeyAction::moveUp ? -1 : 1);
    case PanelKeyAction::closeTabGroup:
        return model->closeTabGroup();
    case PanelKeyAction::closeWindowGroup:
        return model->closeWindowGroup();
    case PanelKeyAction::openTabGroup:
    case PanelKeyAction::openWindowGroup:
        return openSelectedGroup(action);
    case PanelKeyAction::showDesktop:
        DesktopController::showDesktop();
        return hide();
    case PanelKeyAction::advanceForward:
        return advance(1);
    case PanelKeyAction::advanceBackward:
        return advance(-1);
    case PanelKeyAction::cancel:
        return cancel();
    case PanelKeyAction::closeSelected:
        return closeCurrentItem();
    case PanelKeyAction::commit:
        model->setEnterPulse(model->enterPulse() + 1);
        return model->commit();
    case PanelKeyAction::startSearch:
        model->setEnterPulse(model->enterPulse() + 1);
        model->setSearchActive(true);
        return model->setEngaged(true);
    }
}

void SwitcherPanelController::optionChanged(bool optionHeld)
{
    const bool engaged = m_viewModel && m_viewModel->engaged();
    switch (PanelKeyRules::optionReleaseAction(optionHeld, m_viewModel != nullptr, m_suppressCommitOnOptionRelease,
                                               engaged)) {
    case PanelKeyRules::OptionRelease::hide:
        m_suppressCommitOnOptionRelease = false;
        return hide();
    case PanelKeyRules::OptionRelease::commit:
        return m_viewModel->commit();
    case PanelKeyRules::OptionRelease::none:
    case PanelKeyRules::OptionRelease::stay:
        return;
    }
}

void SwitcherPanelController::globalClick(QPointF point)
{
    const std::optional<QRectF> frame = m_panel ? std::optional(m_panel->frame()) : std::nullopt;
    if (PanelKeyRules::globalClickHides(frame, point))
        hide();
}

void SwitcherPanelController::localClick(QPointF point, bool inPanel, bool optionHeld)
{
    if (!m_panel)
        return;
    switch (PanelKeyRules::localClickAction(m_panel->frame(), point, inPanel, optionHeld)) {
    case PanelKeyRules::LocalClick::engage:
        if (m_viewModel)
            m_viewModel->setEngaged(true); // a click without Option keeps the panel for the mouse
        return;
    case PanelKeyRules::LocalClick::hide:
        m_dispatcher.async(weakly([this] { hide(); }));
        return;
    case PanelKeyRules::LocalClick::none:
        return;
    }
}

} // namespace ostrevane
