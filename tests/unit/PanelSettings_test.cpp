#include "core/PanelSettings.h"

#include "core/Localization.h"
#include "core/NotificationCenter.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

// Every setting as it reads now: edge, width, font size, display and the two switches.
QStringList currentSettings()
{
    return {PanelEdges::rawValue(PanelSettings::edge()),
            PanelWidths::rawValue(PanelSettings::width()),
            PanelFontSizes::rawValue(PanelSettings::fontSize()),
            PanelDisplays::rawValue(PanelSettings::display()),
            PanelSettings::showAppsWithoutWindows() ? "shows apps" : "hides apps",
            PanelSettings::preferBrowserTabsWhenFrontmost() ? "prefers tabs" : "no tabs first"};
}

} // namespace

TEST(PanelSettings, NothingStoredOrUnknownOrWrongTypedValuesReadAsTheDefaults)
{
    const struct {
        const char* key;
        QVariant stored;
    } rows[] = {
        {"nothing stored", QVariant()},
        {"Ostrevane.PanelEdge", QStringLiteral("Left")},
        {"Ostrevane.PanelEdge", true},
        {"Ostrevane.PanelWidth", QStringLiteral("huge")},
        {"Ostrevane.PanelFontSize", QStringLiteral("LARGE")},
        {"Ostrevane.PanelDisplay", QVariantList{QStringLiteral("main")}},
        {"Ostrevane.ShowAppsWithoutWindows", qint64(0)},
        {"Ostrevane.PreferBrowserTabsWhenFrontmost", QStringLiteral("false")},
    };
    for (const auto& row : rows) {
        TestRuntime runtime;
        if (row.stored.isValid())
            runtime.defaults().set(QString::fromLatin1(row.key), row.stored);
        EXPECT_EQ(currentSettings(),
                  (QStringList{"right", "normal", "normal", "pointer", "shows apps", "prefers tabs"}))
            << row.key;
        // Reading never repairs the stored value.
        EXPECT_EQ(runtime.defaults().object(QString::fromLatin1(row.key)), row.stored) << row.key;
    }
}

TEST(PanelSettings, SettersStoreRawValuesThatSurviveARestartAndPostEachChange)
{
    TestRuntime runtime;
    int posts = 0;
    NotificationCenter::shared().addObserver(QStringLiteral("Ostrevane.panelSettingsChanged"), [&posts] { ++posts; });
    PanelSettings::setEdge(PanelEdge::left);
    PanelSettings::setWidth(PanelWidth::wide);
    PanelSettings::setFontSize(PanelFontSize::small);
    PanelSettings::setDisplay(PanelDisplay::main);
    PanelSettings::setShowAppsWithoutWindows(false);
    PanelSettings::setPreferBrowserTabsWhenFrontmost(false);
    EXPECT_EQ(posts, 6);
    EXPECT_EQ(runtime.defaults().string(QStringLiteral("Ostrevane.PanelWidth")), QStringLiteral("wide"));
    EXPECT_EQ(runtime.defaults().boolean(QStringLiteral("Ostrevane.ShowAppsWithoutWindows")), false);

    runtime.restart();
    EXPECT_EQ(currentSettings(), (QStringList{"left", "wide", "small", "main", "hides apps", "no tabs first"}));
}

TEST(PanelSettings, TitlesFollowTheChosenLanguage)
{
    TestRuntime runtime;
    EXPECT_EQ(PanelDisplays::title(PanelDisplay::pointer), QStringLiteral("Screen with Pointer"));
    Localization::shared().setLanguage(AppLanguage::simplifiedChinese);
    EXPECT_EQ(PanelDisplays::title(PanelDisplay::pointer), QStringLiteral("指针所在的屏幕"));
}
