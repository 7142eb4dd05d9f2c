#include "core/shell/LoginItemController.h"

#include "core/model/Localization.h"
#include "core/shell/RuntimeContext.h"
#include "core/platform/SystemServices.h"

namespace ostrevane {

namespace {

LoginItemService& service() { return RuntimeContext::current().loginItems(); }

} // namespace

bool LoginItemController::isEnabled() { return service().isEnabled(); }

std::optional<QString> LoginItemController::setEnabled(bool enabled)
{
    LoginItemService& items = service();
    if (items.isEnabled() == enabled)
        return std::nullopt;
    std::optional<QString> failure = enabled ? items.registerItem() : items.unregisterItem();
    if (failure)
        qWarning("Ostrevane: could not %s the login item: %s", enabled ? "register" : "remove",
                 qUtf8Printable(*failure));
    return failure;
}

QString LoginItemController::failureMessage()
{
    const QString folder = service().location();
    if (folder.isEmpty())
        return Localization::shared().string(
            QT_TRANSLATE_NOOP("Ostrevane", "Could not update login item. Move Ostrevane to Applications and try again."));
    // Where the item is a file of ours, the usual cause is a folder that cannot be written.
    return Localization::shared().format(
        QT_TRANSLATE_NOOP("Ostrevane", "Could not update login item. Check that %@ can be written and try again."),
        {folder});
}

} // namespace ostrevane
