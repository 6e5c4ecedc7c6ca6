#pragma once

#include "shared/package/MinisignKey.h"

#include <QString>
#include <optional>

// The bundle's signature folder, Kelvane/.signature/: the manifest of every other file, its
// minisign signature made with the developer key, and that key's public half.
namespace BundleSignature {

inline const QString kFolder = QStringLiteral(".signature");
inline const QString kManifest = QStringLiteral("manifest");
inline const QString kSignature = QStringLiteral("manifest.minisig");
inline const QString kPublicKey = QStringLiteral("developer.pub");

// Writes a fresh signature folder for the bundle as it is now; false (and the reason) on any
// failure.
bool sign(const QString& bundle, const MinisignSecretKey& key, QString* error);

// The full check of a bundle: the signature folder holds exactly its three files, the
// manifest's signature verifies with the key shipped beside it, and the tree matches the
// manifest with nothing missing or extra. The signer's fingerprint, or nothing and the reason.
std::optional<QString> verify(const QString& bundle, QString* error);

// Only the manifest's signature: the fingerprint of the key that signed it, or nothing.
std::optional<QString> signer(const QString& bundle, QString* error);

} // namespace BundleSignature
