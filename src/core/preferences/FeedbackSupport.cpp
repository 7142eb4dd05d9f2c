#include "core/preferences/FeedbackSupport.h"

#include "core/sources/BrowserTabStatus.h"
#include "core/input/HotkeySettings.h"
#include "core/model/Localization.h"
#include "core/model/PanelSettings.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/platform/Accessibility.h"
#include "core/platform/SystemInfo.h"

#include <QStringList>

namespace ostrevane {

namespace {

// How long each browser may take to answer the status scripts.
constexpr double kStatusTimeoutSeconds = 2.0;

QString orUnknown(const std::optional<QString>& value) { return value.value_or(QStringLiteral("unknown")); }

QString grantedOrMissing(bool granted) { return granted ? QStringLiteral("granted") : QStringLiteral("missing"); }

QString namesOrNone(const QStringList& names)
{
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

QString versionNumber(const SystemInfo::OSVersion& v)
{
    return QStringLiteral("%1.%2.%3").arg(v.major).arg(v.minor).arg(v.patch);
}

// Lines 2 to 6: this build and the system it runs on.
QStringList programLines(const RuntimeContext& context)
{
    const SystemInfo& system = context.systemInfo();
    const SystemInfo::BundleInfo bundle = system.mainBundle();
    return {
        QStringLiteral("Version: %1 (%2)").arg(orUnknown(bundle.shortVersion), orUnknown(bundle.buildVersion)),
        QStringLiteral("Bundle ID: ") + orUnknown(bundle.identifier),
        context.profile().osName + QStringLiteral(": ") + versionNumber(system.osVersion()),
        QStringLiteral("Architecture: ") + FeedbackSupport::machineArchitecture(),
        QStringLiteral("Language: ") + AppLanguages::rawValue(Localization::shared().language()),
    };
}

// Lines 7 to 12: permissions and how far browser tabs can be read.
QStringList accessLines(const RuntimeContext& context, const ProbeResult& probe)
{
    const QString status = FeedbackSupport::browserTabStatusText();
    return {
        QStringLiteral("Accessibility: ") + grantedOrMissing(context.accessibility().isProcessTrusted()),
        QStringLiteral("Screen Recording: ") + grantedOrMissing(context.systemInfo().screenCaptureAllowed()),
        QStringLiteral("Browser Tab Status: ") + status,
        QStringLiteral("Running Supported Browsers: ") + namesOrNone(probe.runningBrowsers),
        QStringLiteral("Browser Automation Ready: ") + namesOrNone(probe.automationReady),
        QStringLiteral("Browser Automation Blocked: ") + namesOrNone(probe.automationBlocked),
    };
}

// Lines 13 to 18: the chord and the panel settings, as stored raw values.
QStringList settingsLines()
{
    return {
        QStringLiteral("Activation Hotkey: ") + HotkeyStore::current().displayString(),
        QStringLiteral("Panel Edge: ") + PanelEdges::rawValue(PanelSettings::edge()),
        QStringLiteral("Panel Display: ") + PanelDisplays::rawValue(PanelSettings::display()),
        QStringLiteral("Panel Width: ") + PanelWidths::rawValue(PanelSettings::width()),
        QStringLiteral("Font Size: ") + PanelFontSizes::rawValue(PanelSettings::fontSize()),
        QStringLiteral("Shows Apps Without Windows: ")
            + (PanelSettings::showAppsWithoutWindows() ? QStringLiteral("true") : QStringLiteral("false")),
    };
}

} // namespace

#ifndef OSTREVANE_ISSUES_URL
#define OSTREVANE_ISSUES_URL ""
#endif

const QUrl& FeedbackSupport::issuesURL()
{
    static const QUrl url = parseIssuesURL(QStringLiteral(OSTREVANE_ISSUES_URL));
    return url;
}

QUrl FeedbackSupport::parseIssuesURL(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (url.isValid() && (url.scheme() == u"https" || url.scheme() == u"http") && !url.host().isEmpty())
        return url;
    if (!text.trimmed().isEmpty())
        qWarning("Ostrevane: the issue tracker address \"%s\" is not a web address; reports cannot be opened",
                 qUtf8Printable(text));
    return {};
}

QString FeedbackSupport::diagnosticsText()
{
    RuntimeContext& context = RuntimeContext::current();
    QStringList lines{QStringLiteral("Ostrevane Diagnostics")};
    const ProbeResult probe = context.browserStatus().probeAutomationForRunningBrowsers();
    lines << programLines(context) << accessLines(context, probe) << settingsLines();
    // How each browser's tabs are reached, where the platform has more to say (Linux).
    for (const QString& detail : probe.details)
        lines << QStringLiteral("Browser Tabs Detail: ") + detail;
    return lines.join(u'\n');
}

QString FeedbackSupport::machineArchitecture() { return RuntimeContext::current().systemInfo().machineArchitecture(); }

QString FeedbackSupport::browserTabStatusText()
{
    const BrowserTabStatus status = RuntimeContext::current().browserStatus().status(kStatusTimeoutSeconds);
    switch (status.kind) {
    case BrowserTabStatus::Kind::ready:
        return QStringLiteral("ready (%1 tabs)").arg(status.count);
    case BrowserTabStatus::Kind::degraded:
        return QStringLiteral("degraded (%1 fallback tabs): ").arg(status.count) + status.reasonText();
    case BrowserTabStatus::Kind::blocked:
        return QStringLiteral("blocked: ") + status.reasonText();
    case BrowserTabStatus::Kind::unavailable:
        break;
    }
    return QStringLiteral("unavailable");
}

} // namespace ostrevane
