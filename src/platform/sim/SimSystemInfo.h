#pragma once

#include "core/platform/SystemInfo.h"

namespace ostrevane {

// System facts of the simulated desktop; tests set what they need.
class SimSystemInfo : public SystemInfo {
public:
    BundleInfo bundle{QStringLiteral("1.4.2"), QStringLiteral("142"), QStringLiteral("com.local.ostrevane")};
    OSVersion os{14, 5, 0};
    QString architecture = QStringLiteral("arm64");
    bool screenCapture = false;

    BundleInfo mainBundle() const override { return bundle; }
    OSVersion osVersion() const override { return os; }
    QString machineArchitecture() const override { return architecture; }
    bool screenCaptureAllowed() const override { return screenCapture; }
};

} // namespace ostrevane
