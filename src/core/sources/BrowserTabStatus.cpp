#include "core/sources/BrowserTabStatus.h"

#include "core/shell/AppDelegate.h"
#include "core/model/Localization.h"

namespace ostrevane {

QString BrowserTabStatus::reasonText() const { return Localization::fill(reason, reasonArguments); }

QString BrowserTabStatus::localizedReason() const
{
    return Localization::fill(Localization::shared().string(reason), reasonArguments);
}

bool BrowserStatusProbe::canOpenSettings(const BrowserTabStatus&) const { return true; }

void BrowserStatusProbe::openSettings(const BrowserTabStatus&) { openPrivacyPane(QStringLiteral("Privacy_Automation")); }

} // namespace ostrevane
