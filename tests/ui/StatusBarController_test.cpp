#include "PreferencesTestKit.h"

#include "core/model/Localization.h"
#include "core/shell/NotificationCenter.h"
#include "ui/OstrevaneMenuBarIcon.h"
#include "ui/PreferencesWindow.h"
#include "ui/StatusBarController.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace ostrevane::prefskit;

namespace {

class FakeTrayHosts : public TrayHosts {
public:
    Kind now = Kind::none;
    std::function<void(Kind)> appeared;

    Kind current() override { return now; }
    void watch(std::function<void(Kind)> callback) override { appeared = std::move(callback); }
    void appear(Kind kind)
    {
        now = kind;
        appeared(kind);
    }
};

struct TrayFixture : PrefsFixture {
    FakeTrayHosts hosts;
    int quits = 0;
    std::unique_ptr<StatusBarController> controller;

    void start(TrayHosts::Kind kind = TrayHosts::Kind::none)
    {
        hosts.now = kind;
        StatusBarController::Environment env;
        env.preferences = environment();
        env.hosts = &hosts;
        env.quit = [this] { ++quits; };
        controller = std::make_unique<StatusBarController>(std::move(env));
    }
    QAction* command(int index) const { return controller->menu()->actions().at(index); }
    int posts(const QString& name, const std::function<void()>& act)
    {
        int count = 0;
        NotificationCenter& center = runtime.context().notifications();
        const auto token = center.addObserver(name, [&] { ++count; });
        act();
        center.removeObserver(token);
        return count;
    }
};

} // namespace

// The labels and the Feedback command are seen end to end through a tray; the other
// commands reach the program only through their notifications.
TEST(StatusBarController, CommandsPostTheirNotificationsOrQuitAndFollowTheLanguage)
{
    TrayFixture f;
    f.start();
    EXPECT_EQ(f.posts(Notifications::triggerForward, [&] { f.command(0)->trigger(); }), 1);
    EXPECT_EQ(f.posts(Notifications::showGuide, [&] { f.command(4)->trigger(); }), 1);
    f.command(7)->trigger();
    EXPECT_EQ(f.quits, 1);
    EXPECT_FALSE(f.command(5)->isEnabled()); // no updater in this build

    const QString english = f.command(2)->text();
    Localization::shared().setLanguage(AppLanguage::simplifiedChinese);
    EXPECT_NE(f.command(2)->text(), english);
}

TEST(StatusBarController, FeedbackSwitchesTheOpenWindowAndClosingForgetsIt)
{
    TrayFixture f;
    f.start();
    f.command(2)->trigger();
    PreferencesWindowController* window = f.controller->preferences();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->selection(), PreferencesPane::general);
    EXPECT_TRUE(window->isVisible());

    f.command(3)->trigger();
    EXPECT_EQ(f.controller->preferences(), window);
    EXPECT_EQ(window->selection(), PreferencesPane::feedback);

    window->close();
    EXPECT_EQ(f.controller->preferences(), nullptr);
    f.controller->openPreferences(PreferencesPane::exceptions);
    ASSERT_NE(f.controller->preferences(), nullptr);
    EXPECT_EQ(f.controller->preferences()->selection(), PreferencesPane::exceptions);
}

TEST(StatusBarController, TheIconWaitsForATrayHostAndARestartedWatcherGetsANewOne)
{
    TrayFixture f;
    f.start(TrayHosts::Kind::none);
    EXPECT_EQ(f.controller->statusItem(), nullptr);

    f.hosts.appear(TrayHosts::Kind::statusNotifier);
    ASSERT_NE(f.controller->statusItem(), nullptr);
    EXPECT_EQ(f.controller->statusItemKind(), TrayHosts::Kind::statusNotifier);
    EXPECT_EQ(f.controller->statusItem()->contextMenu(), f.controller->menu());
    const QSystemTrayIcon* first = f.controller->statusItem();
    f.hosts.appear(TrayHosts::Kind::statusNotifier);
    EXPECT_NE(f.controller->statusItem(), first);

    Localization::shared().setLanguage(AppLanguage::simplifiedChinese);
    EXPECT_EQ(f.controller->statusItem()->contextMenu(), f.controller->menu());
}

TEST(StatusBarController, AnXEmbedIconStaysAsItIs)
{
    TrayFixture f;
    f.start(TrayHosts::Kind::none);
    f.hosts.appear(TrayHosts::Kind::xembed);
    ASSERT_EQ(f.controller->statusItemKind(), TrayHosts::Kind::xembed);
    const QSystemTrayIcon* icon = f.controller->statusItem();
    f.hosts.appear(TrayHosts::Kind::xembed);
    f.hosts.appear(TrayHosts::Kind::statusNotifier); // Qt keeps the kind it chose first
    EXPECT_EQ(f.controller->statusItem(), icon);
}

// Straight strokes fall on whole device pixels at every tray size, so none is blurred
// across two rows of half-covered pixels.
TEST(OstrevaneMenuBarIcon, StraightLinesAreSharpAtEveryTraySizeAndDensity)
{
    for (const double scale : {1.0, 2.0}) {
        for (const QSize& size : OstrevaneMenuBarIcon::standardSizes()) {
            const QPixmap pixmap = OstrevaneMenuBarIcon::make(Qt::black).pixmap(size, scale);
            const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(image.width(), qRound(size.width() * scale)) << size.width() << "@" << scale;
            // The column just left of where the three short lines end, at 19.2 of 22.
            const int x = static_cast<int>(image.width() / 2.0 + (19.2 - 11.0 - 0.6) * image.width() / 22.0);
            int solid = 0;
            int faint = 0;
            for (int y = 0; y < image.height(); ++y) {
                const int alpha = qAlpha(image.pixel(x, y));
                solid += alpha >= 250;
                faint += alpha > 12 && alpha < 250;
            }
            EXPECT_GE(solid, 4) << size.width() << "@" << scale; // the sweep's lower run and three lines
            EXPECT_LE(faint, 2) << size.width() << "@" << scale;
        }
    }
}
