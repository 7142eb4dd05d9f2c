#pragma once

#include "core/model/ListComposer.h"
#include "core/panel/PanelKeyRules.h"
#include "core/panel/PanelPlacement.h"
#include "core/model/PanelSettings.h"
#include "core/model/SwitchItem.h"
#include "core/platform/Clock.h"
#include "core/platform/PanelPorts.h"
#include "core/platform/Workspace.h"

#include <QHash>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ostrevane {

class Accessibility;
class Dispatcher;
class MRUStore;
class NotificationCenter;
class OnboardingManager;
class SearchViewModel;
class Workspace;
struct PlatformProfile;

// The switcher panel's controller: composes the list, decides when the panel is built,
// where it goes and how it slides in and out, which event monitors live while it is up
// and what they do, what committing, cancelling and closing a row do, and how the list
// is refreshed after a close.
//
// Main thread only. buildItems() never waits for enumeration: it copies the caches'
// current snapshots (each under its own lock), filters, groups and sorts them. Every
// delayed task, completion, observer and monitor callback holds the controller and the
// view model weakly and re-checks that the view model is still the current one, so a
// late callback never touches a newer showing or a destroyed controller.
class SwitcherPanelController {
public:
    // An application quit from the panel stays out of the list this long (seconds).
    static constexpr double recentlyClosedAppWindow = 8.0;
    // After a row is chosen, the panel hides this much later (seconds).
    static constexpr double hideAfterSelectDelay = 0.08;
    // A window list older than this is refreshed behind a showing panel (seconds).
    static constexpr double windowListMaxAge = 3.0;
    // The list is rebuilt this long after a close, three times (seconds).
    static constexpr double closePropagationDelays[] = {0.35, 1.5, 2.5};

    // The panel's ports. The user interface provides the screens, the windows and the
    // local monitors; the desktop backend the global monitors and the beep.
    struct PanelPorts {
        ScreenPort& screens;
        PanelWindowFactory& windows;
        InputMonitors& monitors;
        UserFeedback& feedback;
    };

    // Where the list comes from and how it is read again; the controller reaches its
    // sources through nothing else (the program binds them to its shared caches).
    using Sources = ListSources;

    // Without panel ports the controller is headless: it composes lists, but has no
    // screen, so show() builds a list and shows nothing.
    explicit SwitcherPanelController(Sources sources);
    SwitcherPanelController(Sources sources, PanelPorts ports);
    ~SwitcherPanelController();
    SwitcherPanelController(const SwitcherPanelController&) = delete;
    SwitcherPanelController& operator=(const SwitcherPanelController&) = delete;

    // The activation hotkey's entry: with the accessibility permission, shows the panel
    // with the second row highlighted, or advances the highlight while it is shown.
    // Without it: a beep, the guide's permission stage, and "Ostrevane.showGuide".
    void forward();
    // The reverse chord's entry: as forward(), but the panel opens with the last row
    // highlighted and a shown panel moves its highlight back by one.
    void backward();
    // Moves the highlight by `step`, wrapping at both ends; nothing without a list.
    void advance(int step);
    // Builds a fresh list from the caches (reading the windows first when they changed
    // since the last read and, when the panel opens into its tabs, the frontmost browser
    // synchronously), shows the panel and refreshes stale sources behind it, rebuilding
    // the list in place. The highlight starts `initialOffset` rows down, one row less
    // when the application in front has no focused window (the user is in no row).
    void show(int initialOffset);
    // The desktop's windows came, went or restacked: the window list is enumerated again
    // now, so that the next showing opens with it; a shown list is rebuilt in place (a
    // window that went drops out), and windows that have gone lose their own recency.
    void windowListChanged();
    // Before the first showing (once, when the windows have first been read): readies the
    // panel window for the list a showing would open with now, so that the first Alt+Tab
    // after start costs what any later one does.
    void rehearse();
    // Removes the monitors and forgets the list at once; the window slides out (0.2 s)
    // and is destroyed afterwards.
    void hide();
    // Shows the panel over `items` with nothing enumerated: choices and closes are
    // written as lines ("Ostrevane test panel selected: <title>", "... close: <title>")
    // instead of acting, and releasing Option never opens a row.
    void showTestPanel(std::vector<SwitchItem> items, int selectedIndex);
    // Closes the highlighted row of the visible list when its capability allows it.
    void closeCurrentItem();
    // Rebuilds the list 0.35, 1.5 and 2.5 s after `closedItem` was closed, after
    // refreshing the windows and all browsers' tabs; an application that no longer runs
    // is left out (and kept out for 8.0 s).
    void scheduleClosePropagationRefresh(const std::shared_ptr<SearchViewModel>& viewModel, SwitchItem closedItem);

    // Where the test panel's lines go; standard output (flushed per line) by default.
    void setTestPanelOutput(std::function<void(const QString&)> output) { m_testPanelOutput = std::move(output); }

    // The current showing, for the view and for tests.
    SearchViewModel* viewModel() const { return m_viewModel.get(); }
    bool isShown() const { return m_panel != nullptr; }
    PanelEdge panelEdge() const { return m_panelEdge; }
    bool suppressCommitOnOptionRelease() const { return m_suppressCommitOnOptionRelease; }

    // The rows as composeList() orders them, without applications recently quit here.
    std::vector<SwitchItem> buildItems();

    // Whether `bundleID` was recorded as closed within the last 8.0 s (an entry exactly
    // 8.0 s old still counts). Older entries are dropped first.
    bool isRecentlyClosedApp(const QString& bundleID);
    // Records that the application was seen gone now, after the user quit it.
    void recordRecentlyClosedApp(const QString& bundleID);

    // True when the preference is on and the frontmost application is a supported browser.
    bool shouldPreferFrontmostBrowserTabs();
    // The first tab group of `items` that belongs to the frontmost browser and holds at
    // least two tabs, when the preference applies; otherwise nothing.
    std::optional<TabGroupItem> preferredFrontmostBrowserTabGroup(const std::vector<SwitchItem>& items);

private:
    struct Retiring; // a hidden panel sliding out, with the list its view still shows

    // A showing reads the application in front once and passes it along.
    using Frontmost = std::optional<RunningApplication>;
    static std::optional<QString> supportedBrowser(const Frontmost& front);
    static std::optional<TabGroupItem> tabGroupOf(const std::vector<SwitchItem>& items,
                                                  const std::optional<QString>& browser);
    template <class F>
    std::function<void()> weakly(F task);
    // forward() and backward(): show with the highlight `step` rows on, or advance by it.
    void summon(int step);
    std::shared_ptr<SearchViewModel> makeViewModel(std::vector<SwitchItem> items, bool showsInactiveApps);
    void freshenSourcesBeforeShow(const Frontmost& front);
    void freshenSourcesAfterShow(const std::shared_ptr<SearchViewModel>& viewModel, const Frontmost& front);
    void showPanel(const std::shared_ptr<SearchViewModel>& viewModel, int itemCount);
    std::optional<PanelPlacement> placementFor(int itemCount) const;
    bool isCurrent(const std::weak_ptr<SearchViewModel>& viewModel) const;
    bool isInNoRow(const Frontmost& front) const;
    void rebuildInPlace(const std::weak_ptr<SearchViewModel>& viewModel);
    // The shown list's new rows (logged when the panel log is on).
    void replaceItems(std::vector<SwitchItem> items);
    void select(const SwitchItem& item);
    void close(const std::shared_ptr<SearchViewModel>& viewModel, const SwitchItem& item);
    void cancel();
    void runClosePropagationPass(const std::weak_ptr<SearchViewModel>& viewModel, const SwitchItem& closedItem);
    void finishClosePropagationPass(const std::weak_ptr<SearchViewModel>& viewModel, const SwitchItem& closedItem);
    void noteHungWindow(const SwitchItem& closedItem, const std::vector<SwitchItem>& items);
    bool isTeachingStage() const;

    // Monitors (handling in PanelKeyRules).
    void installKeyMonitor();
    void removeKeyMonitor();
    void installFlagsMonitor();
    void removeFlagsMonitor();
    void installClickMonitors();
    void removeClickMonitors();
    void installMouseMovedMonitor();
    void removeMouseMovedMonitor();
    void removeMonitor(std::optional<std::uint64_t>& token);
    bool handleKey(const PanelKeyEvent& event, const ShortcutMap& shortcuts);
    void perform(PanelKeyAction action);
    void openSelectedGroup(PanelKeyAction action);
    void optionChanged(bool optionHeld);
    void globalClick(QPointF point);
    void localClick(QPointF point, bool inPanel, bool optionHeld);

    Sources m_sources;
    PanelPorts m_ports;
    Dispatcher& m_dispatcher;
    Accessibility& m_accessibility;
    NotificationCenter& m_notifications;
    SwitchItemActions& m_actions;
    OnboardingManager& m_onboarding;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0); // held weakly by callbacks

    std::unique_ptr<PanelWindow> m_panel;
    std::function<void()> m_onScreen; // what waits for the panel's slide-in to end
    std::optional<std::uint64_t> m_keyMonitor;
    std::optional<std::uint64_t> m_localFlagsMonitor;
    std::optional<std::uint64_t> m_globalFlagsMonitor;
    std::optional<std::uint64_t> m_shortcutsChangedObserver;
    std::optional<std::uint64_t> m_globalClickMonitor;
    std::optional<std::uint64_t> m_localClickMonitor;
    std::optional<std::uint64_t> m_mouseMovedMonitor;
    std::shared_ptr<SearchViewModel> m_viewModel;
    PanelEdge m_panelEdge = PanelEdge::right;
    bool m_suppressCommitOnOptionRelease = false;
    // A row was opened: the panel only waits to be hidden, and the next summon starts a
    // new showing instead of moving this one's highlight.
    bool m_committed = false;
    bool m_shownOnce = false; // rehearsals stop with the first showing
    QHash<QString, WallTime> m_recentlyClosedAppBundles;
    std::vector<std::unique_ptr<Retiring>> m_retiring;
    std::function<void(const QString&)> m_testPanelOutput;
};

} // namespace ostrevane
