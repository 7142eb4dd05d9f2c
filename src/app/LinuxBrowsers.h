#pragma once

#include "core/platform/ScriptRunner.h"
#include "platform/browser/ExtensionBrowserAutomation.h"
#include "platform/browser/ExtensionStatusProbe.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace ostrevane {

class Dispatcher;
class Workspace;
struct PlatformProfile;

// Browsers on Linux: the browser extension reached through its connector. Once started
// it has written the host manifests that tell each installed browser where the connector
// is, listens on the browser socket, and refreshes a browser's cached tabs whenever its
// extension connects, reports a change or goes away. Before that its ports answer nothing.
class LinuxBrowsers {
public:
    // How long a browser's extension may take to connect once the browser has come
    // forward, before the log says what is missing (Firefox needs a few seconds).
    static constexpr double extensionGraceSeconds = 10.0;

    LinuxBrowsers(Dispatcher& dispatcher, const PlatformProfile& profile);
    ~LinuxBrowsers();

    // Writes the manifests and takes the socket (problems are logged, never fatal), and
    // from then on says once in the log, per browser, why one whose extension does not
    // connect lists no tabs. Main thread, with the runtime context installed.
    void start(Workspace& workspace);

    // Where the connector and the extension are: beside the program (a build folder),
    // else in the installed package's folders. Empty when not found.
    static QString findConnector(const QString& programFolder);
    static QString findExtension(const QString& programFolder);

    BrowserAutomation& automation() { return *m_automation; }
    BrowserStatusProbe& status() { return *m_status; }
    // Nothing answers scripts on Linux: the extension takes their place.
    ScriptRunner& scripts() { return m_scripts; }

private:
    class NoScripts : public ScriptRunner {
    public:
        std::optional<ScriptDescriptor> executeAppleScript(const QString&) override { return std::nullopt; }
    };

    void installManifests(const QString& connector);
    void explainLater(const QString& bundleID);
    void explainIfUnconnected(const QString& bundleID);

    const PlatformProfile& m_profile;
    QString m_programFolder;
    std::optional<QString> m_socketPath;

    std::unique_ptr<ExtensionBrowserAutomation> m_automation;
    std::unique_ptr<ExtensionStatusProbe> m_status;
    NoScripts m_scripts;
    Dispatcher& m_dispatcher;
    Workspace* m_workspace = nullptr;
    quint64 m_activationToken = 0;
    QStringList m_explained; // browsers the log has spoken about
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

} // namespace ostrevane
