#pragma once

#include <QByteArray>

namespace ostrevane {

// Ed25519 signatures of release archives (the signature covers the archive's bytes as
// they are, no digest first). Keys and signatures travel as base64 text.
namespace UpdateSignature {

// True only when `publicKeyBase64` is a 32-byte key, `signatureBase64` a 64-byte
// signature, and the signature is that key's over `data`.
bool verify(const QByteArray& publicKeyBase64, const QByteArray& data, const QByteArray& signatureBase64);

} // namespace UpdateSignature

} // namespace ostrevane
