#include "core/shell/UpdateSignature.h"

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

} // namespace

bool UpdateSignature::verify(const QByteArray& publicKeyBase64, const QByteArray& data, const QByteArray& signatureBase64)
{
    // Verification runs on pool threads that may still be alive when OpenSSL cleans up at
    // exit, which then leaves their error state behind: release it when done instead.
    struct ThreadStateRelease {
        ~ThreadStateRelease() { OPENSSL_thread_stop(); }
    } release;
    const std::optional<QByteArray> key = decode(publicKeyBase64, publicKeySize);
    const std::optional<QByteArray> signature = decode(signatureBase64, signatureSize);
    if (!key || !signature)
        return false;
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> pkey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(key->constData()),
                                    size_t(key->size())),
        &EVP_PKEY_free);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!pkey || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, pkey.get()) != 1)
        return false;
    // Ed25519 reads the whole message in one call.
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature->constData()),
                            size_t(signature->size()), reinterpret_cast<const unsigned char*>(data.constData()),
                            size_t(data.size())) == 1;
}

} // namespace ostrevane
