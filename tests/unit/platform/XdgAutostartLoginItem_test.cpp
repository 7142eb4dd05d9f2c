#include "platform/qt/XdgAutostartLoginItem.h"

#include "core/sources/DesktopEntryReader.h"
#include "support/QtPrinting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

struct AutostartFolders {
    QTemporaryDir root;
    XdgAutostartLoginItem::Setup setup;

    AutostartFolders()
    {
        setup.desktopID = QStringLiteral("com.local.ostrevane");
        setup.name = QStringLiteral("Ostrevane");
        setup.executable = root.filePath(QStringLiteral("Program Files/$HOME\\ostrevane 100%"));
        setup.userFolder = root.filePath(QStringLiteral("config/autostart"));
        setup.systemFolders = {root.filePath(QStringLiteral("etc/xdg/autostart"))};
    }
    QString userEntry() const { return setup.userFolder + QStringLiteral("/com.local.ostrevane.desktop"); }
    void writeSystemEntry(const QString& extra)
    {
        QDir().mkpath(setup.systemFolders.front());
        QFile file(setup.systemFolders.front() + QStringLiteral("/com.local.ostrevane.desktop"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("[Desktop Entry]\nType=Application\nName=Ostrevane\nExec=ostrevane\n" + extra).toUtf8());
    }
    std::optional<DesktopEntry> readUserEntry() const { return DesktopEntryReader(QStringList{}).parse(userEntry()); }
};

} // namespace

TEST(XdgAutostartLoginItem, EnablingWritesAnEntryThatStartsThisVeryBinaryAfterThePanel)
{
    AutostartFolders f;
    XdgAutostartLoginItem item(f.setup);
    EXPECT_FALSE(item.isEnabled());
    ASSERT_EQ(item.registerItem(), std::nullopt);
    EXPECT_TRUE(item.isEnabled());

    const std::optional<DesktopEntry> entry = f.readUserEntry();
    ASSERT_TRUE(entry.has_value());
    // The path has a space, a dollar, a backslash and a percent sign: quoted and escaped, it
    // reads back whole.
    EXPECT_EQ(DesktopEntryReader::command(entry->exec), QStringList{f.setup.executable});
    EXPECT_EQ(entry->tryExec, f.setup.executable);
    QFile file(f.userEntry());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("\nX-GNOME-Autostart-Delay=2\n"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("\nX-KDE-autostart-after=panel\n"))) << qPrintable(text);
}

TEST(XdgAutostartLoginItem, AHiddenEntryIsOffAndDisablingRemovesOurEntry)
{
    AutostartFolders f;
    XdgAutostartLoginItem item(f.setup);
    ASSERT_EQ(item.registerItem(), std::nullopt);
    QFile file(f.userEntry());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("Hidden=true\n");
    file.close();
    EXPECT_FALSE(item.isEnabled());

    ASSERT_EQ(item.registerItem(), std::nullopt); // rewrites it switched on
    EXPECT_TRUE(item.isEnabled());
    ASSERT_EQ(item.unregisterItem(), std::nullopt);
    EXPECT_FALSE(QFile::exists(f.userEntry()));
    EXPECT_FALSE(item.isEnabled());
}

TEST(XdgAutostartLoginItem, ASystemWideEntryIsSwitchedOffWithAHiddenEntryOfTheUsers)
{
    AutostartFolders f;
    f.writeSystemEntry(QString());
    XdgAutostartLoginItem item(f.setup);
    EXPECT_TRUE(item.isEnabled());
    ASSERT_EQ(item.unregisterItem(), std::nullopt);
    EXPECT_FALSE(item.isEnabled());
    ASSERT_TRUE(f.readUserEntry().has_value());
    EXPECT_TRUE(f.readUserEntry()->hidden);

    ASSERT_EQ(item.registerItem(), std::nullopt);
    EXPECT_TRUE(item.isEnabled());
}

TEST(XdgAutostartLoginItem, AnUnwritableFolderFailsWithAReasonAndChangesNothing)
{
    AutostartFolders f;
    // A file where the folder should be defeats even root, who ignores permissions.
    QDir().mkpath(f.root.filePath(QStringLiteral("config")));
    QFile blocker(f.setup.userFolder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    XdgAutostartLoginItem item(f.setup);
    EXPECT_TRUE(item.registerItem().has_value());
    EXPECT_FALSE(item.isEnabled());
    EXPECT_EQ(item.location(), f.setup.userFolder); // not under the home folder: shown as it is
}
