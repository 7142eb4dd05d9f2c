#include "core/shell/UpdateSignature.h"

#include <QLibrary>
#include <QtGlobal>

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <memory>
#include <optional>

namespace ostrevane {

namespace {

constexpr qsizetype publicKeySize = 32;
constexpr qsizetype signatureSize = 64;

std::optional<QByteArray> decode(const QByteArray& base64, qsizetype expectedSize)
{
    const auto decoded = QByteArray::fromBase64Encoding(base64.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != expectedSize)
        return std::nullopt;
    return decoded.decoded;
}

// libcrypto is needed only when an update comes: it is loaded then, once, rather than
// with the program, where 1.4 MB of its pages would stay resident from the start.
struct Crypto {
    decltype(&EVP_PKEY_new_raw_public_key) newRawPublicKey = nullptr;
    decltype(&EVP_PKEY_free) freeKey = nullptr;
    decltype(&EVP_MD_CTX_new) newContext = nullptr;
    decltype(&EVP_MD_CTX_free) freeContext = nullptr;
    decltype(&EVP_DigestVerifyInit) verifyInit = nullptr;
    decltype(&EVP_DigestVerify) digestVerify = nullptr;
    decltype(&OPENSSL_thread_stop) threadStop = nullptr;

    bool isComplete() const
    {
        return newRawPublicKey && freeKey && newContext && freeContext && verifyInit && digestVerify && threadStop;
    }
};

template <class Function>
void resolve(QLibrary& library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(library.resolve(name));
}

Crypto loadCrypto()
{
    Crypto crypto;
    QLibrary library(QStringLiteral("crypto"), OPENSSL_VERSION_MAJOR);
    if (!library.load()) {
        qWarning("Ostrevane: update signatures cannot be checked: %s", qPrintable(library.errorString()));
        return crypto;
    }
    resolve(library, "EVP_PKEY_new_raw_public_key", crypto.newRawPublicKey);
    resolve(library, "EVP_PKEY_free", crypto.freeKey);
    resolve(library, "EVP_MD_CTX_new", crypto.newContext);
    resolve(library, "EVP_MD_CTX_free", crypto.freeContext);
    resolve(library, "EVP_DigestVerifyInit", crypto.verifyInit);
    resolve(library, "EVP_DigestVerify", crypto.digestVerify);
    resolve(library, "OPENSSL_thread_stop", crypto.threadStop);
    if (!crypto.isComplete())
        qWarning("Ostrevane: update signatures cannot be checked: %s lacks a function it needs",
                 qPrintable(library.fileName()));
    return crypto; // the library stays loaded
}

const Crypto& crypto()
{
    static const Crypto loaded = loadCrypto();
    return loaded;
}

} // namespace

bool UpdateSignature::verify(const QByteArray& publicKeyBase64, const QByteArray& data, const QByteArray& signatureBase64)
{
    const Crypto& c = crypto();
    if (!c.isComplete())
        return false;
    // Verification runs on pool threads that may still be alive when OpenSSL cleans up at
    // exit, which then leaves their error state behind: release it when done instead.
    struct ThreadStateRelease {
        const Crypto& c;
        ~ThreadStateRelease() { c.threadStop(); }
    } release{c};
    const std::optional<QByteArray> key = decode(publicKeyBase64, publicKeySize);
    const std::optional<QByteArray> signature = decode(signatureBase64, signatureSize);
    if (!key || !signature)
        return false;
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> pkey(
        c.newRawPublicKey(EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(key->constData()),
                          size_t(key->size())),
        c.freeKey);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(c.newContext(), c.freeContext);
    if (!pkey || !context || c.verifyInit(context.get(), nullptr, nullptr, nullptr, pkey.get()) != 1)
        return false;
    // Ed25519 reads the whole message in one call.
    return c.digestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature->constData()),
                          size_t(signature->size()), reinterpret_cast<const unsigned char*>(data.constData()),
                          size_t(data.size())) == 1;
}

} // namespace ostrevane
