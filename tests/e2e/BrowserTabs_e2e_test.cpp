// Browser tabs with real browsers: Debian's Chromium and Firefox ESR, on a private X server,
// with temporary profiles, the unpacked extension loaded and pages served from 127.0.0.1.
// The switcher installs the browsers' host manifests itself (in its own home and
// configuration folders, which the browsers share); the browsers start its connector.
// Outcomes are read from the X server (the active window's title) and from the switcher's
// log of the rows it showed and the tabs it stored.
#include "SwitcherSuite.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>

using namespace ostrevane::e2e;

namespace {

constexpr Timeout browserTimeout = 30s;
// Longer than the switcher waits before it explains a browser without the extension.
constexpr Timeout explanationTimeout = 20s;
const QString connectedPrefix = QStringLiteral("ostrevane.browser: Ostrevane: browser connected: ");

// Pages named so that a search for an address word finds only that page: "zebra" is in
// the address of "Delta page" alone.
const std::pair<const char*, const char*> pages[] = {
    {"alpha.html", "Alpha page"}, {"beta.html", "Beta page"},   {"gamma.html", "Gamma page"},
    {"zebra.html", "Delta page"},
};

QString browserExtension() { return QStringLiteral(OSTREVANE_BROWSER_EXTENSION); }

class BrowserTabs : public SwitcherSuite {
protected:
    static void SetUpTestSuite()
    {
        E2eSuite::SetUpTestSuite();
        site = new QTemporaryDir;
        for (const auto& [file, title] : pages) {
            QFile page(site->filePath(QString::fromLatin1(file)));
            if (page.open(QIODevice::WriteOnly))
                page.write(QStringLiteral("<html><head><title>%1</title></head><body><h1>%1</h1></body></html>")
                               .arg(QString::fromLatin1(title))
                               .toUtf8());
        }
        server = new Child(QStringLiteral("python3"),
                           {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"), QStringLiteral("0"),
                            QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"),
                            site->path()},
                           desktop->environment());
        // "Serving HTTP on 127.0.0.1 port 41234 (http://127.0.0.1:41234/) ..."
        const std::optional<QString> line = server->waitForLine(QStringLiteral("Serving HTTP"), 10s);
        port = line ? line->section(QLatin1Char(' '), 5, 5) : QString();
    }
    static void TearDownTestSuite()
    {
        delete server;
        delete site;
        E2eSuite::TearDownTestSuite();
    }
    void SetUp() override
    {
        E2eSuite::SetUp();
        ASSERT_FALSE(port.isEmpty()) << "the page server did not start";
        app = desktop->startSwitcher();
        ASSERT_TRUE(app) << "the switcher did not start";
    }
    void TearDown() override
    {
        E2eSuite::TearDown(); // the screenshot shows the browsers
        if (HasFailure())
            for (const auto& browser : browsers)
                std::cerr << "browser " << browser->pid() << ": " << browser->status().toStdString() << '\n'
                          << browser->errors().right(2000).toStdString() << '\n';
        browsers.clear();
    }

    static QString url(const char* file) { return QStringLiteral("http://127.0.0.1:%1/%2").arg(port, QLatin1String(file)); }

    // Chromium in the switcher's own configuration folder (its default profile, where the
    // switcher put the host manifest), with the extension loaded unless `withExtension` is false.
    Child& startChromium(const QStringList& arguments, bool withExtension = true, const QString& profile = {})
    {
        QStringList flags{QStringLiteral("--no-sandbox"), QStringLiteral("--password-store=basic"),
                          QStringLiteral("--no-first-run"), QStringLiteral("--no-default-browser-check"),
                          QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
                          QStringLiteral("--disable-sync")};
        if (withExtension)
            flags << QStringLiteral("--load-extension=") + browserExtension();
        if (!profile.isEmpty())
            flags << QStringLiteral("--user-data-dir=") + profile;
        browsers.push_back(std::make_unique<Child>(QStringLiteral("/usr/lib/chromium/chromium"), flags + arguments,
                                                   desktop->lastSwitcherEnvironment()));
        return *browsers.back();
    }

    // Firefox ESR in a temporary profile whose extensions folder holds the extension
    // (signature checks off, which ESR allows), in the switcher's home.
    void startFirefox(const QStringList& urls)
    {
        firefoxProfile = std::make_unique<QTemporaryDir>();
        const QString profile = firefoxProfile->path();
        copyFolder(browserExtension(), profile + QStringLiteral("/extensions/browser-tabs@ostrevane.local"));
        QFile prefs(profile + QStringLiteral("/user.js"));
        if (prefs.open(QIODevice::WriteOnly))
            prefs.write("user_pref(\"xpinstall.signatures.required\", false);\n"
                        "user_pref(\"extensions.autoDisableScopes\", 0);\n"
                        "user_pref(\"extensions.enabledScopes\", 15);\n"
                        "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                        "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
                        "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
                        "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
                        "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n");
        prefs.close();
        browsers.push_back(std::make_unique<Child>(
            QStringLiteral("firefox-esr"),
            QStringList{QStringLiteral("--no-remote"), QStringLiteral("--profile"), profile} + urls,
            desktop->lastSwitcherEnvironment()));
    }

    static void copyFolder(const QString& from, const QString& to)
    {
        QDir().mkpath(to);
        for (const QString& name : QDir(from).entryList(QDir::Files))
            QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name);
    }

    // A window whose title starts with `prefix` (browsers add their own name after it).
    bool waitForWindow(const QString& prefix)
    {
        return desktop->waitUntil([&] { return !desktop->windowsNamed(QLatin1Char('^') + prefix).isEmpty(); },
                                  browserTimeout);
    }
    bool waitForActiveTitleStarting(const QString& prefix)
    {
        return desktop->waitUntil([&] { return desktop->activeWindowTitle().startsWith(prefix); }, outcomeTimeout);
    }
    bool waitForLine(const QString& prefix, Timeout timeout = outcomeTimeout)
    {
        return app->waitForLine(prefix, timeout).has_value();
    }

    // The rows of one showing, summoned and cancelled without opening anything.
    QStringList glance()
    {
        holdAlt({QStringLiteral("Tab")});
        const QStringList rows = nextRows();
        // An Escape sent before the panel holds the keyboard goes elsewhere, and releasing
        // Alt then opens the highlighted row.
        desktop->waitForKeyboardHeldBy(app->pid(), panelTimeout);
        keys({QStringLiteral("Escape")});
        releaseAlt();
        desktop->waitForNoVisibleWindow(app->pid(), panelTimeout);
        return rows;
    }
    // Closes the first result with Alt+X, then leaves the panel.
    void searchAndClose(const QString& text)
    {
        search(text);
        withAlt({QStringLiteral("x")});
        keys({QStringLiteral("Escape")});
        desktop->waitForNoVisibleWindow(app->pid(), panelTimeout);
    }
    // Glances until the rows satisfy `condition` (each showing also refreshes the tabs).
    bool rowsEventually(const std::function<bool(const QStringList&)>& condition)
    {
        for (int i = 0; i < 10; ++i)
            if (condition(glance()))
                return true;
        return false;
    }

    static QTemporaryDir* site;
    static Child* server;
    static QString port;
    std::vector<std::unique_ptr<Child>> browsers;
    std::unique_ptr<QTemporaryDir> firefoxProfile;
};

QTemporaryDir* BrowserTabs::site = nullptr;
Child* BrowserTabs::server = nullptr;
QString BrowserTabs::port;

bool hasAll(const QStringList& rows, const QStringList& wanted)
{
    return std::all_of(wanted.begin(), wanted.end(), [&](const QString& row) { return rows.contains(row); });
}

} // namespace

TEST_F(BrowserTabs, ChromiumTabsAreListedSearchedOpenedClosedAndGoneWithTheBrowser)
{
    Child& chromium = startChromium({url("alpha.html"), url("beta.html")});
    ASSERT_TRUE(waitForLine(connectedPrefix + QStringLiteral("chromium"), browserTimeout)) << "the extension never connected";
    ASSERT_TRUE(waitForWindow(QStringLiteral("Alpha page")));
    startChromium({QStringLiteral("--new-window"), url("gamma.html"), url("zebra.html")});
    ASSERT_TRUE(waitForWindow(QStringLiteral("Gamma page")));
    // The new window reached the list through the extension's change notice.
    ASSERT_TRUE(waitForLine(QStringLiteral("ostrevane.tabs: stored 4 tabs of chromium")));

    // One tab group (the application's own row is left out while it has windows or tabs).
    // A tab in the background may still be loading: it shows its address until its title comes.
    QStringList rows;
    bool nameless = false;
    EXPECT_TRUE(rowsEventually([&](const QStringList& r) {
        rows = r;
        nameless = nameless || r.contains(QString());
        return hasAll(r, {"Alpha page", "Beta page", "Gamma page", "Delta page"});
    })) << rows.join(", ").toStdString();
    EXPECT_EQ(rows.count(QStringLiteral("Chromium Web Browser")), 1) << rows.join(", ").toStdString();
    EXPECT_FALSE(nameless) << "a showing listed a row without a name";

    // By title: a tab in the window behind; its tab is selected and its window comes forward.
    searchAndOpen(QStringLiteral("beta"));
    EXPECT_TRUE(waitForActiveTitleStarting(QStringLiteral("Beta page"))) << desktop->activeWindowTitle().toStdString();
    // By address: "zebra" is only in the address of the Delta page, in the other window.
    searchAndOpen(QStringLiteral("zebra"));
    EXPECT_TRUE(waitForActiveTitleStarting(QStringLiteral("Delta page"))) << desktop->activeWindowTitle().toStdString();

    searchAndClose(QStringLiteral("gamma"));
    EXPECT_TRUE(rowsEventually([](const QStringList& r) { return !r.contains("Gamma page") && r.contains("Alpha page"); }));

    ::kill(static_cast<pid_t>(chromium.pid()), SIGTERM);
    ASSERT_TRUE(desktop->waitUntil([&] { return !chromium.isRunning(); }, browserTimeout));
    // The browser may stay listed as an application; its tabs do not.
    EXPECT_TRUE(rowsEventually([](const QStringList& r) {
        return !r.contains("Alpha page") && !r.contains("Beta page") && !r.contains("Delta page");
    }));
}

TEST_F(BrowserTabs, ChromiumWithoutTheExtensionGivesWindowRowsAndTheLogSaysWhatToDo)
{
    QTemporaryDir profile;
    startChromium({url("alpha.html"), url("beta.html")}, false, profile.path());
    ASSERT_TRUE(waitForWindow(QStringLiteral("Alpha page")));
    EXPECT_TRUE(waitForLine(QStringLiteral("Ostrevane: no tabs of Chromium: Install the Ostrevane extension in Chromium."),
                            explanationTimeout));
    const QStringList rows = glance();
    EXPECT_TRUE(rows.contains(QStringLiteral("Alpha page - Chromium"))) << rows.join(", ").toStdString();
    EXPECT_FALSE(rows.contains(QStringLiteral("Alpha page"))) << rows.join(", ").toStdString();
}

// Closing a tab and the browser's end go through the same extension and connector code
// as Chromium's; what is Firefox's own is its manifest folder and activation by address.
TEST_F(BrowserTabs, FirefoxTabsAreListedAsOneGroupAndFoundAndOpenedByAddress)
{
    startFirefox({url("alpha.html"), url("zebra.html"), url("beta.html")});
    ASSERT_TRUE(waitForLine(connectedPrefix + QStringLiteral("firefox-esr"), browserTimeout))
        << "the extension never connected";
    ASSERT_TRUE(waitForWindow(QStringLiteral("Alpha page")));
    ASSERT_TRUE(rowsEventually([](const QStringList& r) { return hasAll(r, {"Alpha page", "Delta page", "Beta page"}); }));
    const QStringList rows = glance();
    EXPECT_EQ(rows.count(QStringLiteral("Firefox ESR")), 1) << rows.join(", ").toStdString();

    searchAndOpen(QStringLiteral("zebra"));
    EXPECT_TRUE(waitForActiveTitleStarting(QStringLiteral("Delta page"))) << desktop->activeWindowTitle().toStdString();
}

namespace {

// Chromium without the extension on a session with an accessibility bus whose
// accessibility is switched on, as a screen reader does: the switcher reads the tab
// titles from the browser's tab strips.
class BrowserTabsThroughAtspi : public BrowserTabs {
protected:
    void SetUp() override
    {
        E2eSuite::SetUp();
        ASSERT_FALSE(port.isEmpty()) << "the page server did not start";
        QProcessEnvironment environment = desktop->switcherEnvironment();
        ASSERT_FALSE(environment.isEmpty());
        sessionBus = std::make_unique<Child>(
            QStringLiteral("dbus-daemon"),
            QStringList{QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")},
            environment);
        const std::optional<QString> address = sessionBus->waitForLine(QStringLiteral("unix:"), 10s);
        ASSERT_TRUE(address) << "no session bus";
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address->trimmed());
        busLauncher = std::make_unique<Child>(QStringLiteral("/usr/libexec/at-spi-bus-launcher"),
                                              QStringList{QStringLiteral("--launch-immediately")}, environment);
        ASSERT_TRUE(desktop->waitUntil([&] { return switchAccessibilityOn(environment); }, 10s))
            << "the accessibility bus did not come up";
        app = desktop->startSwitcherIn(environment);
        ASSERT_TRUE(app) << "the switcher did not start";
    }
    void TearDown() override
    {
        BrowserTabs::TearDown();
        busLauncher.reset();
        sessionBus.reset();
    }

    static bool switchAccessibilityOn(const QProcessEnvironment& environment)
    {
        QProcess gdbus;
        gdbus.setProcessEnvironment(environment);
        gdbus.start(QStringLiteral("gdbus"),
                    {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"), QStringLiteral("org.a11y.Bus"),
                     QStringLiteral("--object-path"), QStringLiteral("/org/a11y/bus"), QStringLiteral("--method"),
                     QStringLiteral("org.freedesktop.DBus.Properties.Set"), QStringLiteral("org.a11y.Status"),
                     QStringLiteral("IsEnabled"), QStringLiteral("<true>")});
        return gdbus.waitForFinished(5000) && gdbus.exitStatus() == QProcess::NormalExit && gdbus.exitCode() == 0;
    }

    Child& startAccessibleChromium(const QStringList& arguments)
    {
        return startChromium(QStringList{QStringLiteral("--force-renderer-accessibility")} + arguments, false,
                             chromiumProfile.path());
    }

    std::unique_ptr<Child> sessionBus;
    std::unique_ptr<Child> busLauncher;
    QTemporaryDir chromiumProfile;
};

} // namespace

TEST_F(BrowserTabsThroughAtspi, ChromiumTabTitlesAreListedAndOpeningOneSelectsItsTab)
{
    startAccessibleChromium({url("alpha.html"), url("beta.html")});
    ASSERT_TRUE(waitForWindow(QStringLiteral("Alpha page")));
    startAccessibleChromium({QStringLiteral("--new-window"), url("gamma.html"), url("zebra.html")});
    ASSERT_TRUE(waitForWindow(QStringLiteral("Gamma page")));

    // Titles only, one row per tab (not its buttons), the selected tabs without the status
    // words Chromium adds to their accessible names.
    QStringList rows;
    EXPECT_TRUE(rowsEventually([&](const QStringList& r) {
        rows = r;
        return hasAll(r, {"Alpha page", "Beta page", "Gamma page", "Delta page"});
    })) << rows.join(", ").toStdString();
    EXPECT_EQ(rows.count(QStringLiteral("Mute tab")), 0) << rows.join(", ").toStdString();

    // A tab behind the selected one, in the window behind: selected and brought forward.
    searchAndOpen(QStringLiteral("beta"));
    EXPECT_TRUE(waitForActiveTitleStarting(QStringLiteral("Beta page"))) << desktop->activeWindowTitle().toStdString();
    searchAndOpen(QStringLiteral("delta"));
    EXPECT_TRUE(waitForActiveTitleStarting(QStringLiteral("Delta page"))) << desktop->activeWindowTitle().toStdString();
    // By now Chromium has measured its tabs and named them after their memory use.
    rows = glance();
    EXPECT_FALSE(rows.join(QLatin1Char('|')).contains(QStringLiteral("Memory usage"))) << rows.join(", ").toStdString();
}
