#include "core/PanelSettings.h"

#include "core/Localization.h"
#include "core/NotificationCenter.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

void expectDefaults(const char* context)
{
    EXPECT_EQ(PanelSettings::edge(), PanelEdge::right) << context;
    EXPECT_EQ(PanelSettings::width(), PanelWidth::normal) << context;
    EXPECT_EQ(PanelSettings::fontSize(), PanelFontSize::normal) << context;
    EXPECT_EQ(PanelSettings::display(), PanelDisplay::pointer) << context;
    EXPECT_TRUE(PanelSettings::showAppsWithoutWindows()) << context;
    EXPECT_TRUE(PanelSettings::preferBrowserTabsWhenFrontmost()) << context;
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
        expectDefaults(row.key);
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

    QStringList stored;
    for (const char* key : {"Ostrevane.PanelEdge", "Ostrevane.PanelWidth", "Ostrevane.PanelFontSize", "Ostrevane.PanelDisplay"})
        stored << runtime.defaults().string(QString::fromLatin1(key)).value_or(QString());
    EXPECT_EQ(stored, (QStringList{"left", "wide", "small", "main"}));
    EXPECT_EQ(runtime.defaults().boolean(QStringLiteral("Ostrevane.ShowAppsWithoutWindows")), false);

    runtime.restart();
    EXPECT_EQ(PanelSettings::edge(), PanelEdge::left);
    EXPECT_EQ(PanelSettings::width(), PanelWidth::wide);
    EXPECT_EQ(PanelSettings::fontSize(), PanelFontSize::small);
    EXPECT_EQ(PanelSettings::display(), PanelDisplay::main);
    EXPECT_FALSE(PanelSettings::showAppsWithoutWindows());
    EXPECT_FALSE(PanelSettings::preferBrowserTabsWhenFrontmost());
}

TEST(PanelSettings, TitlesFollowTheChosenLanguage)
{
    TestRuntime runtime;
    EXPECT_EQ(PanelDisplays::title(PanelDisplay::pointer), QStringLiteral("Screen with Pointer"));
    Localization::shared().setLanguage(AppLanguage::simplifiedChinese);
    EXPECT_EQ(PanelDisplays::title(PanelDisplay::pointer), QStringLiteral("指针所在的屏幕"));
}
