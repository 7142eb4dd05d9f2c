#include "PreferencesTestKit.h"

#include "core/input/HotkeySettings.h"
#include "core/model/IgnoreFilter.h"
#include "core/shell/NotificationCenter.h"
#include "core/model/PanelSettings.h"
#include "core/input/ShortcutStore.h"
#include "support/QtPrinting.h"
#include "ui/AppearancePane.h"
#include "ui/ExceptionsPane.h"
#include "ui/PreferencesView.h"
#include "ui/PreferencesWindow.h"
#include "ui/ShortcutsPane.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace ostrevane::prefskit;

namespace {

using List = ExceptionsPane::List;

struct WindowFixture : PrefsFixture {
    int closes = 0;
    std::unique_ptr<PreferencesWindowController> window;

    void open(PreferencesPane pane = PreferencesPane::general, bool withUpdater = false)
    {
        window = std::make_unique<PreferencesWindowController>(pane, environment(withUpdater), [this] { ++closes; });
        window->show();
    }
    template <class Pane>
    Pane& pane(PreferencesPane which)
    {
        return *static_cast<Pane*>(window->pane(which));
    }
    PreferencesView& general() { return pane<PreferencesView>(PreferencesPane::general); }
    ShortcutsPane& shortcuts() { return pane<ShortcutsPane>(PreferencesPane::shortcuts); }
    AppearancePane& appearance() { return pane<AppearancePane>(PreferencesPane::appearance); }
    ExceptionsPane& exceptions() { return pane<ExceptionsPane>(PreferencesPane::exceptions); }

    void record(HotkeyRecorderView* recorder, int key, Qt::KeyboardModifiers modifiers)
    {
        QTest::mouseClick(recorder, Qt::LeftButton);
        pressKey(recorder, key, modifiers);
    }
    void typePattern(List list, const QString& text)
    {
        exceptions().patternField(list)->setText(text);
        QTest::mouseClick(exceptions().addButton(list), Qt::LeftButton);
    }
};

} // namespace

// The sidebar walking the panes is proven end to end.
TEST(PreferencesWindow, ClosingReportsOnceHoweverOftenItIsAsked)
{
    WindowFixture f;
    f.open();
    QTest::keyClick(f.window.get(), Qt::Key_W, Qt::ControlModifier);
    f.window->close();
    EXPECT_EQ(f.closes, 1);
}

TEST(PreferencesWindow, GeneralPaneWritesThroughTheOwnersAndShowsWhatTheyHold)
{
    WindowFixture f;
    f.open();
    PreferencesView& general = f.general();
    emit general.displayPicker()->activated(1);
    EXPECT_EQ(PanelSettings::display(), PanelDisplay::main);
    PanelSettings::setEdge(PanelEdge::left); // changed elsewhere: the open pane follows
    EXPECT_EQ(general.panelSidePicker()->currentIndex(), 0);

    // Recording a new chord is proven end to end; resetting it only here.
    HotkeyStore::setCurrent(HotkeyConfig{49, 0x100});
    QTest::mouseClick(general.resetHotkeyButton(), Qt::LeftButton);
    EXPECT_EQ(HotkeyStore::current(), HotkeyConfig::defaultConfig());
}

TEST(PreferencesWindow, AFailedLaunchAtLoginChangeSaysSoAndTheSwitchSpringsBack)
{
    WindowFixture f;
    f.open();
    ToggleSwitch* toggle = f.general().launchAtLoginSwitch();
    SettingsRow* row = f.general().launchAtLoginRow();
    f.runtime.desktop().loginItems.setFailure(QStringLiteral("read-only file system"));
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_FALSE(row->message()->isHidden());

    f.runtime.desktop().loginItems.setFailure(std::nullopt);
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(row->message()->isHidden());
    EXPECT_EQ(f.runtime.desktop().loginItems.registerCount(), 2);
}

TEST(PreferencesWindow, TestAsksTheBrowsersAgainAndTheRowShowsTheirAnswer)
{
    WindowFixture f;
    f.open();
    PermissionRow* row = f.general().browserTabsRow();
    f.browsers.next = BrowserTabStatus::ready(12);
    QTest::mouseClick(row->primaryButton(), Qt::LeftButton);
    EXPECT_EQ(row->state(), PermissionState::ready);
    EXPECT_EQ(f.browsers.asked, 2);
}

TEST(PreferencesWindow, UpdateControlsUseTheUpdater)
{
    WindowFixture f;
    f.open(PreferencesPane::general, true);
    QTest::mouseClick(f.general().checkNowButton(), Qt::LeftButton);
    QTest::mouseClick(f.general().automaticChecksSwitch(), Qt::LeftButton);
    EXPECT_EQ(f.updaterCalls, (QStringList{"check", "checks 1"}));
    EXPECT_TRUE(f.general().automaticChecksSwitch()->isChecked());
    EXPECT_FALSE(f.general().automaticDownloadsSwitch()->isEnabled()); // this updater has no such setting
}

TEST(PreferencesWindow, AConflictingShortcutBeepsKeepsTheOldChordAndSaysWhatItCollidesWith)
{
    WindowFixture f;
    f.open(PreferencesPane::shortcuts);
    ShortcutsPane& pane = f.shortcuts();
    f.record(pane.recorder(ShortcutAction::desktop), Qt::Key_W, Qt::AltModifier); // Option+W is Move up's
    EXPECT_EQ(f.feedback.beeps, 1);
    EXPECT_TRUE(ShortcutStore::all().empty());
    EXPECT_EQ(pane.recorder(ShortcutAction::desktop)->config(), (HotkeyConfig{12, 0x800}));
    EXPECT_EQ(pane.row(ShortcutAction::desktop)->message()->text(), QStringLiteral("Conflicts with Move up"));

    // Open selected and Search may share Return; a free chord clears the message.
    f.record(pane.recorder(ShortcutAction::search), Qt::Key_Return, Qt::NoModifier);
    f.record(pane.recorder(ShortcutAction::desktop), Qt::Key_X, Qt::MetaModifier);
    EXPECT_EQ(f.feedback.beeps, 1);
    EXPECT_EQ(ShortcutStore::all(), (ShortcutMap{{ShortcutAction::search, HotkeyConfig{36, 0}},
                                                 {ShortcutAction::desktop, HotkeyConfig{7, 0x100}}}));
    EXPECT_TRUE(pane.row(ShortcutAction::desktop)->message()->isHidden());
}

// Chords written elsewhere (the store takes any chord) that collide are marked on both rows
// until one is reset.
TEST(PreferencesWindow, ResetButtonsRemoveOneOverrideOrAllOfThemAndAnnounceIt)
{
    WindowFixture f;
    f.open(PreferencesPane::shortcuts);
    int announcements = 0;
    const auto token = f.runtime.context().notifications().addObserver(Notifications::shortcutsChanged,
                                                                       [&] { ++announcements; });
    ShortcutStore::set(HotkeyConfig{13, 0x800}, ShortcutAction::back);
    ShortcutStore::set(HotkeyConfig{2, 0x100}, ShortcutAction::enterGroup);
    EXPECT_EQ(f.shortcuts().row(ShortcutAction::back)->message()->text(), QStringLiteral("Conflicts with Move up"));
    EXPECT_EQ(f.shortcuts().row(ShortcutAction::moveUp)->message()->text(), QStringLiteral("Conflicts with Back"));
    QTest::mouseClick(f.shortcuts().resetButton(ShortcutAction::back), Qt::LeftButton);
    EXPECT_TRUE(f.shortcuts().row(ShortcutAction::moveUp)->message()->isHidden());
    EXPECT_EQ(ShortcutStore::all(), (ShortcutMap{{ShortcutAction::enterGroup, HotkeyConfig{2, 0x100}}}));
    QTest::mouseClick(f.shortcuts().resetAllButton(), Qt::LeftButton);
    EXPECT_TRUE(ShortcutStore::all().empty());
    EXPECT_EQ(f.shortcuts().recorder(ShortcutAction::enterGroup)->config(), (HotkeyConfig{2, 0x800}));
    EXPECT_EQ(announcements, 4);
    f.runtime.context().notifications().removeObserver(token);
}

TEST(PreferencesWindow, AppearanceControlsSetThePanelSettingsAndFollowChangesMadeElsewhere)
{
    WindowFixture f;
    f.open(PreferencesPane::appearance);
    AppearancePane& pane = f.appearance();
    QTest::mouseClick(pane.fontSizePicker()->button(2), Qt::LeftButton);
    QTest::mouseClick(pane.preferBrowserTabsSwitch(), Qt::LeftButton);
    EXPECT_EQ(PanelSettings::fontSize(), PanelFontSize::large);
    EXPECT_FALSE(PanelSettings::preferBrowserTabsWhenFrontmost());

    PanelSettings::setWidth(PanelWidth::wide);
    EXPECT_EQ(pane.widthPicker()->currentIndex(), 2);
}

TEST(PreferencesWindow, PatternsAreStoredWithoutSurroundingSpacesAndBlankOnesAreNotAdded)
{
    WindowFixture f;
    f.open(PreferencesPane::exceptions);
    f.typePattern(List::appPatterns, QStringLiteral(" \t^notes$  "));
    EXPECT_EQ(IgnoreFilter::ignoredAppRegex(), QStringList{QStringLiteral("^notes$")});
    EXPECT_TRUE(f.exceptions().patternField(List::appPatterns)->text().isEmpty());
    f.typePattern(List::appPatterns, QStringLiteral(" \t  "));
    EXPECT_EQ(IgnoreFilter::ignoredAppRegex(), QStringList{QStringLiteral("^notes$")});
    EXPECT_EQ(f.exceptions().patternField(List::appPatterns)->text(), QStringLiteral(" \t  ")); // left for fixing

    // Return in the field adds too; a broken pattern is the filter's business.
    QLineEdit* windows = f.exceptions().patternField(List::windowPatterns);
    windows->setText(QStringLiteral("["));
    QTest::keyClick(windows, Qt::Key_Return);
    EXPECT_EQ(IgnoreFilter::ignoredWindowRegex(), QStringList{"["});
    EXPECT_EQ(f.exceptions().rows(List::windowPatterns).size(), 1);
}

TEST(PreferencesWindow, RemovingAnEntryRewritesTheListWithoutThatOneEntry)
{
    WindowFixture f;
    IgnoreFilter::setIgnoredAppRegex({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a")});
    f.open(PreferencesPane::exceptions);
    ASSERT_EQ(f.exceptions().rows(List::appPatterns).size(), 3);
    QTest::mouseClick(f.exceptions().rows(List::appPatterns).at(2)->removeButton(), Qt::LeftButton);
    EXPECT_EQ(IgnoreFilter::ignoredAppRegex(), (QStringList{"a", "b"}));

    // The default ignored apps are shown until removed; an emptied list stays empty.
    while (!f.exceptions().rows(List::bundleIDs).isEmpty())
        QTest::mouseClick(f.exceptions().rows(List::bundleIDs).front()->removeButton(), Qt::LeftButton);
    EXPECT_TRUE(IgnoreFilter::ignoredAppBundleIDs().isEmpty());
    EXPECT_TRUE(f.runtime.defaults().object(IgnoreFilter::appBundleIDsKey).isValid());
}

TEST(PreferencesWindow, AddAppIgnoresTheChosenApplicationOnce)
{
    QTemporaryDir apps;
    QFile entry(apps.filePath(QStringLiteral("org.example.Notes.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Notes\nExec=notes\n");
    entry.close();
    WindowFixture f;
    f.useLinuxProfile(apps.path());
    IgnoreFilter::setIgnoredAppBundleIDs({});
    QStringList chosen{entry.fileName(), entry.fileName(), QString()};
    QString startedIn;
    PreferencesEnvironment env = f.environment();
    env.chooseApplication = [&](QWidget*, const QString& folder) {
        startedIn = folder;
        return chosen.takeFirst();
    };
    PreferencesWindowController window(PreferencesPane::exceptions, env, [] {});
    auto* pane = static_cast<ExceptionsPane*>(window.pane(PreferencesPane::exceptions));
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(pane->addButton(List::bundleIDs), Qt::LeftButton);
    EXPECT_EQ(IgnoreFilter::ignoredAppBundleIDs(), QStringList{QStringLiteral("org.example.Notes")});
    EXPECT_EQ(startedIn, apps.path()); // where the applications are
}
