#pragma once

#include <QString>

#include <optional>

namespace ostrevane {

struct PlatformProfile;

// Reads what the registry needs from an installed application's bundle (macOS) or
// entry (other desktops).
class BundleReader {
public:
    struct Info {
        std::optional<QString> bundleID;
        std::optional<QString> displayName; // preferred name
        std::optional<QString> name;        // fallback name
        // False for an entry the desktop does not show (NoDisplay, Hidden, another
        // desktop's): it lists nothing, but still claims its identifier, so that a
        // user's hidden copy masks the system's entry of the same id.
        bool shown = true;
    };

    virtual ~BundleReader() = default;
    // Nothing when `path` is not a readable bundle.
    virtual std::optional<Info> read(const QString& path) const = 0;
    // Whether the folder at `path` is a package that the scan must not walk into.
    virtual bool isPackage(const QString& path) const = 0;

    // The reader for the profile's kind of application bundle.
    static const BundleReader& forProfile(const PlatformProfile& profile);
};

} // namespace ostrevane
