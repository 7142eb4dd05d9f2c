#pragma once

#include "core/model/SwitchItem.h"

#include <QStringList>
#include <QUuid>

#include <vector>

namespace ostrevane::fixtures {

// Small builders for records, with fresh ids, for tests that need a few rows.
inline WindowItem window(QString appName, std::optional<QString> bundleID, QString title, ProcessID pid = 100)
{
    WindowItem w;
    w.id = QUuid::createUuid();
    w.pid = pid;
    w.appName = std::move(appName);
    w.appBundleID = std::move(bundleID);
    w.title = std::move(title);
    return w;
}

inline TabItem tab(QString browserBundleID, QString title, QString url, int windowIndex = 1, int tabIndex = 1,
                   bool active = false)
{
    TabItem t;
    t.id = QUuid::createUuid();
    t.browserBundleID = std::move(browserBundleID);
    t.browserAppName = QStringLiteral("Google Chrome");
    t.browserPID = 200;
    t.title = std::move(title);
    t.url = std::move(url);
    t.windowIndex = windowIndex;
    t.tabIndex = tabIndex;
    t.isActiveInFrontWindow = active;
    return t;
}

inline AppItem app(QString bundleID, QString name, QString path)
{
    return AppItem{QUuid::createUuid(), std::move(bundleID), std::move(name), nullptr, std::move(path)};
}

inline TabGroupItem tabGroup(QString browserBundleID, QString appName, std::vector<TabItem> tabs)
{
    return TabGroupItem{QUuid::createUuid(), std::move(browserBundleID), std::move(appName), nullptr, std::move(tabs)};
}

inline WindowGroupItem windowGroup(QString bundleID, QString appName, std::vector<WindowItem> windows)
{
    return WindowGroupItem{QUuid::createUuid(), std::move(bundleID), std::move(appName), nullptr, std::move(windows)};
}

// Kind and title of each row, e.g. "window notes.txt", "tabGroup Google Chrome".
inline QStringList describe(const std::vector<SwitchItem>& items)
{
    static const char* const kinds[] = {"window", "tab", "tabGroup", "windowGroup", "app"};
    QStringList rows;
    for (const SwitchItem& item : items)
        rows << QString::fromLatin1(kinds[static_cast<int>(item.kind())]) + QLatin1Char(' ') + item.title();
    return rows;
}

} // namespace ostrevane::fixtures
