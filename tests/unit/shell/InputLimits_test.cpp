#include "core/shell/InputLimits.h"

#include "core/input/HotkeySettings.h"
#include "core/input/ShortcutStore.h"
#include "core/preferences/UserDefaults.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ostrevane;

namespace {

// A binary property list whose objects are arrays, each listing the objects it refers
// to; object 0 is the top.
QByteArray binaryArrays(const std::vector<std::vector<int>>& arrays)
{
    QByteArray bytes("bplist00");
    std::vector<quint32> offsets;
    for (const std::vector<int>& refs : arrays) {
        offsets.push_back(quint32(bytes.size()));
        if (refs.size() < 15) {
            bytes.append(char(0xA0 | refs.size()));
        } else {
            bytes.append(char(0xAF)).append(char(0x11)); // count in a two-byte integer
            bytes.append(char(refs.size() >> 8)).append(char(refs.size() & 0xFF));
        }
        for (const int ref : refs)
            bytes.append(char(ref >> 8)).append(char(ref & 0xFF)); // two-byte references
    }
    const quint32 table = quint32(bytes.size());
    for (const quint32 offset : offsets)
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(char((offset >> shift) & 0xFF));
    QByteArray trailer(32, '\0');
    trailer[6] = 4; // offset size
    trailer[7] = 2; // reference size
    const auto put = [&](int at, quint64 value) {
        for (int i = 7; i >= 0; --i, value >>= 8)
            trailer[at + i] = char(value & 0xFF);
    };
    put(8, arrays.size());
    put(16, 0);
    put(24, table);
    return bytes + trailer;
}

// `levels` arrays, each holding the next.
QByteArray binaryChain(int levels)
{
    std::vector<std::vector<int>> arrays;
    for (int i = 0; i < levels; ++i)
        arrays.push_back(i + 1 < levels ? std::vector<int>{i + 1} : std::vector<int>{});
    return binaryArrays(arrays);
}

QByteArray xmlNested(int levels, const char* open, const char* close)
{
    return QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\">") + QByteArray(open).repeated(levels)
        + QByteArray(close).repeated(levels) + "</plist>";
}

} // namespace

TEST(InputLimits, JsonDepthCountsBracketsOutsideStrings)
{
    const struct {
        const char* json;
        int depth;
    } rows[] = {
        {"{\"a\":[1,{\"b\":[]}]}", 4},
        {"{\"a\":\"[[[[{{{{\"}", 1},
        {"{\"a\":\"quote \\\" [[[[\"}", 1},
        {"]]]]]][[", 2}, // stray closing brackets do not hide later opening ones
    };
    for (const auto& row : rows)
        EXPECT_EQ(InputLimits::jsonDepth(row.json), row.depth) << row.json;
    EXPECT_FALSE(InputLimits::jsonWithinLimits(QByteArray("[").repeated(InputLimits::maxDepth + 1)));
    EXPECT_TRUE(InputLimits::jsonWithinLimits(QByteArray("[").repeated(InputLimits::maxDepth)));
}

TEST(InputLimits, XmlDepthReadsLikeThePropertyListReader)
{
    const QByteArray deep = QByteArray("<array>").repeated(300);
    const struct {
        QByteArray xml;
        int depth;
    } rows[] = {
        {"<plist><!-- <array><array><array> --><array></array></plist>", 1},
        {"<plist><array><string><![CDATA[<dict><dict><dict>]]></string></array></plist>", 2},
        {"<plist><array><array></array></array></plist><array><array><array>", 2}, // the document ended
        {"<plist><string>a<dict>" + deep, 1},                                   // the reader stops at <dict>
        {"<array/><array><array></array></array>", 3}, // values after an empty top array go into it
        // Quoted text is skipped where the reader skips it, so no level hides from the count.
        {"<!DOCTYPE plist \"x><?\" ><plist>" + deep, 300},
        {"<plist>" + deep + "<!-- never closed", 300}, // what the reader built before it failed counts
    };
    for (const auto& row : rows)
        EXPECT_EQ(InputLimits::xmlDepth(row.xml), row.depth) << row.xml.left(60).constData();
}

TEST(InputLimits, BinaryShapeFollowsSharedObjectsAndRefusesLoops)
{
    const std::optional<InputLimits::BinaryShape> chain = InputLimits::binaryPropertyListShape(binaryChain(5));
    ASSERT_TRUE(chain);
    EXPECT_EQ(chain->depth, 5);
    EXPECT_EQ(chain->values, 5);

    // Each of 40 arrays refers twice to the next: 2^40 values once copied out.
    std::vector<std::vector<int>> doubling;
    for (int i = 0; i < 40; ++i)
        doubling.push_back({i + 1, i + 1});
    doubling.push_back({});
    const auto expanding = InputLimits::binaryPropertyListShape(binaryArrays(doubling));
    ASSERT_TRUE(expanding);
    EXPECT_GT(expanding->values, InputLimits::maxBinaryPropertyListValues);
    EXPECT_FALSE(InputLimits::propertyListWithinLimits(binaryArrays(doubling)));

    EXPECT_FALSE(InputLimits::binaryPropertyListShape(binaryArrays({{1}, {0}}))) << "a loop";
    EXPECT_FALSE(InputLimits::binaryPropertyListShape(binaryArrays({{7}}))) << "a reference past the objects";
    EXPECT_FALSE(InputLimits::binaryPropertyListShape(binaryChain(3).chopped(1))) << "a cut trailer";
    EXPECT_FALSE(InputLimits::propertyListWithinLimits(binaryChain(InputLimits::maxDepth + 1)));
    EXPECT_TRUE(InputLimits::propertyListWithinLimits(binaryChain(InputLimits::maxDepth)));
}

// The parser would overflow its stack on these; they must never reach it.
TEST(InputLimits, PropertyListsTooDeepToParseAreRefusedBeforeParsing)
{
    EXPECT_FALSE(PropertyList::parse(binaryChain(50000)));
    // Just within the limit: still read.
    const std::optional<QVariant> deepest = PropertyList::parse(xmlNested(InputLimits::maxDepth, "<array>", "</array>"));
    ASSERT_TRUE(deepest);
    EXPECT_EQ(deepest->typeId(), QMetaType::QVariantList);
    EXPECT_FALSE(PropertyList::parse(xmlNested(InputLimits::maxDepth + 1, "<array>", "</array>")));
}

// Extra members are otherwise ignored: only the depth makes these unreadable.
TEST(InputLimits, ChordsNestedPastTheLimitAreUnreadable)
{
    const auto chordWithExtra = [](int levels) {
        return QByteArray("{\"keyCode\":48,\"carbonModifiers\":2048,\"extra\":") + QByteArray("[").repeated(levels)
            + QByteArray("]").repeated(levels) + "}";
    };
    EXPECT_TRUE(HotkeyConfig::decode(chordWithExtra(InputLimits::maxDepth - 1)));
    EXPECT_FALSE(HotkeyConfig::decode(chordWithExtra(InputLimits::maxDepth)));
    const QByteArray overrides = "{\"moveUp\":" + chordWithExtra(InputLimits::maxDepth) + "}";
    EXPECT_FALSE(ShortcutStore::decode(overrides));
    EXPECT_TRUE(ShortcutStore::decode("{\"moveUp\":" + chordWithExtra(3) + "}"));
}

// libplist aborts on a parsed string or key holding NUL; such lists never reach it.
TEST(InputLimits, PropertyListsWhoseTextCouldHoldNulAreRefused)
{
    const QByteArray xml("<plist><dict><key>k</key><string>%1</string></dict></plist>");
    const struct {
        const char* text;
        bool refused;
    } rows[] = {
        {"plain &#65;&#x4e2d;&amp;", false}, {"&#x00;", true}, {"&#;", true}, {"&#x110000;", true}, {"&#65", true},
    };
    for (const auto& row : rows) {
        const QByteArray list = QByteArray(xml).replace("%1", row.text);
        EXPECT_EQ(InputLimits::xmlMayHoldNul(list), row.refused) << row.text;
        EXPECT_EQ(PropertyList::parse(list).has_value(), !row.refused) << row.text;
    }
    EXPECT_TRUE(InputLimits::xmlMayHoldNul(QByteArray(xml).replace("%1", QByteArray("a\0b", 3))));

    // A binary list: a one-entry dictionary whose key is "k\0" (ASCII, two characters).
    QByteArray binary("bplist00");
    binary += QByteArray("\xD1\x01\x02", 3) + QByteArray("\x52k\0", 3) + QByteArray("\x09", 1);
    const QByteArray offsets("\x08\x0B\x0E", 3);
    QByteArray trailer(32, '\0');
    trailer[6] = 1;
    trailer[7] = 1;
    trailer[15] = 3;
    trailer[31] = char(binary.size());
    const QByteArray withNul = binary + offsets + trailer;
    EXPECT_FALSE(InputLimits::binaryPropertyListShape(withNul));
    EXPECT_FALSE(PropertyList::parse(withNul));
    QByteArray withoutNul = withNul;
    withoutNul[13] = 'x';
    EXPECT_TRUE(InputLimits::binaryPropertyListShape(withoutNul));
    EXPECT_TRUE(PropertyList::parse(withoutNul));
}
