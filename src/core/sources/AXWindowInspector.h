#pragma once

#include "core/platform/Accessibility.h"

namespace ostrevane {

// Window inspection shared by closing, the row view and activation.
namespace AXWindowInspector {
// The window's close button, unless it is missing or reads as disabled. A button
// whose "AXEnabled" cannot be read counts as enabled.
AXElement closeButton(Accessibility& accessibility, const AXElement& window);
// Presses that button ("AXPress"); nothing when there is none.
void pressCloseButton(Accessibility& accessibility, const AXElement& window);
} // namespace AXWindowInspector

} // namespace ostrevane
