#include "core/PanelSettings.h"

#include "core/Localization.h"
#include "core/NotificationCenter.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

template <class E, class Raw>
QStringList rawValues(const QList<E>& cases, Raw raw)
{
    QStringList values;
    for (E value : cases)
        values << raw(value);
    return values;
}

template <class E, class Title>
QStringList titles(const QList<E>& cases, Title title)
{
    QStringList values;
    for (E value : cases)
        values << title(value);
    return values;
}

} // namespace

TEST(PanelSettings, NothingStoredReadsAsTheDefaults)
{
    TestRuntime runtime;
    EXPECT_EQ(PanelSettings::edge(), PanelEdge::right);
    EXPECT_EQ(PanelSettings::width(), PanelWidth::normal);
    EXPECT_EQ(PanelSettings::fontSize(), PanelFontSize::normal);
    EXPECT_EQ(PanelSettings::display(), PanelDisplay::pointer);
    EXPECT_TRUE(PanelSettings::showAppsWithoutWindows());
    EXPECT_TRUE(PanelSettings::preferBrowserTabsWhenFrontmost());
}

TEST(PanelSettings, UnknownOrWrongTypedValuesReadAsTheDefaults)
{
    const struct {
        const char* key;
        QVariant stored;
    } rows[] = {
        {"Ostrevane.PanelEdge", QStringLiteral("top")},
        {"Ostrevane.PanelEdge", QStringLiteral("Left")},
        {"Ostrevane.PanelEdge", true},
        {"Ostrevane.PanelWidth", QStringLiteral("huge")},
        {"Ostrevane.PanelWidth", qint64(1)},
        {"Ostrevane.PanelFontSize", QStringLiteral("LARGE")},
        {"Ostrevane.PanelDisplay", QStringLiteral("secondary")},
        {"Ostrevane.PanelDisplay", QVariantList{QStringLiteral("main")}},
        {"Ostrevane.ShowAppsWithoutWindows", QStringLiteral("no")},
        {"Ostrevane.ShowAppsWithoutWindows", qint64(0)},
        {"Ostrevane.PreferBrowserTabsWhenFrontmost", QStringLiteral("false")},
    };
    for (const auto& row : rows) {
        TestRuntime runtime;
        runtime.defaults().set(QString::fromLatin1(row.key), row.stored);
        EXPECT_EQ(PanelSettings::edge(), PanelEdge::right) << row.key;
        EXPECT_EQ(PanelSettings::width(), PanelWidth::normal) << row.key;
        EXPECT_EQ(PanelSettings::fontSize(), PanelFontSize::normal) << row.key;
        EXPECT_EQ(PanelSettings::display(), PanelDisplay::pointer) << row.key;
        EXPECT_TRUE(PanelSettings::showAppsWithoutWindows()) << row.key;
        EXPECT_TRUE(PanelSettings::preferBrowserTabsWhenFrontmost()) << row.key;
        // Reading never repairs the stored value.
        EXPECT_EQ(runtime.defaults().object(QString::fromLatin1(row.key)), row.stored) << row.key;
    }
}

TEST(PanelSettings, SettersStoreRawValuesThatSurviveARestart)
{
    TestRuntime runtime;
    PanelSettings::setEdge(PanelEdge::left);
    PanelSettings::setWidth(PanelWidth::wide);
    PanelSettings::setFontSize(PanelFontSize::small);
    PanelSettings::setDisplay(PanelDisplay::main);
    PanelSettings::setShowAppsWithoutWindows(false);
    PanelSettings::setPreferBrowserTabsWhenFrontmost(false);

    EXPECT_EQ(runtime.defaults().string(QStringLiteral("Ostrevane.PanelEdge")), QStringLiteral("left"));
    EXPECT_EQ(runtime.defaults().string(QStringLiteral("Ostrevane.PanelWidth")), QStringLiteral("wide"));
    EXPECT_EQ(runtime.defaults().string(QStringLiteral("Ostrevane.PanelFontSize")), QStringLiteral("small"));
    EXPECT_EQ(runtime.defaults().string(QStringLiteral("Ostrevane.PanelDisplay")), QStringLiteral("main"));
    EXPECT_EQ(runtime.defaults().boolean(QStringLiteral("Ostrevane.ShowAppsWithoutWindows")), false);

    runtime.restart();
    EXPECT_EQ(PanelSettings::edge(), PanelEdge::left);
    EXPECT_EQ(PanelSettings::width(), PanelWidth::wide);
    EXPECT_EQ(PanelSettings::fontSize(), PanelFontSize::small);
    EXPECT_EQ(PanelSettings::display(), PanelDisplay::main);
    EXPECT_FALSE(PanelSettings::showAppsWithoutWindows());
    EXPECT_FALSE(PanelSettings::preferBrowserTabsWhenFrontmost());
}

TEST(PanelSettings, EverySetterPostsTheChange)
{
    TestRuntime runtime;
    int posts = 0;
    NotificationCenter::shared().addObserver(QStringLiteral("Ostrevane.panelSettingsChanged"), [&posts] { ++posts; });

    PanelSettings::setEdge(PanelEdge::right);
    PanelSettings::setWidth(PanelWidth::compact);
    PanelSettings::setFontSize(PanelFontSize::large);
    PanelSettings::setDisplay(PanelDisplay::pointer);
    PanelSettings::setShowAppsWithoutWindows(true);
    PanelSettings::setPreferBrowserTabsWhenFrontmost(true);

    EXPECT_EQ(posts, 6);
}

TEST(PanelSettings, CasesListInPickerOrderWithRawValues)
{
    EXPECT_EQ(rawValues(PanelEdges::allCases(), PanelEdges::rawValue), (QStringList{"left", "right"}));
    EXPECT_EQ(rawValues(PanelWidths::allCases(), PanelWidths::rawValue), (QStringList{"compact", "normal", "wide"}));
    EXPECT_EQ(rawValues(PanelFontSizes::allCases(), PanelFontSizes::rawValue),
              (QStringList{"small", "normal", "large"}));
    EXPECT_EQ(rawValues(PanelDisplays::allCases(), PanelDisplays::rawValue), (QStringList{"pointer", "main"}));
    EXPECT_EQ(PanelWidths::fromRawValue(QStringLiteral("compact")), PanelWidth::compact);
    EXPECT_EQ(PanelDisplays::fromRawValue(QStringLiteral("main")), PanelDisplay::main);
    EXPECT_EQ(PanelFontSizes::fromRawValue(QStringLiteral("medium")), std::nullopt);
}

TEST(PanelSettings, TitlesFollowTheChosenLanguage)
{
    TestRuntime runtime;
    Localization::shared().setLanguage(AppLanguage::english);
    EXPECT_EQ(titles(PanelEdges::allCases(), PanelEdges::title), (QStringList{"Left", "Right"}));
    EXPECT_EQ(titles(PanelWidths::allCases(), PanelWidths::title), (QStringList{"Compact", "Normal", "Wide"}));
    EXPECT_EQ(titles(PanelFontSizes::allCases(), PanelFontSizes::title), (QStringList{"Small", "Normal", "Large"}));
    EXPECT_EQ(titles(PanelDisplays::allCases(), PanelDisplays::title),
              (QStringList{"Screen with Pointer", "Main Display"}));

    Localization::shared().setLanguage(AppLanguage::simplifiedChinese);
    EXPECT_EQ(titles(PanelEdges::allCases(), PanelEdges::title), (QStringList{"左侧", "右侧"}));
    EXPECT_EQ(titles(PanelDisplays::allCases(), PanelDisplays::title), (QStringList{"指针所在的屏幕", "主显示器"}));
}
