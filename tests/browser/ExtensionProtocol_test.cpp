#include "platform/browser/ExtensionProtocol.h"

#include "BrowserTestKit.h"
#include "support/QtPrinting.h"

using namespace ostrevane;
using namespace ostrevane::browsertest;

TEST(ExtensionProtocol, TabRowsSkipBrokenRowsAloneAndReadMissingTextsAsTheScriptsDo)
{
    const QJsonArray rows{
        QJsonArray{1, 2, true, "", ""},                             // empty title stays empty
        QJsonArray{0, 1, true, "window 0", "https://a/"},           // position below 1
        QJsonArray{1, -3, false, "tab -3", "https://a/"},           // position below 1
        QJsonArray{1, 1.5, false, "half", "https://a/"},            // not a whole number
        QJsonArray{"1", 1, false, "text position", "https://a/"},   // not a number
        QJsonArray{1, 3, false, "four entries"},                    // too short
        "not a row",
        QJsonArray{2, 4, "yes", QJsonValue::Null, 17, 42},          // odd types
        QJsonArray{3, 1, false, "Icon", "https://b/", "data:image/png;base64,AAAA"},
        QJsonArray{1e12, 1, false, "huge window", "https://a/"},   // beyond 32 bits
    };
    const auto read = ExtensionProtocol::tabRows(tabsAnswer(rows));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, (std::vector<BrowserTabRow>{
                         {1, 2, true, "", "", ""},
                         {2, 4, false, "Untitled", "", ""},
                         {3, 1, false, "Icon", "https://b/", "data:image/png;base64,AAAA"},
                     }));

    EXPECT_EQ(ExtensionProtocol::tabRows(QJsonObject{{"type", "result"}, {"ok", true}}), std::nullopt);
    EXPECT_EQ(ExtensionProtocol::tabRows(QJsonObject{{"type", "tabs"}, {"tabs", "none"}}), std::nullopt);
    EXPECT_EQ(ExtensionProtocol::tabRows(tabsAnswer({})), std::vector<BrowserTabRow>{});
}

// Chromium asking by position and Firefox by address are proven with the real browsers.
TEST(ExtensionProtocol, ActivationAsksForPositionsAtLeastOneAndClosingForThePositionsAsRecorded)
{
    const BrowserTabAddress tab{"https://a/?q=\"x\"", "A \\ B", -2, 0};
    const QJsonObject chromium = ExtensionProtocol::activateRequest(5, BrowserSpec::Family::chromium, tab);
    EXPECT_EQ(chromium, (QJsonObject{{"id", 5}, {"type", "activate"}, {"match", "position"}, {"url", tab.url},
                                     {"title", tab.title}, {"windowIndex", 1}, {"tabIndex", 1}}));
    // Closing uses the recorded positions as they are.
    EXPECT_EQ(ExtensionProtocol::closeRequest(7, tab),
              (QJsonObject{{"id", 7}, {"type", "close"}, {"windowIndex", -2}, {"tabIndex", 0}}));
}

TEST(ExtensionProtocol, OnlyAResultThatSaysOkIsASuccessAndOnlyNumbersAreReplyIDs)
{
    EXPECT_TRUE(ExtensionProtocol::resultOK({{"type", "result"}, {"ok", true}}));
    EXPECT_FALSE(ExtensionProtocol::resultOK({{"type", "result"}, {"ok", false}}));
    EXPECT_FALSE(ExtensionProtocol::resultOK({{"type", "result"}, {"ok", "true"}}));
    EXPECT_FALSE(ExtensionProtocol::resultOK({{"type", "tabs"}, {"ok", true}}));
    EXPECT_EQ(ExtensionProtocol::replyID({{"id", 12}}), 12);
    EXPECT_EQ(ExtensionProtocol::replyID({{"id", "12"}}), std::nullopt);
    EXPECT_EQ(ExtensionProtocol::replyID({{"type", "changed"}}), std::nullopt);
}
