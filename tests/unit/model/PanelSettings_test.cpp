#include "core/model/PanelSettings.h"

#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

// Every setting as it reads now: edge, width, font size, display and the two switches.
QStringList currentSettings()
{
    return {PanelEdges::rawValue(PanelSettings::edge()),
            PanelWidths::rawValue(PanelSettings::width()),
            PanelFontSizes::rawValue(PanelSettings::fontSize()),
            PanelDisplays::rawValue(PanelSettings::display()),
            PanelSettings::showAppsWithoutWindows() ? "shows apps" : "hides apps",
            PanelSettings::preferBrowserTabsWhenFrontmost() ? "prefers tabs" : "no tabs first"};
}

} // namespace

TEST(PanelSettings, UnknownOrWrongTypedValuesReadAsTheDefaults)
{
    const std::pair<const char*, QVariant> rows[] = {
        {"Ostrevane.PanelEdge", QStringLiteral("Left")},
        {"Ostrevane.ShowAppsWithoutWindows", qint64(0)},
    };
    for (const auto& [key, stored] : rows) {
        TestRuntime runtime;
        runtime.defaults().set(QString::fromLatin1(key), stored);
        EXPECT_EQ(currentSettings(),
                  (QStringList{"right", "normal", "normal", "pointer", "shows apps", "prefers tabs"}))
            << key;
        // Reading never repairs the stored value.
        EXPECT_EQ(runtime.defaults().object(QString::fromLatin1(key)), stored) << key;
    }
}
