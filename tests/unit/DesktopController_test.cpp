#include "core/DesktopController.h"

#include "support/TestRuntime.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

QStringList minimisedTitles(TestRuntime& rt)
{
    QStringList result;
    for (const SimAccessibility::BoolWrite& write : rt.accessibility.boolWrites()) {
        const auto* element = static_cast<const SimElement*>(write.element.get());
        result << QStringLiteral("%1 %2=%3").arg(element->label(), write.attribute, write.value ? "true" : "false");
    }
    return result;
}

} // namespace

TEST(DesktopController, HidesRegularAppsButNotAgentsUnbundledProcessesOrItself)
{
    TestRuntime rt;
    SimDesktop& desktop = rt.desktop();
    const ProcessID notes = desktop.launch(QStringLiteral("com.apple.Notes"), QStringLiteral("Notes"));
    desktop.launch(QStringLiteral("com.example.agent"), QStringLiteral("Agent"), ActivationPolicy::accessory);
    desktop.launch(QStringLiteral("com.example.daemon"), QStringLiteral("Daemon"), ActivationPolicy::prohibited);
    desktop.launchWithoutBundle(QStringLiteral("xterm"));
    const ProcessID self = desktop.launch(QStringLiteral("com.local.ostrevane"), QStringLiteral("Ostrevane"));
    desktop.openWindow(self, QStringLiteral("Settings"));
    const ProcessID mail = desktop.launch(QStringLiteral("com.apple.mail"), QStringLiteral("Mail"));

    DesktopController::showDesktop();

    EXPECT_EQ(desktop.workspace.log(), (QStringList{QStringLiteral("hide %1").arg(notes), QStringLiteral("hide %1").arg(mail)}));
    EXPECT_TRUE(rt.accessibility.boolWrites().empty());
}

TEST(DesktopController, MinimisesEveryFinderWindowInsteadOfHidingFinder)
{
    TestRuntime rt;
    SimDesktop& desktop = rt.desktop();
    const ProcessID finder = desktop.launch(QStringLiteral("com.apple.finder"), QStringLiteral("Finder"));
    desktop.openWindow(finder, QStringLiteral("Documents"));
    desktop.openWindow(finder, QStringLiteral("Downloads"), {.minimized = true});

    DesktopController::showDesktop();

    EXPECT_TRUE(desktop.workspace.log().isEmpty());
    EXPECT_EQ(minimisedTitles(rt), (QStringList{"Documents AXMinimized=true", "Downloads AXMinimized=true"}));
    EXPECT_TRUE(rt.accessibility.actions().empty());
}

TEST(DesktopController, HidesFinderWhenItsWindowListCannotBeRead)
{
    TestRuntime rt;
    SimDesktop& desktop = rt.desktop();
    const ProcessID finder = desktop.launch(QStringLiteral("com.apple.finder"), QStringLiteral("Finder"));
    desktop.openWindow(finder, QStringLiteral("Documents"));
    desktop.makeWindowsUnreadable(finder);

    DesktopController::showDesktop();

    EXPECT_EQ(desktop.workspace.log(), (QStringList{QStringLiteral("hide %1").arg(finder)}));
    EXPECT_TRUE(rt.accessibility.boolWrites().empty());
}
