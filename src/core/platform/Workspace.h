#pragma once

#include "core/platform/Accessibility.h"
#include "core/platform/Image.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ostrevane {

// Whether an application shows in the task bar (regular), only as a tray or panel
// (accessory), or not at all (prohibited).
enum class ActivationPolicy { regular, accessory, prohibited };

// A snapshot of one running application. It is a value: reading it again later may
// find the application changed or gone.
struct RunningApplication {
    ProcessID processIdentifier = 0;
    std::optional<QString> bundleIdentifier;
    std::optional<QString> localizedName;
    ImageHandle icon;
    std::optional<QString> bundlePath;     // the bundle (macOS) or desktop entry (Linux) location
    std::optional<QString> executablePath;
    ActivationPolicy activationPolicy = ActivationPolicy::regular;
    bool isTerminated = false;
};

enum class ActivationOption : unsigned { none = 0, activateAllWindows = 1 };

// Whether a program still handles its events; unknown until it had the time to show it.
enum class Responsiveness { responding, notResponding, unknown };

// The workspace port: running applications, the frontmost one, and what can be asked
// of them. Requests about an application that has gone do nothing.
class Workspace {
public:
    using Token = std::uint64_t;
    // Called when an open request ends: the application, or an error description.
    using OpenCompletion = std::function<void(std::optional<RunningApplication>, std::optional<QString> error)>;
    using AppObserver = std::function<void(const RunningApplication&)>;

    virtual ~Workspace() = default;

    // In the workspace's order (on Linux: stacking order, topmost first).
    virtual std::vector<RunningApplication> runningApplications() = 0;
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    virtual std::optional<RunningApplication> runningApplication(ProcessID pid) = 0;

    virtual void activate(ProcessID pid, ActivationOption options) = 0;
    virtual void hide(ProcessID pid) = 0;
    // The polite terminate request (the application may refuse or ask the user).
    virtual void terminate(ProcessID pid) = 0;
    // Whether the program behind a window (of process `pid`) still answers: not when the
    // process is stopped or let the desktop's check of the window go unanswered for a
    // while. Asking may start such a check; until it can tell, unknown.
    virtual Responsiveness responsiveness(ProcessID pid, std::optional<quint32> windowNumber) = 0;

    // Launches the application at `path`, or brings it forward when it runs. The
    // completion may run on any thread.
    virtual void openApplication(const QString& path, bool activates, OpenCompletion completion) = 0;
    // Opens an address (a web page, a folder, a settings page) with its default handler.
    virtual bool openURL(const QString& url) = 0;
    virtual ImageHandle iconForFile(const QString& path) = 0;

    // Activation and termination events, delivered on the main queue.
    virtual Token observeActivation(AppObserver observer) = 0;
    // Main queue: delivers at once an activation that has happened but whose event is
    // still on its way, so that what is read next (the recency a showing ranks by) is not
    // one focus change old. Where events arrive in order, nothing to do.
    virtual void catchUpWithActivations() {}
    virtual Token observeTermination(AppObserver observer) = 0;
    // Windows came, went or changed their order: delivered on the main queue, once for
    // the changes that arrive before the main queue takes the first of them.
    virtual Token observeWindowListChange(std::function<void()> observer) = 0;
    virtual void removeObserver(Token token) = 0;
};

} // namespace ostrevane
