#include "core/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace ostrevane;

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("settings/com.local.ostrevane.plist"));

    void writeFile(const QByteArray& bytes)
    {
        QDir().mkpath(dir.filePath(QStringLiteral("settings")));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readFile()
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

QDateTime utc(const char* iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toUTC(); }

} // namespace

TEST_F(UserDefaultsTest, EveryTypeSurvivesARestart)
{
    const QVariantMap nested{{QStringLiteral("when"), utc("2026-03-04T05:06:07Z")},
                             {QStringLiteral("list"), QVariantList{QStringLiteral("a"), qint64(2), true}}};
    {
        UserDefaults defaults(path);
        defaults.set(QStringLiteral("text"), QStringLiteral("<Ünïcode & \"quotes\" 中文 😀>"));
        defaults.set(QStringLiteral("flag"), false);
        defaults.set(QStringLiteral("count"), -(qint64(1) << 40));
        defaults.set(QStringLiteral("ratio"), 0.25);
        defaults.set(QStringLiteral("blob"), QByteArray("{\"keyCode\":48}\0x", 16));
        defaults.set(QStringLiteral("date"), utc("2026-12-06T08:53:15Z"));
        defaults.set(QStringLiteral("key with <xml> & spaces"), QVariantList{});
        defaults.set(QStringLiteral("dict"), nested);
    }
    UserDefaults reread(path);
    EXPECT_EQ(reread.string(QStringLiteral("text")), QStringLiteral("<Ünïcode & \"quotes\" 中文 😀>"));
    EXPECT_EQ(reread.boolean(QStringLiteral("flag")), false);
    EXPECT_EQ(reread.integer(QStringLiteral("count")), -(qint64(1) << 40));
    EXPECT_EQ(reread.real(QStringLiteral("ratio")), 0.25);
    EXPECT_EQ(reread.data(QStringLiteral("blob")), QByteArray("{\"keyCode\":48}\0x", 16));
    EXPECT_EQ(reread.date(QStringLiteral("date")), utc("2026-12-06T08:53:15Z"));
    EXPECT_EQ(reread.array(QStringLiteral("key with <xml> & spaces")), QVariantList{});
    const auto dict = reread.dictionary(QStringLiteral("dict"));
    ASSERT_TRUE(dict.has_value());
    EXPECT_EQ(dict->value(QStringLiteral("when")).toDateTime(), utc("2026-03-04T05:06:07Z"));
    EXPECT_EQ(dict->value(QStringLiteral("list")).toList().size(), 3);
    EXPECT_TRUE(reread.setAsidePath().isEmpty());
}

TEST_F(UserDefaultsTest, AValueOfAnotherTypeReadsAsAbsent)
{
    UserDefaults defaults(path);
    defaults.set(QStringLiteral("flag"), QStringLiteral("no"));
    defaults.set(QStringLiteral("number"), qint64(1));
    EXPECT_EQ(defaults.boolean(QStringLiteral("flag")), std::nullopt);
    EXPECT_EQ(defaults.string(QStringLiteral("number")), std::nullopt);
    EXPECT_EQ(defaults.real(QStringLiteral("number")), std::nullopt);
}

TEST_F(UserDefaultsTest, DatesKeepWholeSecondsAndRemovedKeysStayRemovedInTheFile)
{
    {
        UserDefaults defaults(path);
        defaults.set(QStringLiteral("d"), QDateTime::fromMSecsSinceEpoch(1767225600750, Qt::UTC));
        defaults.set(QStringLiteral("a"), true);
        defaults.remove(QStringLiteral("a"));
    }
    UserDefaults reread(path);
    EXPECT_EQ(reread.date(QStringLiteral("d")), QDateTime::fromMSecsSinceEpoch(1767225600000, Qt::UTC));
    EXPECT_FALSE(reread.object(QStringLiteral("a")).isValid());
}

TEST_F(UserDefaultsTest, UnstorableValuesAreRefusedWithoutLosingOtherKeys)
{
    UserDefaults defaults(path);
    defaults.set(QStringLiteral("kept"), QStringLiteral("yes"));
    defaults.set(QStringLiteral("bad"), QVariant::fromValue(QSize(1, 2)));
    defaults.set(QStringLiteral("nested bad"), QVariantList{QVariant::fromValue(QSize(1, 2))});
    defaults.set(QStringLiteral("nan"), std::nan(""));
    EXPECT_FALSE(defaults.object(QStringLiteral("bad")).isValid());
    EXPECT_FALSE(defaults.object(QStringLiteral("nested bad")).isValid());
    EXPECT_FALSE(defaults.object(QStringLiteral("nan")).isValid());
    EXPECT_EQ(UserDefaults(path).string(QStringLiteral("kept")), QStringLiteral("yes"));
}

TEST_F(UserDefaultsTest, DamagedFilesAreKeptAsideAndTheStoreStartsEmpty)
{
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"garbage", QByteArray("not a property list at all")},
        {"truncated", QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><str")},
        {"array root", QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>")},
        {"binary junk", QByteArray("bplist00\xff\xff\xff\xff\x00\x01", 14)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(c.bytes);
        UserDefaults defaults(path);
        EXPECT_FALSE(defaults.object(QStringLiteral("a")).isValid());
        ASSERT_FALSE(defaults.setAsidePath().isEmpty());
        QFile aside(defaults.setAsidePath());
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), c.bytes);
        EXPECT_FALSE(QFile::exists(path));
        // The next change writes a fresh, readable file.
        defaults.set(QStringLiteral("a"), true);
        EXPECT_EQ(UserDefaults(path).boolean(QStringLiteral("a")), true);
        QFile::remove(defaults.setAsidePath());
        QFile::remove(path);
    }
}

TEST_F(UserDefaultsTest, WritesReplaceTheFileWholeAndLeaveNoTemporaryFiles)
{
    UserDefaults defaults(path);
    for (int i = 0; i < 20; ++i)
        defaults.set(QStringLiteral("k%1").arg(i), qint64(i));
    const QStringList entries = QDir(dir.filePath(QStringLiteral("settings"))).entryList(QDir::Files);
    EXPECT_EQ(entries, QStringList{QStringLiteral("com.local.ostrevane.plist")});
    EXPECT_TRUE(readFile().startsWith("<?xml"));
    EXPECT_EQ(UserDefaults(path).integer(QStringLiteral("k19")), 19);
}

TEST_F(UserDefaultsTest, AnUnwritableFolderKeepsValuesInMemory)
{
    const QString blocked = dir.filePath(QStringLiteral("file-not-folder"));
    QFile blocker(blocked);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    UserDefaults defaults(blocked + QStringLiteral("/settings.plist"));
    defaults.set(QStringLiteral("a"), true);
    EXPECT_EQ(defaults.boolean(QStringLiteral("a")), true);
}

TEST(UserDefaultsPath, FollowsXdgConfigHome)
{
    qputenv("XDG_CONFIG_HOME", "/tmp/xdg-test");
    EXPECT_EQ(UserDefaults::defaultFilePath(), QStringLiteral("/tmp/xdg-test/ostrevane/com.local.ostrevane.plist"));
    qputenv("XDG_CONFIG_HOME", "relative/ignored");
    EXPECT_EQ(UserDefaults::defaultFilePath(), QDir::homePath() + QStringLiteral("/.config/ostrevane/com.local.ostrevane.plist"));
    qunsetenv("XDG_CONFIG_HOME");
}
