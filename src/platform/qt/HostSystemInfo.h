#pragma once

#include "core/platform/SystemInfo.h"

namespace ostrevane {

// The real system facts: this build's version and identity (fixed when it is compiled)
// and the running kernel's release and machine as reported by uname.
class HostSystemInfo : public SystemInfo {
public:
    // The version and build number come from the build (OSTREVANE_VERSION, and
    // OSTREVANE_BUILD_NUMBER from git describe); one the build did not define is absent.
    BundleInfo mainBundle() const override;
    // The kernel release's leading numbers ("6.1.0-18-amd64" gives 6.1.0).
    OSVersion osVersion() const override;
    QString machineArchitecture() const override;
    // X11 lets any client read the screen: capture never needs a permission.
    bool screenCaptureAllowed() const override { return true; }

    // Major, minor and patch from the start of a release text; a missing or
    // non-numeric part is 0 ("6.5" gives 6.5.0, "" gives 0.0.0).
    static OSVersion parseRelease(const QString& release);
};

} // namespace ostrevane
