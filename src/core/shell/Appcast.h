#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace ostrevane {

// Release versions in the order people read them: numeric parts compare as numbers
// (1.10 > 1.9), missing parts count as zero (1.9 == 1.9.0), a pre-release sorts before
// its release (1.9-rc1 < 1.9; dev < alpha < beta < pre < rc, then its number) and a
// numeric suffix after a dash after it (1.9-1 > 1.9). Build metadata after '+' is
// ignored. Any text compares without failing; text without leading digits is a
// version 0 with that pre-release label.
namespace UpdateVersion {
// Negative, zero or positive as `a` is older than, the same as, or newer than `b`.
int compare(const QString& a, const QString& b);
} // namespace UpdateVersion

// One release in the update feed.
struct AppcastItem {
    QString title;
    QString version;              // compared with the running version
    QString shortVersion;         // shown to people; empty: `version`
    QString minimumSystemVersion; // empty: any
    QString releaseNotesURL;      // empty: none
    QString notes;                // inline release notes (HTML or text); empty: none
    QString archiveURL;
    qint64 archiveLength = 0;
    QByteArray edSignature; // base64, as written in the feed

    QString displayVersion() const { return shortVersion.isEmpty() ? version : shortVersion; }
};

// The update feed: an RSS 2.0 channel with one item per release, in the appcast
// vocabulary (namespace "http://www.andymatuschak.org/xml-namespaces/sparkle"):
//
//   <item>
//     <title>Ostrevane 1.2</title>
//     <sparkle:version>1.2</sparkle:version>
//     <sparkle:shortVersionString>1.2</sparkle:shortVersionString>
//     <sparkle:minimumSystemVersion>5.10</sparkle:minimumSystemVersion>
//     <sparkle:releaseNotesLink>https://.../1.2.html</sparkle:releaseNotesLink>
//     <description><![CDATA[<p>inline notes</p>]]></description>
//     <enclosure url="https://.../Ostrevane-1.2-x86_64.tar.gz" length="123456"
//                type="application/gzip" sparkle:edSignature="base64..."/>
//   </item>
//
// The version and short version may also be given as attributes of the enclosure. An
// enclosure with sparkle:os set to anything but "linux" is for another system. On Linux
// the minimum system is compared with the kernel's release (uname), the system version
// the diagnostics report.
namespace Appcast {

// The releases the feed lists, in feed order. Items without a version or without a
// usable enclosure (address, positive length, signature) are left out. Nothing, with
// `error` set, when the bytes are not an RSS document.
std::optional<std::vector<AppcastItem>> parse(const QByteArray& xml, QString* error = nullptr);

// The newest release that is newer than `currentVersion` and whose minimum system is at
// most `systemVersion`; nothing when there is none.
std::optional<AppcastItem> bestUpdate(const std::vector<AppcastItem>& items, const QString& currentVersion,
                                      const QString& systemVersion);

} // namespace Appcast

} // namespace ostrevane
