#pragma once

#include <QString>

#include <optional>

namespace ostrevane {

// Facts about this program and the system it runs on, for the diagnostics text.
class SystemInfo {
public:
    struct BundleInfo {
        std::optional<QString> shortVersion; // e.g. "0.1.0"
        std::optional<QString> buildVersion; // e.g. "42"
        std::optional<QString> identifier;   // e.g. "com.local.ostrevane"
    };
    struct OSVersion {
        int major = 0;
        int minor = 0;
        int patch = 0;
    };

    virtual ~SystemInfo() = default;
    virtual BundleInfo mainBundle() const = 0;
    virtual OSVersion osVersion() const = 0;
    // The machine field of uname (e.g. "x86_64", "arm64").
    virtual QString machineArchitecture() const = 0;
    // Whether window capture is already allowed, asked without prompting anyone.
    virtual bool screenCaptureAllowed() const = 0;
};

} // namespace ostrevane
