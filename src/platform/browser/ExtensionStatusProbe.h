#pragma once

#include "core/sources/BrowserTabStatus.h"
#include "platform/browser/NativeHostManifests.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace ostrevane {

class ExtensionBrowserAutomation;
struct RunningBrowser;

// How far browser tabs can be read on Linux, where the browser extension is what gives
// access: `ready` when every running supported browser's extension answers; `degraded`
// when some tabs were read (other browsers' extensions, or titles through
// accessibility) but a running browser has none; `blocked` when none was; each time with
// guidance about the first browser left out (install the extension, or a Snap or Flatpak
// sandbox that keeps it out). The diagnostics get one line per browser.
//
// Reads through the installed runtime context (the browser automation port, the
// enumerator); the calls wait for browsers, so they belong off the panel path.
class ExtensionStatusProbe final : public BrowserStatusProbe {
public:
    struct Options {
        // The connectors connected now (their extension and browser versions); may be null.
        const ExtensionBrowserAutomation* automation = nullptr;
        // Why the browser socket could not be had; empty when it listens.
        QString socketError;
        NativeHostManifests::Machine machine;
        // The extension's folder, for the user to load; empty when it was not found.
        QString extensionFolder;
        // Starts a program detached; QProcess::startDetached by default.
        std::function<bool(const QString& program, const QStringList& arguments)> launch;
    };

    explicit ExtensionStatusProbe(Options options);
    // Main thread, before the probe is asked anything from elsewhere.
    void setSocketError(const QString& error) { m_options.socketError = error; }

    BrowserTabStatus status(double timeoutSeconds) override;
    ProbeResult probeAutomationForRunningBrowsers() override;
    // Helps when the status names a browser that is not sandboxed: opens its extensions
    // page (in the running browser, or starting it) and the folder to load the extension from.
    bool canOpenSettings(const BrowserTabStatus& status) const override;
    void openSettings(const BrowserTabStatus& status) override;

    // Why a running browser whose extension does not answer lists no tabs, in English
    // (install the extension, or the sandbox that keeps it out). Asks no browser.
    QString missingExtensionReason(const BrowserSpec& browser) const;

private:
    // The reason for a running browser whose tabs cannot be read, given whether other
    // tabs were (which only changes the wording of the extension's reason).
    const char* reasonFor(const BrowserSpec& browser, const std::optional<RunningBrowser>& running,
                          bool titlesOnly) const;
    BrowserPackaging runningPackaging(const BrowserSpec& browser, const std::optional<RunningBrowser>& running) const;
    QString detailFor(const BrowserSpec& browser, std::optional<int> tabs) const;
    QStringList sandboxedDetails(const QStringList& running) const;
    QString executableFor(const BrowserSpec& browser) const;

    Options m_options;
};

} // namespace ostrevane
