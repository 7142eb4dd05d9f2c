#include "core/preferences/UserDefaults.h"

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
};

QDateTime utc(const char* iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toUTC(); }

} // namespace

// Each write replaces the file whole, leaving no temporary file behind.
TEST_F(UserDefaultsTest, EveryTypeSurvivesARestartAndIsNeverConverted)
{
    const struct {
        const char* key;
        QVariant value;
    } rows[] = {
        {"text", QStringLiteral("<Ünïcode & \"quotes\" 中文 😀>")},
        {"count", -(qint64(1) << 40)},
        {"blob", QByteArray("{\"keyCode\":48}\0x", 16)},
        {"date", utc("2026-12-06T08:53:15Z")},
        {"key with <xml> & spaces", QVariantList{}},
        {"dict", QVariantMap{{"when", utc("2026-03-04T05:06:07Z")}, {"list", QVariantList{"a", qint64(2), true}}}},
    };
    {
        UserDefaults defaults(path);
        for (const auto& row : rows)
            defaults.set(QString::fromUtf8(row.key), row.value);
        defaults.set(QStringLiteral("ms"), QDateTime::fromMSecsSinceEpoch(1767225600750, Qt::UTC));
    }
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("settings"))).entryList(QDir::Files),
              QStringList{QStringLiteral("com.local.ostrevane.plist")});
    UserDefaults reread(path);
    for (const auto& row : rows) {
        const QVariant value = reread.object(QString::fromUtf8(row.key));
        EXPECT_EQ(value.metaType(), row.value.metaType()) << row.key;
        EXPECT_EQ(value, row.value) << row.key;
    }
    EXPECT_EQ(reread.date(QStringLiteral("ms")), QDateTime::fromMSecsSinceEpoch(1767225600000, Qt::UTC));
    // Typed reads of another type find nothing.
    EXPECT_EQ(reread.boolean(QStringLiteral("text")), std::nullopt);
}

TEST_F(UserDefaultsTest, UnstorableOrTooLargeValuesAreRefusedWithoutLosingOtherKeys)
{
    UserDefaults defaults(path);
    defaults.set(QStringLiteral("kept"), QStringLiteral("yes"));
    defaults.set(QStringLiteral("a"), QStringLiteral("small"));
    defaults.set(QStringLiteral("bad"), QVariant::fromValue(QSize(1, 2)));
    defaults.set(QStringLiteral("nan"), std::nan(""));
    // Either would make the file too large to read back.
    defaults.set(QStringLiteral("a"), QString(UserDefaults::maxFileBytes, QLatin1Char('x')));
    defaults.set(QStringLiteral("b"), QByteArray(UserDefaults::maxFileBytes, 'x'));
    for (const char* refused : {"bad", "nan", "b"})
        EXPECT_FALSE(defaults.object(QString::fromLatin1(refused)).isValid()) << refused;
    EXPECT_EQ(defaults.string(QStringLiteral("a")), QStringLiteral("small"));
    UserDefaults reread(path);
    EXPECT_EQ(reread.string(QStringLiteral("kept")), QStringLiteral("yes"));
    EXPECT_EQ(reread.string(QStringLiteral("a")), QStringLiteral("small"));
    EXPECT_TRUE(reread.setAsidePath().isEmpty());
}

TEST_F(UserDefaultsTest, DamagedFilesAreKeptAsideAndTheStoreStartsEmpty)
{
    // The deep one overflowed the parser's stack (every kind of nesting is counted by the
    // input limits); the large one cost three times its size.
    const QByteArray prolog("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>");
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"truncated", QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><str")},
        {"50,000 arrays", prolog + QByteArray("<array>").repeated(50000) + QByteArray("</array>").repeated(50000)
                              + "</dict></plist>"},
        {"a string past the size limit",
         prolog + "<string>" + QByteArray(UserDefaults::maxFileBytes, 'x') + "</string></dict></plist>"},
    };
    for (const auto& c : cases) {
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

// Another program (an editor, a second copy) writes the file as a whole.
class OutsideEdits : public UserDefaultsTest {
protected:
    void writeElsewhere(const QVariantMap& values)
    {
        writeFile(*PropertyList::toXml(QVariant(values)));
    }
};

TEST_F(OutsideEdits, AWriteOfOursNeverDropsAnOutsideEditItHasNotSeen)
{
    UserDefaults defaults(path);
    defaults.set(QStringLiteral("edge"), QStringLiteral("right"));
    writeElsewhere({{QStringLiteral("edge"), QStringLiteral("left")}});

    defaults.set(QStringLiteral("recency"), qint64(7)); // before the folder's change is handled

    UserDefaults reread(path);
    EXPECT_EQ(reread.string(QStringLiteral("edge")), QStringLiteral("left"));
    EXPECT_EQ(reread.integer(QStringLiteral("recency")), 7);
    EXPECT_EQ(defaults.reload(), QStringList{QStringLiteral("edge")}) << "still reported to the listeners";
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
