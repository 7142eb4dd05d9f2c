#include "platform/browser/ExtensionStatusProbe.h"

#include "BrowserTestKit.h"
#include "core/model/Localization.h"
#include "platform/browser/ExtensionBrowserAutomation.h"
#include "platform/sim/SimBrowsers.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <QDir>

using namespace ostrevane;
using namespace ostrevane::browsertest;

namespace {

// Extensions that answer for the browsers the test names, with that many tabs.
class AnsweringExtensions : public BrowserAutomation {
public:
    QMap<QString, int> tabs;
    std::optional<std::vector<BrowserTabRow>> listTabs(const BrowserSpec& browser, double) override
    {
        if (!tabs.contains(browser.bundleID))
            return std::nullopt;
        return std::vector<BrowserTabRow>(static_cast<size_t>(tabs[browser.bundleID]), BrowserTabRow{1, 1, false, "T", ""});
    }
    std::optional<bool> activateTab(const BrowserSpec&, const BrowserTabAddress&) override { return std::nullopt; }
    void closeTab(const BrowserSpec&, const BrowserTabAddress&) override {}
};

class ExtensionStatusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        runtime.context().ports().profile = &profile;
        runtime.context().ports().browserAutomation = &extensions;
    }

    ExtensionStatusProbe probe(const ExtensionBrowserAutomation* automation = nullptr)
    {
        ExtensionStatusProbe::Options options;
        options.automation = automation;
        options.machine.home = home.path();
        options.machine.configHome = home.path() + "/.config";
        options.machine.hasExecutable = [](const QString& name) { return name == "chromium"; };
        options.extensionFolder = "/usr/share/ostrevane/browser-extension";
        options.launch = [this](const QString& program, const QStringList& arguments) {
            launched << program + ' ' + arguments.join(' ');
            return true;
        };
        return ExtensionStatusProbe(options);
    }
    ProcessID run(const char* bundleID, const char* name, const char* executable)
    {
        const ProcessID pid = runtime.desktop().launch(bundleID, name);
        RunningApplication app = *runtime.desktop().workspace.runningApplication(pid);
        app.executablePath = QString::fromLatin1(executable);
        runtime.desktop().workspace.updateApplication(app);
        return pid;
    }

    TestRuntime runtime;
    PlatformProfile profile = PlatformProfile::linuxDesktop({"org.gnome.Nautilus", {}});
    AnsweringExtensions extensions;
    QTemporaryDir home;
    QStringList launched;
};

} // namespace

TEST_F(ExtensionStatusTest, ReadyOnlyWhenEveryRunningBrowsersExtensionAnswersElseGuidanceAboutTheOneLeftOut)
{
    EXPECT_EQ(probe().status(2), BrowserTabStatus::unavailable());

    run("chromium", "Chromium", "/usr/lib/chromium/chromium");
    run("firefox-esr", "Firefox ESR", "/usr/lib/firefox-esr/firefox-esr");
    extensions.tabs = {{"chromium", 4}, {"firefox-esr", 2}};
    EXPECT_EQ(probe().status(2), BrowserTabStatus::ready(6));

    extensions.tabs = {{"chromium", 4}};
    const BrowserTabStatus degraded = probe().status(2);
    EXPECT_EQ(degraded, BrowserTabStatus::degraded(4, "Install the Ostrevane extension in %@.", {"Firefox ESR"},
                                                   "firefox-esr"));
    EXPECT_EQ(degraded.reasonText(), "Install the Ostrevane extension in Firefox ESR.");
    Localization::shared().setLanguage(AppLanguage::simplifiedChinese);
    EXPECT_TRUE(degraded.localizedReason().contains("Firefox ESR")) << qPrintable(degraded.localizedReason());
    EXPECT_NE(degraded.localizedReason(), degraded.reasonText());
    // With no extension answering, the guidance is in the log of the end-to-end test.
}

TEST_F(ExtensionStatusTest, TitlesReadThroughAccessibilityMakeTheStatusDegradedWithTheSameGuidance)
{
    const ProcessID pid = run("chromium", "Chromium", "/usr/lib/chromium/chromium");
    SimBrowsers strips(runtime.desktop());
    strips.addTabStrip(runtime.desktop().openWindow(pid, "News - Chromium"), {"News", "Mail"}, 0);
    EXPECT_EQ(probe().status(2), BrowserTabStatus::degraded(2, "Tab titles are limited. Install the Ostrevane "
                                                               "extension in %@.", {"Chromium"}, "chromium"));
}

TEST_F(ExtensionStatusTest, ASandboxedBrowserIsNamedAndNotSentToAnExtensionPage)
{
    run("firefox", "Firefox", "/snap/firefox/4848/usr/lib/firefox/firefox");
    const BrowserTabStatus status = probe().status(2);
    EXPECT_EQ(status.reasonText(), "Firefox is a Snap package, whose sandbox keeps its tabs from Ostrevane. Install "
                                   "the browser from your distribution's packages to switch to its tabs.");
    EXPECT_FALSE(probe().canOpenSettings(status));
    probe().openSettings(status);
    EXPECT_TRUE(launched.isEmpty());

    const ProbeResult result = probe().probeAutomationForRunningBrowsers();
    EXPECT_EQ(result.automationBlocked, QStringList{"Firefox"});
    EXPECT_EQ(result.details, QStringList{"Firefox: Snap package, its sandbox keeps the connector out"});
}

TEST_F(ExtensionStatusTest, SettingsOpenTheBrowsersExtensionPageAndTheFolderToLoad)
{
    run("chromium", "Chromium", "/usr/lib/chromium/chromium");
    run("firefox-esr", "Firefox ESR", "/usr/lib/firefox-esr/firefox-esr");
    ExtensionStatusProbe chromiumFirst = probe();
    chromiumFirst.openSettings(BrowserTabStatus::blocked("Install the Ostrevane extension in %@.", {"Chromium"},
                                                         "chromium"));
    chromiumFirst.openSettings(BrowserTabStatus::degraded(3, "Install the Ostrevane extension in %@.",
                                                          {"Firefox ESR"}, "firefox-esr"));
    EXPECT_EQ(launched, (QStringList{"chromium chrome://extensions/",
                                     "/usr/lib/firefox-esr/firefox-esr about:debugging#/runtime/this-firefox"}));
    EXPECT_EQ(runtime.desktop().workspace.log().filter("openURL"),
              QStringList(2, "openURL file:///usr/share/ostrevane/browser-extension"));
    EXPECT_FALSE(chromiumFirst.canOpenSettings(BrowserTabStatus::ready(3)));
}

TEST_F(ExtensionStatusTest, DiagnosticsTellPerBrowserWhetherItsExtensionIsConnectedAndWhereItsManifestIs)
{
    SocketFolder folder;
    ExtensionBrowserAutomation automation({folder.path(), profile.browsers, {},
                                           [](pid_t) { return BrowserProcess{77, "chromium"}; }, 1.5});
    ASSERT_TRUE(automation.start());
    FakeExtension chromium(folder.path());
    chromium.send({{"type", "hello"}, {"version", "1.0.0"}, {"browser", "Chromium 156"}});
    ASSERT_TRUE(eventually([&] {
        const auto connected = automation.connectedBrowsers();
        return connected.size() == 1 && connected[0].extensionVersion == "1.0.0";
    }));
    run("chromium", "Chromium", "/usr/lib/chromium/chromium");
    run("firefox-esr", "Firefox ESR", "/usr/lib/firefox-esr/firefox-esr");
    extensions.tabs = {{"chromium", 3}};
    QDir(home.path()).mkpath(".mozilla/native-messaging-hosts");
    QFile(home.path() + "/.mozilla/native-messaging-hosts/com.local.ostrevane.json").open(QIODevice::WriteOnly);

    const ProbeResult result = probe(&automation).probeAutomationForRunningBrowsers();
    EXPECT_EQ(result.runningBrowsers, (QStringList{"Chromium", "Firefox ESR"}));
    EXPECT_EQ(result.automationReady, QStringList{"Chromium"});
    EXPECT_EQ(result.tabCounts, (QMap<QString, int>{{"Chromium", 3}}));
    EXPECT_EQ(result.details,
              (QStringList{"Chromium: extension 1.0.0 connected (Chromium 156), 3 tabs",
                           "Firefox ESR: extension not connected; host manifest at "
                           "~/.mozilla/native-messaging-hosts/com.local.ostrevane.json"}));
}
