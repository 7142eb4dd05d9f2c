#include "app/LinuxBrowsers.h"

#include "core/sources/BrowserTabCache.h"
#include "core/sources/BrowserTabEnumerator.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/ProgramFolder.h"
#include "core/shell/RuntimeContext.h"
#include "core/platform/Dispatcher.h"
#include "core/platform/Workspace.h"
#include "platform/browser/BrowserSocket.h"
#include "platform/browser/NativeHostManifests.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ostrevane {

namespace {

// The first of `candidates` that exists.
QString firstExisting(const QStringList& candidates)
{
    for (const QString& candidate : candidates) {
        const QFileInfo file(candidate);
        if (file.exists())
            return file.canonicalFilePath();
    }
    return QString();
}

} // namespace

LinuxBrowsers::LinuxBrowsers(Dispatcher& dispatcher, const PlatformProfile& profile)
    : m_profile(profile), m_programFolder(QCoreApplication::applicationDirPath()), m_dispatcher(dispatcher)
{
    QString socketError;
    m_socketPath = BrowserSocket::defaultPath(&socketError);
    ExtensionBrowserAutomation::Options options;
    options.socketPath = m_socketPath.value_or(QString());
    options.browsers = profile.browsers;
    options.onTabsChanged = [&dispatcher](const QString& bundleID) {
        dispatcher.async([bundleID] {
            if (RuntimeContext::hasCurrent())
                BrowserTabCache::shared().refreshAfterChange(bundleID);
        });
    };
    m_automation = std::make_unique<ExtensionBrowserAutomation>(std::move(options));

    ExtensionStatusProbe::Options probe;
    probe.automation = m_automation.get();
    probe.socketError = socketError;
    probe.machine = NativeHostManifests::Machine::current();
    probe.extensionFolder = findExtension(m_programFolder);
    m_status = std::make_unique<ExtensionStatusProbe>(std::move(probe));
}

LinuxBrowsers::~LinuxBrowsers()
{
    if (m_workspace)
        m_workspace->removeObserver(m_activationToken);
}

void LinuxBrowsers::start(Workspace& workspace)
{
    installManifests(findConnector(m_programFolder));
    QString error;
    if (!m_socketPath)
        qWarning("Ostrevane: browser tabs cannot be read: no private runtime folder for the browser socket");
    else if (!m_automation->start(&error))
        qWarning("Ostrevane: browser tabs cannot be read: %s", qPrintable(error));
    m_status->setSocketError(error);

    m_workspace = &workspace;
    m_activationToken = workspace.observeActivation([this](const RunningApplication& app) {
        if (BrowserTabEnumerator::isSupportedBrowser(app.bundleIdentifier))
            explainLater(*app.bundleIdentifier);
    });
    // Which browsers run takes a listing of every window: once the loop runs, not on the
    // way to the hotkey.
    m_dispatcher.async([this, alive = std::weak_ptr<int>(m_lifetime)] {
        if (alive.lock())
            for (const BrowserSpec& browser : BrowserTabEnumerator::runningSpecs())
                explainLater(browser.bundleID);
    });
}

void LinuxBrowsers::explainLater(const QString& bundleID)
{
    if (m_explained.contains(bundleID))
        return;
    m_dispatcher.asyncAfter(extensionGraceSeconds, [this, alive = std::weak_ptr<int>(m_lifetime), bundleID] {
        if (alive.lock())
            explainIfUnconnected(bundleID);
    });
}

void LinuxBrowsers::explainIfUnconnected(const QString& bundleID)
{
    const std::vector<ConnectedBrowser> connected = m_automation->connectedBrowsers();
    const bool isConnected = std::any_of(connected.begin(), connected.end(),
                                         [&](const ConnectedBrowser& c) { return c.bundleID == bundleID; });
    const BrowserSpec* browser = m_profile.browser(bundleID);
    if (isConnected || !browser || m_explained.contains(bundleID) || !BrowserTabEnumerator::runningBrowser(*browser))
        return;
    m_explained << bundleID;
    qInfo("Ostrevane: no tabs of %s: %s", qPrintable(browser->name),
          qPrintable(m_status->missingExtensionReason(*browser)));
}

QString LinuxBrowsers::findConnector(const QString& programFolder)
{
    return firstExisting(ProgramFolder::helperCandidates(programFolder, QStringLiteral("ostrevane-connector")));
}

QString LinuxBrowsers::findExtension(const QString& programFolder)
{
    return firstExisting({programFolder + QStringLiteral("/browser-extension"),
                          programFolder + QStringLiteral("/../share/ostrevane/browser-extension")});
}

void LinuxBrowsers::installManifests(const QString& connector)
{
    if (connector.isEmpty()) {
        qWarning("Ostrevane: the browser connector (ostrevane-connector) is missing; browser tabs cannot be read");
        return;
    }
    const NativeHostManifests::Report report =
        NativeHostManifests::install(m_profile.browsers, connector, NativeHostManifests::Machine::current());
    if (!report.written.isEmpty())
        qInfo("Ostrevane: told %s where the browser connector is", qPrintable(report.written.join(QStringLiteral(", "))));
    if (!report.failed.isEmpty())
        qWarning("Ostrevane: could not tell %s where the browser connector is",
                 qPrintable(report.failed.join(QStringLiteral(", "))));
}

} // namespace ostrevane
