#pragma once

#include "E2eDesktop.h"

namespace ostrevane::e2e {

// The switcher run as a person runs it, on a private desktop with real xterms and clients,
// and the verbs its tests share. Outcomes are read from the X server (the active window,
// which processes still run) and from the panel's log of the rows it showed.
class SwitcherSuite : public E2eSuite {
protected:
    static constexpr Timeout panelTimeout = 10s;
    static constexpr Timeout outcomeTimeout = 10s;
    static inline const QString shownPrefix = QStringLiteral("ostrevane.panel: shown: ");

    void startSwitcher(const E2eDesktop::SwitcherSetup& setup = {})
    {
        app = desktop->startSwitcher(setup);
        ASSERT_TRUE(app) << "the switcher did not start";
    }
    // Xterms titled `titles`, activated in that order: the last is the most recent.
    void useXterms(const QStringList& titles)
    {
        for (const QString& title : titles) {
            clients.push_back(desktop->startXterm(title));
            ASSERT_TRUE(clients.back()) << "no xterm " << title.toStdString();
        }
        for (const QString& title : titles)
            ASSERT_TRUE(desktop->activate(title)) << title.toStdString() << " did not become active";
    }
    // The rows of the next showing (or of the next line starting with `prefix`), titles in order.
    QStringList nextRows(const QString& prefix = shownPrefix)
    {
        const std::optional<QString> line = app->waitForLine(prefix, panelTimeout);
        return line ? line->mid(prefix.size()).split(QStringLiteral(" | ")) : QStringList{QStringLiteral("<no rows>")};
    }
    // Alt+Tab, then, like a person, the other keys once the panel has the keyboard (keys sent
    // within the few milliseconds before that go to the window that had it).
    void summonAndPress(const QStringList& names)
    {
        holdAlt({QStringLiteral("Tab")});
        ASSERT_TRUE(desktop->waitForKeyboardHeldBy(app->pid(), panelTimeout)) << "the panel did not take the keyboard";
        keys(names);
    }
    // Summons the panel and searches for `text` (the first match is highlighted).
    void search(const QString& text)
    {
        ASSERT_NO_FATAL_FAILURE(summonAndPress({QStringLiteral("Return")}));
        releaseAlt();
        type(text);
    }
    void searchAndOpen(const QString& text)
    {
        ASSERT_NO_FATAL_FAILURE(search(text));
        keys({QStringLiteral("Return")});
    }
    std::optional<QString> waitForPanel()
    {
        std::optional<QString> panel;
        desktop->waitUntil([&] { return (panel = desktop->visibleWindowOf(app->pid())).has_value(); }, panelTimeout);
        return panel;
    }
    bool waitForEnd(Child& client) { return desktop->waitUntil([&] { return !client.isRunning(); }, outcomeTimeout); }
};

} // namespace ostrevane::e2e
