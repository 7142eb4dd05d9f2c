// The tray item and the preferences window as a person meets them: the switcher runs
// beside a real tray (trayer, an XEmbed tray; or a StatusNotifierItem watcher on a private
// session bus), the menu is opened with the mouse, the window is used with the keyboard,
// and the outcome is read from the X server, the bus and the panel's log. Pictures of
// the menu, each pane in both languages and the recorder go to e2e-artifacts/preferences/.
#include "E2eDesktop.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace ostrevane::e2e;

namespace {

constexpr Timeout uiTimeout = 10s;
const QString shownPrefix = QStringLiteral("ostrevane.panel: shown: ");
const QString preferencesTitle = QStringLiteral("Ostrevane Preferences");
// No session bus: Qt then uses the XEmbed tray.
const std::pair<QString, QString> noSessionBus{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                                               QStringLiteral("unix:path=/nonexistent/bus")};

class Preferences : public E2eSuite {
protected:
    void startTrayer()
    {
        clients.push_back(std::make_unique<Child>(
            QStringLiteral("trayer"),
            QStringList{"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "28",
                        "--transparent", "false", "--tint", "0xd0d0d0"},
            desktop->environment()));
        ASSERT_TRUE(desktop->waitUntil([&] { return !trayerWindows().isEmpty(); }, uiTimeout)) << "no tray";
    }
    QStringList trayerWindows() const
    {
        QString windows;
        desktop->xdotool({QStringLiteral("search"), QStringLiteral("--class"), QStringLiteral("trayer")}, &windows);
        return windows.isEmpty() ? QStringList{} : windows.split(QLatin1Char('\n'));
    }
    // The centre of our icon docked in the tray (xwininfo lists it under a trayer window).
    std::optional<QPoint> trayIcon() const
    {
        static const QRegularExpression line(QStringLiteral(R"("ostrevane"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))"));
        for (const QString& window : trayerWindows()) {
            QString tree;
            desktop->runTool(QStringLiteral("xwininfo"), {QStringLiteral("-tree"), QStringLiteral("-id"), window}, 5000, &tree);
            const QRegularExpressionMatch m = line.match(tree);
            if (m.hasMatch())
                return QPoint(m.captured(3).toInt() + m.captured(1).toInt() / 2,
                              m.captured(4).toInt() + m.captured(2).toInt() / 2);
        }
        return std::nullopt;
    }
    void startSwitcherBesideTray(std::vector<std::pair<QString, QString>> environment = {noSessionBus})
    {
        SwitcherSetup setup;
        setup.environment = std::move(environment);
        app = desktop->startSwitcher(setup);
        ASSERT_TRUE(app) << "the switcher did not start";
    }
    // A popup of the switcher: an override-redirect window of its own on the screen, larger
    // than the icon it docks into the tray (which is override-redirect too).
    std::optional<QString> popup(const std::function<bool(const QRect&)>& where = {}) const
    {
        for (const QString& window : desktop->visibleWindowsOf(app->pid())) {
            const std::optional<QRect> frame = desktop->windowGeometry(window);
            if (frame && frame->width() > 40 && frame->height() > 40 && desktop->isOverrideRedirect(window)
                && (!where || where(*frame)))
                return window;
        }
        return std::nullopt;
    }
    std::optional<QString> openTrayMenu()
    {
        std::optional<QPoint> icon;
        if (!desktop->waitUntil([&] { return (icon = trayIcon()).has_value(); }, uiTimeout))
            return std::nullopt;
        desktop->xdotool({QStringLiteral("mousemove"), QString::number(icon->x()), QString::number(icon->y()),
                          QStringLiteral("click"), QStringLiteral("3")});
        // The menu takes the keyboard as it shows; keys sent before that go elsewhere. Once
        // it has drawn itself it asked for the keyboard long ago. (Trying a grab of our own
        // to see who holds the keyboard would race the menu's grab and spoil Qt's popup state.)
        std::optional<QString> menu;
        desktop->waitUntil([&] { return (menu = popup()).has_value() && isPainted(*menu); }, uiTimeout);
        return menu;
    }
    // Whether a window shows more than a plain background.
    bool isPainted(const QString& window) const
    {
        QString colours;
        return desktop->runTool(QStringLiteral("/usr/bin/import"),
                                {QStringLiteral("-window"), window, QStringLiteral("-format"), QStringLiteral("%k"),
                                 QStringLiteral("info:")},
                                10000, &colours)
            && colours.toInt() > 2;
    }
    void closeMenu()
    {
        keys({QStringLiteral("Escape")});
        ASSERT_TRUE(desktop->waitUntil([&] { return !popup().has_value(); }, uiTimeout));
    }
    // Opens the menu, keeps a picture of it when `pictureName` is given, and picks
    // Preferences…. (The menu is opened only once: a click that follows a closing menu too
    // quickly can reach Qt before it has let go of the pointer.)
    void openPreferencesFromTray(const QString& pictureName = {})
    {
        const std::optional<QString> menu = openTrayMenu();
        ASSERT_TRUE(menu) << "no tray menu";
        if (!pictureName.isEmpty())
            picture(*menu, pictureName);
        keys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")}); // Preferences…
        ASSERT_TRUE(desktop->waitForActiveTitle(preferencesTitle, uiTimeout)) << desktop->activeWindowTitle().toStdString();
    }
    // Keeps a picture of one window for the documentation and for a person to look at;
    // returns its bytes.
    QByteArray picture(const QString& window, const QString& name)
    {
        const QString folder = artifactsDirectory() + QStringLiteral("/preferences");
        QDir().mkpath(folder);
        EXPECT_TRUE(desktop->runTool(QStringLiteral("/usr/bin/import"), {QStringLiteral("-window"), window, folder + u'/' + name},
                                     10000))
            << name.toStdString();
        QFile file(folder + u'/' + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Each pane from the sidebar (which has the keyboard focus when the window opens).
    void pictureEveryPane(const QString& language)
    {
        const QStringList panes{"general", "shortcuts", "appearance", "exceptions", "feedback"};
        keys({QStringLiteral("Home")});
        QByteArray previous;
        for (const QString& pane : panes) {
            const QString name = QStringLiteral("preferences-%1-%2.png").arg(pane, language);
            // The pane is on screen once the window's picture changes.
            QByteArray current;
            desktop->waitUntil([&] { return (current = picture(desktop->activeWindow(), name)) != previous; }, uiTimeout);
            previous = current;
            keys({QStringLiteral("Down")});
        }
        keys({QStringLiteral("Home")});
    }
    void tabs(int count, const QString& key = QStringLiteral("Tab")) { keys(QStringList(count, key)); }
};

} // namespace

TEST_F(Preferences, TheXEmbedTrayMenuOpensTheWindowWhichSwitchesToChineseAndBackAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(startTrayer());
    ASSERT_NO_FATAL_FAILURE(startSwitcherBesideTray());
    ASSERT_NO_FATAL_FAILURE(openPreferencesFromTray(QStringLiteral("tray-menu-en.png")));
    const QString window = desktop->activeWindow();
    pictureEveryPane(QStringLiteral("en"));

    tabs(4); // recorder, its reset, Test, then the language menu
    keys({QStringLiteral("Down"), QStringLiteral("Down")}); // Follow System, English, 简体中文
    ASSERT_TRUE(desktop->waitUntil([&] { return desktop->activeWindowTitle() != preferencesTitle; }, uiTimeout));
    EXPECT_TRUE(desktop->activeWindowTitle().startsWith(QStringLiteral("Ostrevane")));
    tabs(4, QStringLiteral("shift+Tab"));
    pictureEveryPane(QStringLiteral("zh"));
    const std::optional<QString> chineseMenu = openTrayMenu();
    ASSERT_TRUE(chineseMenu) << "no tray menu";
    picture(*chineseMenu, QStringLiteral("tray-menu-zh.png"));
    ASSERT_NO_FATAL_FAILURE(closeMenu());

    ASSERT_TRUE(desktop->xdotool({QStringLiteral("windowactivate"), window}));
    tabs(4);
    keys({QStringLiteral("Up")}); // English
    EXPECT_TRUE(desktop->waitForActiveTitle(preferencesTitle, uiTimeout)) << desktop->activeWindowTitle().toStdString();
}

TEST_F(Preferences, AnEdgeAndAHotkeyChangedInTheWindowApplyAtTheNextShowing)
{
    ASSERT_NO_FATAL_FAILURE(startTrayer());
    ASSERT_NO_FATAL_FAILURE(startSwitcherBesideTray());
    clients.push_back(desktop->startXterm(QStringLiteral("Notes")));
    ASSERT_TRUE(clients.back());
    ASSERT_NO_FATAL_FAILURE(openPreferencesFromTray());

    tabs(5); // the panel side picker
    keys({QStringLiteral("Left")});
    tabs(4, QStringLiteral("shift+Tab")); // back to the hotkey recorder
    keys({QStringLiteral("space")});
    picture(desktop->activeWindow(), QStringLiteral("recorder-recording-en.png"));
    keys({QStringLiteral("ctrl+alt+j")}); // recorded: the switcher's own grab let it through

    // The switcher takes the new chord a moment after it is recorded (sooner than a person
    // could press it, later on a loaded machine): a press before that reaches the window.
    const auto pressNewChord = [&] {
        return desktop->xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl"), QStringLiteral("keydown"),
                                 QStringLiteral("alt"), QStringLiteral("key"), QStringLiteral("j")});
    };
    bool shown = false;
    for (int press = 0; press < 8 && !shown; ++press) {
        if (press > 0) {
            ASSERT_TRUE(desktop->xdotool({QStringLiteral("keyup"), QStringLiteral("alt"), QStringLiteral("keyup"),
                                          QStringLiteral("ctrl")}));
        }
        ASSERT_TRUE(pressNewChord());
        shown = app->waitForLine(shownPrefix, 1500ms).has_value();
    }
    EXPECT_TRUE(shown) << "the new chord did not summon the panel";
    EXPECT_TRUE(desktop->waitUntil([&] { return popup([](const QRect& frame) { return frame.x() == 0; }).has_value(); },
                                   uiTimeout))
        << "the panel did not come in from the left edge, bypassing the window manager";
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("keyup"), QStringLiteral("alt"), QStringLiteral("keyup"),
                                  QStringLiteral("ctrl")}));
    EXPECT_TRUE(desktop->waitUntil([&] { return !popup().has_value(); }, uiTimeout));
}

TEST_F(Preferences, AStatusNotifierWatcherThatStartsLaterGetsAnItemWhoseMenuOpensThePreferences)
{
    Child bus(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                              QStringLiteral("--print-address=1")},
              desktop->environment());
    const std::optional<QString> address = bus.waitForLine(QStringLiteral("unix:"), uiTimeout);
    ASSERT_TRUE(address) << "no session bus: " << bus.errors().toStdString();
    startSwitcherBesideTray({{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), *address}});
    EXPECT_TRUE(app->waitForLine(QStringLiteral("Ostrevane: no system tray is running"), uiTimeout));

    QProcessEnvironment environment = desktop->environment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), *address);
    Child watcher(QStringLiteral("/usr/bin/python3"), {QStringLiteral(OSTREVANE_SNI_WATCHER)}, environment);
    ASSERT_TRUE(watcher.waitForLine(QStringLiteral("watcher up"), uiTimeout)) << watcher.errors().toStdString();
    ASSERT_TRUE(watcher.waitForLine(QStringLiteral("item "), uiTimeout)) << "no item registered";

    watcher.write(QStringLiteral("labels"));
    const std::optional<QString> labels = watcher.waitForLine(QStringLiteral("labels: "), uiTimeout);
    ASSERT_TRUE(labels) << watcher.transcript().toStdString();
    EXPECT_EQ(*labels, QStringLiteral("labels: Show Ostrevane|-|Preferences…|Feedback…|Show Guide…|"
                                      "Check for Updates…|-|Quit Ostrevane"));
    watcher.write(QStringLiteral("click Feedback…"));
    EXPECT_TRUE(watcher.waitForLine(QStringLiteral("clicked "), uiTimeout)) << watcher.transcript().toStdString();
    EXPECT_TRUE(desktop->waitForActiveTitle(preferencesTitle, uiTimeout)) << desktop->activeWindowTitle().toStdString();
}
