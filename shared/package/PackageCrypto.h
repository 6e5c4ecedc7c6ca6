#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The few primitives update packages rest on, through OpenSSL: SHA-256, BLAKE2b-512 and
// Ed25519 with raw keys. File digests read in chunks; call them off the main thread.
namespace PackageCrypto {

inline constexpr int kSeedBytes = 32;
inline constexpr int kPublicKeyBytes = 32;
inline constexpr int kSignatureBytes = 64;

QByteArray sha256(const QByteArray& bytes);
// Nothing when the file cannot be read; the reason in *error.
std::optional<QByteArray> sha256File(const QString& path, QString* error = nullptr);
QByteArray blake2b512(const QByteArray& bytes);
std::optional<QByteArray> blake2b512File(const QString& path, QString* error = nullptr);

QByteArray randomBytes(int count);
// The public key of a 32-byte Ed25519 seed; empty when the seed is not 32 bytes.
QByteArray ed25519PublicKey(const QByteArray& seed);
// A 64-byte signature; empty on failure.
QByteArray ed25519Sign(const QByteArray& seed, const QByteArray& message);
bool ed25519Verify(const QByteArray& publicKey, const QByteArray& message,
                   const QByteArray& signature);

} // namespace PackageCrypto
