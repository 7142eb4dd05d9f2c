#pragma once

#include "core/platform/Accessibility.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <optional>

namespace ostrevane {

// Signals to other processes.
class ProcessSignals {
public:
    virtual ~ProcessSignals() = default;
    // Sends `signal` (e.g. 9 for SIGKILL) to `pid`; false when the process is gone or refuses.
    virtual bool kill(ProcessID pid, int signal) = 0;
};

// Change events of folders (their own entries: added, removed, renamed, written).
class FolderEvents {
public:
    using Token = std::uint64_t;
    virtual ~FolderEvents() = default;
    // Calls `onChange` on a background thread for each change of `folder`; nothing
    // (0) when the folder cannot be watched.
    virtual Token watch(const QString& folder, std::function<void()> onChange) = 0;
    virtual void unwatch(Token token) = 0;
};

// Downloads small resources. Only http and https addresses are fetched; every request
// has a time-out and a body limit.
class URLLoader {
public:
    // The body, or nothing on a transport error, a time-out or an oversized body.
    using Completion = std::function<void(std::optional<QByteArray> body)>;
    virtual ~URLLoader() = default;

    // https, or plain http to this machine (127.0.0.0/8, ::1, localhost), where nobody
    // on the way can read or change what is fetched.
    static bool isSecureAddress(const QUrl& url)
    {
        if (!url.isValid() || url.host().isEmpty())
            return false;
        if (url.scheme() == QLatin1String("https"))
            return true;
        if (url.scheme() != QLatin1String("http"))
            return false;
        const QString host = url.host();
        const QStringList octets = host.split(u'.');
        bool loopback = octets.size() == 4 && octets.front() == QLatin1String("127");
        for (const QString& octet : octets) {
            bool numeric = false;
            loopback = loopback && octet.toUInt(&numeric) <= 255 && numeric;
        }
        return loopback || host == QLatin1String("localhost") || host == QLatin1String("::1");
    }

    // The completion runs exactly once, on any thread.
    virtual void fetch(const QString& url, Completion completion) = 0;
};

// Whether this program starts when the user signs in (the platform's login item).
class LoginItemService {
public:
    virtual ~LoginItemService() = default;
    virtual bool isEnabled() = 0;
    // Each returns nothing on success, else the platform's reason (English, for the log).
    virtual std::optional<QString> registerItem() = 0;
    virtual std::optional<QString> unregisterItem() = 0;
    // The folder a person can check when a change fails; empty when the platform keeps
    // the item somewhere no person looks after.
    virtual QString location() const = 0;
};

// Tells a media player to pause.
class MediaControl {
public:
    virtual ~MediaControl() = default;
    // `playerName` is the profile's name for the player (e.g. "Music").
    virtual void pause(const QString& bundleID, const QString& playerName) = 0;
};

} // namespace ostrevane
