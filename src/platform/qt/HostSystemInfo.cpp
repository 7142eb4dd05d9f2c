#include "platform/qt/HostSystemInfo.h"

#include "BuildNumber.h" // generated at every build from git describe

#include <sys/utsname.h>

#include <cstring>

namespace ostrevane {

namespace {

#ifndef OSTREVANE_BUNDLE_ID
#define OSTREVANE_BUNDLE_ID "com.local.ostrevane"
#endif

std::optional<QString> fromBuild(const char* value)
{
    if (!value || !*value)
        return std::nullopt;
    return QString::fromUtf8(value);
}

// A uname field is a fixed-size buffer: read it up to its first zero byte only.
template <size_t N>
QString field(const char (&buffer)[N])
{
    return QString::fromUtf8(buffer, static_cast<qsizetype>(strnlen(buffer, N)));
}

std::optional<struct utsname> systemName()
{
    struct utsname name {};
    if (uname(&name) != 0)
        return std::nullopt;
    return name;
}

} // namespace

SystemInfo::BundleInfo HostSystemInfo::mainBundle() const
{
#ifdef OSTREVANE_VERSION
    const char* version = OSTREVANE_VERSION;
#else
    const char* version = nullptr;
#endif
#ifdef OSTREVANE_BUILD_NUMBER
    const char* build = OSTREVANE_BUILD_NUMBER;
#else
    const char* build = nullptr;
#endif
    return BundleInfo{fromBuild(version), fromBuild(build), fromBuild(OSTREVANE_BUNDLE_ID)};
}

SystemInfo::OSVersion HostSystemInfo::osVersion() const
{
    const std::optional<struct utsname> name = systemName();
    return name ? parseRelease(field(name->release)) : OSVersion{};
}

QString HostSystemInfo::machineArchitecture() const
{
    const std::optional<struct utsname> name = systemName();
    return name ? field(name->machine) : QString();
}

SystemInfo::OSVersion HostSystemInfo::parseRelease(const QString& release)
{
    // Up to three dot-separated numbers at the very start; whatever follows the first
    // non-digit ("-18-amd64", "+rpt1") is the distribution's and ends the version.
    int parts[3] = {0, 0, 0};
    qsizetype i = 0;
    for (int& part : parts) {
        const qsizetype start = i;
        while (i < release.size() && release.at(i).isDigit())
            ++i;
        if (i == start)
            break;
        part = release.mid(start, i - start).toInt(); // 0 when it overflows
        if (i >= release.size() || release.at(i) != u'.')
            break;
        ++i;
    }
    return OSVersion{parts[0], parts[1], parts[2]};
}

} // namespace ostrevane
