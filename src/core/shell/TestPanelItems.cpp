#include "core/shell/TestPanelItems.h"

#include "core/shell/RuntimeContext.h"
#include "core/platform/Workspace.h"

#include <QRegularExpression>

#include <algorithm>

namespace ostrevane::TestPanelItems {

namespace {

constexpr int middleRow = 6; // the sixth row, so moves both ways show at once

struct SampleTab {
    const char* title;
    const char* url;
};

constexpr SampleTab sampleTabs[] = {
    {"Ostrevane GitHub", "https://github.com/ostrevane/ostrevane"},
    {"App Store Connect", "https://appstoreconnect.apple.com/apps"},
    {"SwiftUI Shape Reference", "https://developer.apple.com/documentation/swiftui/shape"},
    {"Release Checklist", "https://example.com/ostrevane/release-checklist"},
};

struct SampleApp {
    const char* bundleID;
    const char* name;
};

constexpr SampleApp sampleApps[] = {
    {"com.local.ostrevane", "Ostrevane"},    {"com.apple.finder", "Finder"},
    {"com.apple.Safari", "Safari"},          {"com.apple.Music", "Music"},
    {"com.tencent.xinWeChat", "WeChat"},     {"com.apple.dt.Xcode", "Xcode"},
    {"com.apple.AppStore", "App Store"},     {"com.apple.Terminal", "Terminal"},
    {"com.openai.chat", "ChatGPT"},          {"com.anthropic.claudefordesktop", "Claude"},
};

std::optional<QString> runningBundlePath(Workspace& workspace, const QString& bundleID)
{
    for (const RunningApplication& running : workspace.runningApplications())
        if (running.bundleIdentifier == bundleID && running.bundlePath)
            return running.bundlePath;
    return std::nullopt;
}

} // namespace

bool shouldShowTestPanel() { return qEnvironmentVariable(panelVariable) == QLatin1String("1"); }

std::vector<TabItem> chromeTabs(Workspace& workspace)
{
    const ImageHandle icon = workspace.iconForFile(browserPath);
    std::vector<TabItem> tabs;
    int position = 1;
    for (const SampleTab& sample : sampleTabs) {
        TabItem tab;
        tab.id = QUuid::createUuid();
        tab.browserBundleID = browserBundleID;
        tab.browserAppName = QStringLiteral("Google Chrome");
        tab.appIcon = icon;
        // No favicon address: the sample rows never reach the network.
        tab.title = QString::fromUtf8(sample.title);
        tab.url = QString::fromUtf8(sample.url);
        tab.windowIndex = 1;
        tab.tabIndex = position;
        tab.isActiveInFrontWindow = position == 1;
        tabs.push_back(std::move(tab));
        ++position;
    }
    return tabs;
}

AppItem app(Workspace& workspace, const QString& bundleID, const QString& name)
{
    const QString path = runningBundlePath(workspace, bundleID)
                             .value_or(QStringLiteral("/Applications/") + name + QStringLiteral(".app"));
    return AppItem{QUuid::createUuid(), bundleID, name, workspace.iconForFile(path), path};
}

std::vector<SwitchItem> defaultVisibleItems(Workspace& workspace)
{
    std::vector<SwitchItem> items;
    items.emplace_back(TabGroupItem{QUuid::createUuid(), browserBundleID, QStringLiteral("Google Chrome"),
                                    workspace.iconForFile(browserPath), chromeTabs(workspace)});
    for (const SampleApp& sample : sampleApps)
        items.emplace_back(app(workspace, QString::fromUtf8(sample.bundleID), QString::fromUtf8(sample.name)));
    return items;
}

std::vector<SwitchItem> hiddenSearchOnlyItems(Workspace& workspace)
{
    std::vector<SwitchItem> items;
    for (TabItem& tab : chromeTabs(workspace))
        items.emplace_back(std::move(tab));
    return items;
}

std::vector<SwitchItem> defaultVisibleItems() { return defaultVisibleItems(RuntimeContext::current().workspace()); }

std::vector<SwitchItem> hiddenSearchOnlyItems() { return hiddenSearchOnlyItems(RuntimeContext::current().workspace()); }

int selectedIndex(const std::optional<QString>& selection, int count)
{
    const int last = std::max(count - 1, 0);
    if (selection == QLatin1String("top"))
        return 0;
    if (selection == QLatin1String("bottom"))
        return last;
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    bool parsed = false;
    const qlonglong number = selection && decimal.match(*selection).hasMatch() ? selection->toLongLong(&parsed) : 0;
    if (parsed)
        return int(std::clamp<qlonglong>(number, 0, last));
    return count >= 2 ? std::min(count, middleRow) - 1 : 0;
}

int selectedIndex()
{
    const int count = int(std::size(sampleApps)) + 1;
    if (!qEnvironmentVariableIsSet(selectionVariable))
        return selectedIndex(std::nullopt, count);
    return selectedIndex(qEnvironmentVariable(selectionVariable), count);
}

} // namespace ostrevane::TestPanelItems
