#include "core/preferences/FeedbackSupport.h"

#include "core/sources/BrowserTabStatus.h"
#include "core/model/Localization.h"
#include "platform/qt/HostSystemInfo.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

#include <array>

using namespace ostrevane;

namespace {

// Answers the browser probes with fixed results.
class FakeBrowserProbe : public BrowserStatusProbe {
public:
    BrowserTabStatus currentStatus = BrowserTabStatus::unavailable();
    ProbeResult probe;

    BrowserTabStatus status(double) override { return currentStatus; }
    ProbeResult probeAutomationForRunningBrowsers() override { return probe; }
};

QStringList diagnosticsLines() { return FeedbackSupport::diagnosticsText().split(u'\n'); }

} // namespace

TEST(FeedbackSupport, ShowsBrowsersPermissionsAndUnknownVersionsAndAFreshUntranslatedStatus)
{
    TestRuntime runtime;
    FakeBrowserProbe browsers;
    runtime.context().ports().browserStatus = &browsers;
    runtime.systemInfo.bundle = SystemInfo::BundleInfo{};
    runtime.systemInfo.screenCapture = true;
    browsers.currentStatus = BrowserTabStatus::ready(5);
    browsers.probe = ProbeResult{{"Google Chrome", "Safari"}, {"Google Chrome"}, {"Safari"}, {{"Google Chrome", 5}}};
    Localization::shared().setLanguage(AppLanguage::simplifiedChinese);

    const QStringList text = diagnosticsLines();
    ASSERT_EQ(text.size(), 18);
    EXPECT_EQ(text.mid(1, 2), (QStringList{"Version: unknown (unknown)", "Bundle ID: unknown"}));
    EXPECT_EQ(text.mid(5, 7), (QStringList{"Language: simplifiedChinese", "Accessibility: granted",
                                           "Screen Recording: granted", "Browser Tab Status: ready (5 tabs)",
                                           "Running Supported Browsers: Google Chrome, Safari",
                                           "Browser Automation Ready: Google Chrome",
                                           "Browser Automation Blocked: Safari"}));

    // Status reasons are never translated, and each text asks for a fresh status.
    browsers.currentStatus = BrowserTabStatus::degraded(3, BrowserTabStatusReason::limitedTitles);
    EXPECT_EQ(diagnosticsLines().at(8), "Browser Tab Status: degraded (3 fallback tabs): Tab titles are limited. "
                                        "Enable Automation access for Ostrevane and the browser.");
}

TEST(HostSystemInfo, KernelReleaseGivesMajorMinorAndPatch)
{
    const std::pair<const char*, std::array<int, 3>> rows[] = {
        {"5.15.133.1-microsoft-standard-WSL2", {5, 15, 133}},
        {"6.5", {6, 5, 0}},
        {"unknown", {0, 0, 0}},
    };
    for (const auto& [release, expected] : rows) {
        const SystemInfo::OSVersion v = HostSystemInfo::parseRelease(QString::fromLatin1(release));
        EXPECT_EQ((std::array{v.major, v.minor, v.patch}), expected) << release;
    }
}

