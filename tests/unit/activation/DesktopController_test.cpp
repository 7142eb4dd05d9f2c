#include "core/activation/DesktopController.h"

#include "support/TestRuntime.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace ostrevane;

TEST(DesktopController, MinimisesEveryFinderWindowInsteadOfHidingFinderUnlessItsWindowsCannotBeRead)
{
    for (const bool readable : {true, false}) {
        SCOPED_TRACE(readable ? "readable" : "unreadable");
        TestRuntime rt;
        SimDesktop& desktop = rt.desktop();
        const ProcessID finder = desktop.launch(QStringLiteral("com.apple.finder"), QStringLiteral("Finder"));
        desktop.openWindow(finder, QStringLiteral("Documents"));
        desktop.openWindow(finder, QStringLiteral("Downloads"), {.minimized = true});
        if (!readable)
            desktop.makeWindowsUnreadable(finder);

        DesktopController::showDesktop();

        QStringList minimised;
        for (const SimAccessibility::BoolWrite& write : rt.accessibility.boolWrites())
            minimised << static_cast<const SimElement*>(write.element.get())->label() + ' ' + write.attribute + '='
                    + (write.value ? "true" : "false");
        EXPECT_EQ(minimised, (readable ? QStringList{"Documents AXMinimized=true", "Downloads AXMinimized=true"}
                                       : QStringList{}));
        EXPECT_EQ(desktop.workspace.log(), (readable ? QStringList{} : QStringList{QString("hide %1").arg(finder)}));
        EXPECT_TRUE(rt.accessibility.actions().empty());
    }
}
