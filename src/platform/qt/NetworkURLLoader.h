#pragma once

#include "core/platform/SystemServices.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace ostrevane {

// The program's downloads, as the network module makes them (see NetworkModule.h): the
// port's fetch, and one that tells failures apart for the updater.
//
// Only http and https addresses are fetched, also after redirects (a redirect to any
// other scheme, or from https down to http, ends the fetch). Every fetch ends after
// the time-out, and a body over the limit is refused as soon as its size is announced
// or exceeded. No cookies are sent or kept. The body is given whatever the response
// status; transport errors, time-outs and refusals give nothing.
//
// The completion runs exactly once, on the loader's thread, or on the calling thread
// when the address is refused at once or the loader is shutting down. Destroying the
// loader ends the fetches in progress, completing them with nothing.
class NetworkURLLoader : public URLLoader {
public:
    static constexpr double defaultTimeoutSeconds = 10.0;
    static constexpr qint64 defaultMaxBodyBytes = 1024 * 1024;
    static constexpr int maxRedirects = 5;
    // Raised whenever this header changes: the program and the module must agree on it.
    static constexpr int interfaceVersion = 1;

    struct Options {
        double timeoutSeconds = defaultTimeoutSeconds;
        qint64 maxBodyBytes = defaultMaxBodyBytes;
        // Only https, and plain http to this machine, also after redirects.
        bool secureOnly = false;
        // Bytes received and in all (-1 while unknown), on the loader's thread.
        std::function<void(qint64 received, qint64 total)> progress;
    };

    // How a fetch ended, for callers that tell failures apart.
    struct Reply {
        enum class Failure { none, refused, unreachable, timedOut, tooLarge };
        Failure failure = Failure::none;
        int status = 0; // the HTTP status of the final response; 0 without one
        QByteArray body;
    };
    using ReplyCompletion = std::function<void(Reply reply)>;

    using URLLoader::fetch;
    // As fetch, with the reason of a failure and the status. A body arrives with any
    // final status; transport errors and refusals come without one.
    virtual void fetch(const QString& url, ReplyCompletion completion) = 0;
};

} // namespace ostrevane
