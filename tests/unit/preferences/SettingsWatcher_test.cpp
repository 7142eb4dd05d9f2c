#include "core/preferences/SettingsWatcher.h"

#include "core/input/HotkeySettings.h"
#include "core/model/Localization.h"
#include "core/shell/NotificationCenter.h"
#include "core/model/PanelSettings.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

class SettingsWatcherTest : public ::testing::Test {
protected:
    TestRuntime rt;
    SettingsWatcher watcher{{rt.defaults(), rt.desktop().folders, rt.dispatcher(), rt.context().notifications(),
                             Localization::shared()}};
    QStringList posted;

    void SetUp() override
    {
        for (const QString& name : {Notifications::hotkeyChanged, Notifications::panelSettingsChanged,
                                    Notifications::languageChanged, Notifications::shortcutsChanged,
                                    Notifications::ignoreFilterChanged})
            rt.context().notifications().addObserver(name, [this, name] { posted.append(name); });
    }

    QString folder() const { return QFileInfo(rt.settingsPath()).absolutePath(); }

    // Another program saves the settings with one value changed, as an editor would.
    void editByHand(const QString& key, const QVariant& value)
    {
        UserDefaults elsewhere(rt.settingsPath());
        elsewhere.set(key, value);
        rt.desktop().folders.change(folder());
    }
};

} // namespace

TEST_F(SettingsWatcherTest, AHandEditAppliesOnceTheFolderIsQuietAndPostsWhatItsListenersNeed)
{
    ASSERT_TRUE(watcher.isWatching());
    EXPECT_TRUE(rt.desktop().folders.watchedFolders().contains(folder()));

    editByHand(PanelSettings::edgeKey, QStringLiteral("left"));
    rt.advance(SettingsWatcher::settleDelay / 2);
    editByHand(HotkeyStore::defaultsKey, HotkeyConfig{49, 0x800}.encode());
    editByHand(Localization::defaultsKey, QStringLiteral("simplifiedChinese"));
    rt.advance(SettingsWatcher::settleDelay / 2);
    EXPECT_TRUE(posted.isEmpty()) << "a save in progress is not read yet";

    rt.advance(SettingsWatcher::settleDelay);

    EXPECT_EQ(PanelSettings::edge(), PanelEdge::left);
    EXPECT_EQ(HotkeyStore::current(), (HotkeyConfig{49, 0x800}));
    EXPECT_EQ(Localization::shared().language(), AppLanguage::simplifiedChinese);
    EXPECT_EQ(posted, (QStringList{Notifications::languageChanged, Notifications::hotkeyChanged,
                                   Notifications::panelSettingsChanged}));
}

TEST_F(SettingsWatcherTest, OurOwnWritesLeadToNothing)
{
    PanelSettings::setEdge(PanelEdge::left);
    posted.clear();
    rt.desktop().folders.change(folder());
    rt.advance(1.0);
    EXPECT_TRUE(posted.isEmpty());
}

TEST_F(SettingsWatcherTest, ABrokenSaveKeepsTheSettingsInUse)
{
    PanelSettings::setEdge(PanelEdge::left);
    posted.clear();
    QFile file(rt.settingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\"?><plist><dict><key>Ostrevane.PanelEdge</key>");
    file.close();
    rt.desktop().folders.change(folder());
    rt.advance(1.0);

    EXPECT_EQ(PanelSettings::edge(), PanelEdge::left);
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_TRUE(QFile::exists(rt.defaults().setAsidePath()));
}
