#include "core/model/Localization.h"

#include "core/shell/NotificationCenter.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

// A localization on the test runtime whose system prefers `languages`.
std::unique_ptr<Localization> makeLocalization(TestRuntime& runtime, const QStringList& languages,
                                               const QString& chineseTable = {})
{
    Localization::Resources resources;
    resources.systemLanguages = [languages] { return languages; };
    if (!chineseTable.isEmpty())
        resources.simplifiedChineseTable = chineseTable;
    return std::make_unique<Localization>(runtime.defaults(), runtime.context().notifications(), resources);
}

} // namespace

TEST(Localization, StartsWithTheStoredLanguageElseTheFirstPreferredSystemLanguageWithATable)
{
    const struct {
        const char* name;
        QVariant stored;
        QStringList systemLanguages;
        AppLanguage expected;
        const char* left;
    } rows[] = {
        {"nothing stored, Chinese first", QVariant(), {"zh-CN", "en-US"}, AppLanguage::system, "左侧"},
        {"english stored", QStringLiteral("english"), {"zh-CN"}, AppLanguage::english, "Left"},
        {"not a text", true, {"en-US"}, AppLanguage::system, "Left"},
        {"English before Chinese", QVariant(), {"de", "en_GB", "zh-CN"}, AppLanguage::system, "Left"},
        {"Traditional Chinese has no table", QVariant(), {"zh-TW", "zh-CN"}, AppLanguage::system, "左侧"},
        {"Singapore and Hong Kong Simplified", QVariant(), {"zh-Hant-CN", "zh-SG"}, AppLanguage::system, "左侧"},
        {"no languages at all", QVariant(), {}, AppLanguage::system, "Left"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestRuntime runtime;
        if (row.stored.isValid())
            runtime.defaults().set(Localization::defaultsKey, row.stored);
        const auto localization = makeLocalization(runtime, row.systemLanguages);
        EXPECT_EQ(localization->language(), row.expected);
        EXPECT_EQ(localization->string("Left"), QString::fromUtf8(row.left));
    }
}

TEST(Localization, ChoosingALanguageSwitchesTablesTellsObserversAndSurvivesARestart)
{
    TestRuntime runtime;
    Localization& localization = Localization::shared();
    int posts = 0;
    runtime.context().notifications().addObserver(QStringLiteral("Ostrevane.languageChanged"), [&posts] { ++posts; });

    localization.setLanguage(AppLanguage::system); // already the language: nothing happens
    EXPECT_EQ(posts, 0);
    EXPECT_FALSE(runtime.defaults().object(Localization::defaultsKey).isValid());

    localization.setLanguage(AppLanguage::simplifiedChinese);
    // Texts are looked up before they are filled; one without a translation stays English.
    EXPECT_EQ(localization.format("%d open tabs", {"4"}), QStringLiteral("4 个标签页"));
    EXPECT_EQ(localization.string(QStringLiteral("Größe")), QStringLiteral("Größe"));
    EXPECT_EQ(posts, 1);

    runtime.restart();
    EXPECT_EQ(runtime.defaults().string(Localization::defaultsKey), QStringLiteral("simplifiedChinese"));
    EXPECT_EQ(Localization::shared().language(), AppLanguage::simplifiedChinese);
}

TEST(Localization, MissingChineseTableFallsBackToTheMainTable)
{
    TestRuntime runtime;
    auto localization = makeLocalization(runtime, {"en-US"}, runtime.settingsPath() + QStringLiteral(".missing.qm"));
    localization->setLanguage(AppLanguage::simplifiedChinese);
    EXPECT_EQ(localization->bundleName(), QStringLiteral("main"));
    EXPECT_EQ(localization->string("Left"), QStringLiteral("Left"));
    EXPECT_EQ(runtime.defaults().string(Localization::defaultsKey), QStringLiteral("simplifiedChinese"));
}

TEST(Localization, FillReplacesPlaceholdersInOrder)
{
    const struct {
        const char* format;
        QStringList arguments;
        const char* expected;
    } rows[] = {
        {"%2$@ before %1$@", {"a", "b"}, "b before a"},
        {"100%% sure, %d%%", {"7"}, "100% sure, 7%"},
        {"ends with %", {}, "ends with %"},
        {"%@ got %@", {"only one"}, "only one got %@"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Localization::fill(QString::fromUtf8(row.format), row.arguments), QString::fromUtf8(row.expected))
            << row.format;
}
