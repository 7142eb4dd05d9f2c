#include "core/sources/AXWindowInspector.h"

namespace ostrevane {

AXElement AXWindowInspector::closeButton(Accessibility& accessibility, const AXElement& window)
{
    if (!window)
        return nullptr;
    AXElement button = accessibility.copyElement(window, AX::closeButton);
    if (!button)
        return nullptr;
    if (accessibility.copyBool(button, AX::enabled) == false)
        return nullptr;
    return button;
}

void AXWindowInspector::pressCloseButton(Accessibility& accessibility, const AXElement& window)
{
    if (const AXElement button = closeButton(accessibility, window))
        accessibility.perform(button, AX::press);
}

} // namespace ostrevane
