#include "platform/x11/DesktopEntryIndex.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>

namespace ostrevane {
namespace {

class DesktopEntryIndexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        write(QStringLiteral("chromium.desktop"), QStringLiteral("Name=Chromium\nExec=/usr/bin/chromium %U\n"));
        write(QStringLiteral("org.gnome.Nautilus.desktop"), QStringLiteral("Name=Files\nExec=nautilus --new-window\n"));
        write(QStringLiteral("code.desktop"), QStringLiteral("Name=Code\nExec=/usr/share/code/code\nStartupWMClass=Code\n"));
        write(QStringLiteral("debian-xterm.desktop"), QStringLiteral("Name=XTerm\nExec=xterm\n"));
        write(QStringLiteral("tool.desktop"), QStringLiteral("Name=Tool\nExec=python3 /opt/tool/main.py\n"));
    }

    void write(const QString& name, const QString& keys)
    {
        QFile file(m_dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(("[Desktop Entry]\nType=Application\n" + keys).toUtf8());
    }

    QTemporaryDir m_dir;
};

TEST_F(DesktopEntryIndexTest, MatchesRunningProgramsByClassIdOrExecutable)
{
    DesktopEntryIndex index({m_dir.path()});
    const struct {
        const char* name;
        ProgramIdentity program;
        std::optional<QString> id;
    } rows[] = {
        {"StartupWMClass", {QStringLiteral("code"), QStringLiteral("Code"), QStringLiteral("/usr/share/code/code")},
         QStringLiteral("code")},
        {"id against the class, any case", {QStringLiteral("chromium"), QStringLiteral("Chromium"), {}},
         QStringLiteral("chromium")},
        {"a profile folder in the instance", {QStringLiteral("chromium (/tmp/p)"), QStringLiteral("Other"), {}},
         QStringLiteral("chromium")},
        {"last part of a reverse-domain id", {QStringLiteral("org.gnome.Nautilus"), QStringLiteral("Nautilus"), {}},
         QStringLiteral("org.gnome.Nautilus")},
        {"the executable", {QStringLiteral("xterm"), QStringLiteral("XTerm"), QStringLiteral("/usr/bin/xterm")},
         QStringLiteral("debian-xterm")},
        {"an interpreter names nothing", {QStringLiteral("main.py"), QStringLiteral("Main.py"),
                                          QStringLiteral("/usr/bin/python3")},
         std::nullopt},
    };
    for (const auto& row : rows) {
        const std::optional<DesktopEntry> entry = index.match(row.program);
        EXPECT_EQ(entry ? std::optional(entry->id) : std::nullopt, row.id) << row.name;
    }
}

TEST_F(DesktopEntryIndexTest, AProgramWithoutAnEntryIsNamedByItsWindowClass)
{
    const struct {
        ProgramIdentity program;
        std::optional<QString> id;
    } rows[] = {
        {{QStringLiteral("tool (/tmp/p)"), QString(), QStringLiteral("/opt/tool")}, QStringLiteral("tool")},
        {{QString(), QString(), QStringLiteral("/opt/bin/viewer")}, QStringLiteral("viewer")},
        {{QString(), QString(), QString()}, std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DesktopEntryIndex::windowClassName(row.program), row.id) << row.program.instance.toStdString();
}

// The user's own folder comes first; a copy there that hides the program takes the
// system's entry away from matching as well as from the list.
TEST_F(DesktopEntryIndexTest, AUserEntryThatHidesAProgramMasksTheSystemEntry)
{
    QTemporaryDir user;
    QFile hidden(user.filePath(QStringLiteral("code.desktop")));
    ASSERT_TRUE(hidden.open(QIODevice::WriteOnly));
    hidden.write("[Desktop Entry]\nType=Application\nName=Code\nExec=/usr/share/code/code\nNoDisplay=true\n");
    hidden.close();
    DesktopEntryIndex index({user.path(), m_dir.path()});

    EXPECT_FALSE(index.entry(QStringLiteral("code")));
    EXPECT_FALSE(index.match({QStringLiteral("code"), QStringLiteral("Code"), QStringLiteral("/usr/share/code/code")}));
    EXPECT_TRUE(index.entry(QStringLiteral("chromium")));
}

TEST_F(DesktopEntryIndexTest, SeesEntriesAddedAfterTheFirstRead)
{
    DesktopEntryIndex index({m_dir.path()});
    ASSERT_FALSE(index.entry(QStringLiteral("late")));

    write(QStringLiteral("late.desktop"), QStringLiteral("Name=Late\nExec=late\n"));
    // File systems stamp times coarsely: move the folder's time on so that it surely differs.
    const timespec later[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + 5, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(m_dir.path()).constData(), later, 0), 0);

    const std::optional<DesktopEntry> entry = index.entry(QStringLiteral("late"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, QStringLiteral("Late"));
}

} // namespace
} // namespace ostrevane
