#include "core/preferences/PreferencesPane.h"

#include "support/QtPrinting.h"

#include <gtest/gtest.h>

using namespace ostrevane;

TEST(PreferencesPane, NamesFromTheCommandLineIgnoreCaseAndSurroundingSpacesOnly)
{
    EXPECT_EQ(PreferencesPanes::fromRawValue(QStringLiteral("Shortcuts")), PreferencesPane::shortcuts);
    EXPECT_EQ(PreferencesPanes::fromRawValue(QStringLiteral(" FEEDBACK\n")), PreferencesPane::feedback);
    EXPECT_EQ(PreferencesPanes::fromRawValue(QStringLiteral("exception")), std::nullopt);
    EXPECT_EQ(PreferencesPanes::fromRawValue(QStringLiteral("appear ance")), std::nullopt);
}
