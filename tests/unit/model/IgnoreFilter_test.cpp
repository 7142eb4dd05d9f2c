#include "core/model/IgnoreFilter.h"

#include "core/model/SwitchItem.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

TEST(IgnoreFilter, AStoredEmptyListReplacesTheDefaultsAcrossRestarts)
{
    TestRuntime runtime;
    EXPECT_TRUE(IgnoreFilter::shouldIgnoreApp(QStringLiteral("com.apple.dock"), QStringLiteral("Dock")));
    EXPECT_FALSE(IgnoreFilter::shouldIgnoreApp(QStringLiteral("com.apple.Safari"), QStringLiteral("Safari")));
    IgnoreFilter::setIgnoredAppBundleIDs({});
    IgnoreFilter::setIgnoredAppRegex({QStringLiteral("zz")});
    IgnoreFilter::setIgnoredWindowRegex({QStringLiteral("c"), QStringLiteral("d")});
    runtime.restart();
    EXPECT_FALSE(IgnoreFilter::shouldIgnoreApp(QStringLiteral("com.apple.dock"), QStringLiteral("Dock")));
    EXPECT_EQ(runtime.defaults().array(QStringLiteral("Ostrevane.IgnoredWindowRegex")), (QVariantList{"c", "d"}));
}

TEST(IgnoreFilter, StoredValueThatIsNotAListOfTextsReadsAsAbsent)
{
    for (const QVariant& stored : {QVariant(QStringLiteral("com.example.Chat")),
                                   QVariant(QVariantList{QStringLiteral("com.example.Chat"), qint64(5)})}) {
        TestRuntime runtime;
        runtime.defaults().set(IgnoreFilter::appBundleIDsKey, stored);
        runtime.defaults().set(IgnoreFilter::appRegexKey, stored);
        EXPECT_TRUE(IgnoreFilter::shouldIgnoreApp(QStringLiteral("com.apple.dock"), QStringLiteral("Dock")));
        EXPECT_FALSE(IgnoreFilter::shouldIgnoreApp(std::nullopt, QStringLiteral("com.example.Chat")));
    }
}

TEST(IgnoreFilter, ApplicationPatternsMatchNamesAnywhereIgnoringCase)
{
    const struct {
        QStringList patterns;
        const char* name;
        bool ignored;
    } rows[] = {
        {{"^notes$"}, "Notes Lite", false},
        {{"[", "lite"}, "Notes Lite", true},
        {{"", "(unclosed"}, "Notes", false},
        {{"é"}, "CAFÉ", true},
    };
    for (const auto& row : rows) {
        TestRuntime runtime;
        IgnoreFilter::setIgnoredAppRegex(row.patterns);
        EXPECT_EQ(IgnoreFilter::shouldIgnoreApp(std::nullopt, QString::fromUtf8(row.name)), row.ignored)
            << row.patterns.join(u',').toStdString() << " on " << row.name;
    }
}

TEST(IgnoreFilter, BundleIDsMatchExactlyAndWindowPatternsNeverDropAWindowWithoutTitle)
{
    TestRuntime runtime;
    IgnoreFilter::setIgnoredAppBundleIDs({QStringLiteral("com.example.Hidden")});
    IgnoreFilter::setIgnoredAppRegex({QStringLiteral("^terminal$")});
    IgnoreFilter::setIgnoredWindowRegex({QStringLiteral("["), QStringLiteral(".*"), QStringLiteral("secret")});

    const struct {
        const char* name;
        std::optional<QString> bundleID;
        const char* appName;
        const char* title;
        bool ignored;
    } rows[] = {
        {"untitled window of an app that is not ignored", QStringLiteral("com.example.Edit"), "Edit", "", false},
        {"titled window matched by a window pattern", QStringLiteral("com.example.Edit"), "Edit", "Doc", true},
        {"untitled window of an app matched by name", QStringLiteral("com.example.Term"), "Terminal", "", true},
        {"untitled window of an ignored bundle", QStringLiteral("com.example.Hidden"), "Hidden", "", true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IgnoreFilter::shouldIgnoreWindow(row.bundleID, row.appName, row.title), row.ignored) << row.name;
    EXPECT_FALSE(IgnoreFilter::shouldIgnoreApp(QStringLiteral("com.example.hidden"), QStringLiteral("Hidden")));
    EXPECT_FALSE(IgnoreFilter::shouldIgnoreApp(std::nullopt, QStringLiteral("com.example.Hidden")));
}
