#pragma once

#include "core/platform/Accessibility.h"
#include "core/platform/SystemServices.h"
#include "core/platform/WindowServer.h"
#include "core/platform/Workspace.h"

namespace ostrevane {

// The desktop ports of a session without an X display (another Qt platform): nothing
// runs, nothing is listed and nothing is granted. The test panel mode still works.
class HeadlessAccessibility : public Accessibility {
public:
    bool isProcessTrusted() override { return false; }
    AXElement createApplication(ProcessID) override { return nullptr; }
    AXValue copyAttribute(const AXElement&, const QString&) override { return {}; }
    void setBool(const AXElement&, const QString&, bool) override {}
    void perform(const AXElement&, const QString&) override {}
    std::optional<quint32> windowNumber(const AXElement&) override { return std::nullopt; }
};

class HeadlessWorkspace : public Workspace {
public:
    std::vector<RunningApplication> runningApplications() override { return {}; }
    std::optional<RunningApplication> frontmostApplication() override { return std::nullopt; }
    std::optional<RunningApplication> runningApplication(ProcessID) override { return std::nullopt; }
    void activate(ProcessID, ActivationOption) override {}
    void hide(ProcessID) override {}
    void terminate(ProcessID) override {}
    void openApplication(const QString& path, bool activates, OpenCompletion completion) override;
    bool openURL(const QString& url) override;
    ImageHandle iconForFile(const QString&) override { return nullptr; }
    Token observeActivation(AppObserver) override { return 0; }
    Token observeTermination(AppObserver) override { return 0; }
    Token observeWindowListChange(std::function<void()>) override { return 0; }
    Responsiveness responsiveness(ProcessID, std::optional<quint32>) override { return Responsiveness::unknown; }
    void removeObserver(Token) override {}
};

class HeadlessWindowServer : public WindowServer {
public:
    std::vector<WindowListEntry> windowList() override { return {}; }
    bool preflightScreenCaptureAccess() override { return false; }
    ImageHandle captureWindow(quint32) override { return nullptr; }
    Token observeLeavingPictures(PictureObserver) override { return 0; }
    void removeObserver(Token) override {}
};

// Signals sent with kill(2).
class PosixProcessSignals : public ProcessSignals {
public:
    bool kill(ProcessID pid, int signal) override;
};

} // namespace ostrevane
