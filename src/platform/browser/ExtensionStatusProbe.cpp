#include "platform/browser/ExtensionStatusProbe.h"

#include "core/sources/BrowserTabEnumerator.h"
#include "core/model/Localization.h"
#include "core/shell/RuntimeContext.h"
#include "core/platform/BrowserAutomation.h"
#include "core/platform/Workspace.h"
#include "platform/browser/ExtensionBrowserAutomation.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace ostrevane {

namespace {

const char* packagingName(BrowserPackaging packaging)
{
    return packaging == BrowserPackaging::snap ? "Snap" : "Flatpak";
}

// "~/..." rather than the user's name.
QString homeRelative(const QString& path, const QString& home)
{
    return path.startsWith(home + QLatin1Char('/')) ? QStringLiteral("~") + path.mid(home.size()) : path;
}

std::optional<int> tabsByExtension(const BrowserSpec& browser, double timeoutSeconds)
{
    const std::optional<std::vector<BrowserTabRow>> rows =
        RuntimeContext::current().browserAutomation().listTabs(browser, timeoutSeconds);
    return rows ? std::optional<int>(static_cast<int>(rows->size())) : std::nullopt;
}

} // namespace

ExtensionStatusProbe::ExtensionStatusProbe(Options options) : m_options(std::move(options))
{
    if (!m_options.launch)
        m_options.launch = [](const QString& program, const QStringList& arguments) {
            return QProcess::startDetached(program, arguments);
        };
}

BrowserPackaging ExtensionStatusProbe::runningPackaging(const BrowserSpec& browser,
                                                        const std::optional<RunningBrowser>& running) const
{
    // A confined browser runs from its sandbox's own files.
    const QString executable = running && running->app ? running->app->executablePath.value_or(QString()) : QString();
    if (executable.startsWith(QLatin1String("/snap/")))
        return BrowserPackaging::snap;
    if (executable.startsWith(QLatin1String("/app/")))
        return BrowserPackaging::flatpak;
    const BrowserPackaging installed = NativeHostManifests::packaging(browser, m_options.machine);
    return installed == BrowserPackaging::absent ? BrowserPackaging::native : installed;
}

const char* ExtensionStatusProbe::reasonFor(const BrowserSpec& browser, const std::optional<RunningBrowser>& running,
                                            bool titlesOnly) const
{
    switch (runningPackaging(browser, running)) {
    case BrowserPackaging::snap:
        return BrowserTabStatusReason::snapSandbox;
    case BrowserPackaging::flatpak:
        return BrowserTabStatusReason::flatpakSandbox;
    case BrowserPackaging::absent:
    case BrowserPackaging::native:
        break;
    }
    return titlesOnly ? BrowserTabStatusReason::limitedTitlesInstallExtension : BrowserTabStatusReason::installExtension;
}

QString ExtensionStatusProbe::missingExtensionReason(const BrowserSpec& browser) const
{
    const char* reason = reasonFor(browser, BrowserTabEnumerator::runningBrowser(browser), false);
    return Localization::fill(QString::fromUtf8(reason), {browser.name});
}

BrowserTabStatus ExtensionStatusProbe::status(double timeoutSeconds)
{
    const std::vector<BrowserSpec> running = BrowserTabEnumerator::runningSpecs();
    if (running.empty())
        return BrowserTabStatus::unavailable();
    int count = 0;
    std::optional<BrowserSpec> left;
    for (const BrowserSpec& browser : running) {
        const std::optional<int> tabs = tabsByExtension(browser, timeoutSeconds);
        count += tabs.value_or(0);
        if (!tabs && !left)
            left = browser;
    }
    if (!left)
        return BrowserTabStatus::ready(count);
    const std::optional<RunningBrowser> browser = BrowserTabEnumerator::runningBrowser(*left);
    const QStringList name{left->name};
    if (count > 0)
        return BrowserTabStatus::degraded(count, reasonFor(*left, browser, false), name, left->bundleID);
    // No extension answered: the titles the accessibility road can read.
    if (const size_t titles = BrowserTabEnumerator::enumerate(running, timeoutSeconds).size(); titles > 0)
        return BrowserTabStatus::degraded(static_cast<int>(titles), reasonFor(*left, browser, true), name,
                                          left->bundleID);
    return BrowserTabStatus::blocked(reasonFor(*left, browser, false), name, left->bundleID);
}

ProbeResult ExtensionStatusProbe::probeAutomationForRunningBrowsers()
{
    ProbeResult result;
    if (!m_options.socketError.isEmpty())
        result.details << QStringLiteral("browser socket: not listening (%1)").arg(m_options.socketError);
    for (const BrowserSpec& browser : BrowserTabEnumerator::runningSpecs()) {
        result.runningBrowsers << browser.name;
        const std::optional<int> tabs = tabsByExtension(browser, BrowserTabEnumerator::automationTimeoutSeconds);
        if (tabs) {
            result.automationReady << browser.name;
            result.tabCounts.insert(browser.name, *tabs);
        } else {
            result.automationBlocked << browser.name;
        }
        result.details << detailFor(browser, tabs);
    }
    result.details << sandboxedDetails(result.runningBrowsers);
    return result;
}

QString ExtensionStatusProbe::detailFor(const BrowserSpec& browser, std::optional<int> tabs) const
{
    const BrowserPackaging packaging = runningPackaging(browser, BrowserTabEnumerator::runningBrowser(browser));
    if (!tabs && (packaging == BrowserPackaging::snap || packaging == BrowserPackaging::flatpak))
        return QStringLiteral("%1: %2 package, its sandbox keeps the connector out")
            .arg(browser.name, QLatin1String(packagingName(packaging)));
    if (tabs && m_options.automation)
        for (const ConnectedBrowser& connected : m_options.automation->connectedBrowsers())
            if (connected.bundleID == browser.bundleID)
                return QStringLiteral("%1: extension %2 connected (%3), %4 tabs")
                    .arg(browser.name, connected.extensionVersion, connected.browserVersion)
                    .arg(*tabs);
    const NativeHostManifests::Machine& machine = m_options.machine;
    const BrowserHostLocation* location = NativeHostManifests::location(browser.bundleID);
    const QString manifest = location ? NativeHostManifests::manifestPath(*location, machine) : QString();
    return QStringLiteral("%1: extension not connected; host manifest %2 %3")
        .arg(browser.name, QFileInfo::exists(manifest) ? QStringLiteral("at") : QStringLiteral("missing at"),
             homeRelative(manifest, machine.home));
}

// Sandboxed copies that do not run now are worth a line too: starting them would not help.
QStringList ExtensionStatusProbe::sandboxedDetails(const QStringList& running) const
{
    QStringList details;
    for (const BrowserSpec& browser : RuntimeContext::current().profile().browsers) {
        const BrowserPackaging packaging = NativeHostManifests::sandboxedPackaging(browser, m_options.machine);
        if (packaging != BrowserPackaging::absent && !running.contains(browser.name))
            details << QStringLiteral("%1: %2 package installed, its sandbox keeps the connector out")
                           .arg(browser.name, QLatin1String(packagingName(packaging)));
    }
    return details;
}

bool ExtensionStatusProbe::canOpenSettings(const BrowserTabStatus& status) const
{
    const BrowserSpec* browser = RuntimeContext::current().profile().browser(status.browserBundleID);
    if (!browser || !NativeHostManifests::location(browser->bundleID))
        return false;
    const BrowserPackaging packaging = runningPackaging(*browser, BrowserTabEnumerator::runningBrowser(*browser));
    return packaging != BrowserPackaging::snap && packaging != BrowserPackaging::flatpak;
}

void ExtensionStatusProbe::openSettings(const BrowserTabStatus& status)
{
    if (!canOpenSettings(status))
        return;
    const BrowserSpec& browser = *RuntimeContext::current().profile().browser(status.browserBundleID);
    const QString executable = executableFor(browser);
    // A running browser opens the page in a new tab of its own window.
    if (!executable.isEmpty())
        m_options.launch(executable, {NativeHostManifests::location(browser.bundleID)->extensionsPage});
    if (!m_options.extensionFolder.isEmpty())
        RuntimeContext::current().workspace().openURL(QUrl::fromLocalFile(m_options.extensionFolder).toString());
}

// The browser's launcher on PATH (which keeps the distribution's options), else the
// executable of the running copy.
QString ExtensionStatusProbe::executableFor(const BrowserSpec& browser) const
{
    for (const QString& name : browser.executableNames)
        if (m_options.machine.hasExecutable && m_options.machine.hasExecutable(name))
            return name;
    const std::optional<RunningBrowser> running = BrowserTabEnumerator::runningBrowser(browser);
    return running && running->app ? running->app->executablePath.value_or(QString()) : QString();
}

} // namespace ostrevane
