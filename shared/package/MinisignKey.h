#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Keys in minisign's formats: Ed25519 with an 8-byte key id chosen at random when the pair is
// made. The public key file is an "untrusted comment:" line and the base64 of "Ed", the key id
// and the 32-byte key (a bare base64 line is accepted too, as `minisign -P` takes it).
class MinisignPublicKey {
public:
    static std::optional<MinisignPublicKey> parse(const QByteArray& text, QString* error);
    static std::optional<MinisignPublicKey> load(const QString& path, QString* error);

    QByteArray keyId() const { return keyId_; }
    QByteArray key() const { return key_; }
    // The key id as minisign prints it: the 8 bytes as one little-endian number in hex.
    QString keyIdText() const;
    // SHA-256 of the 32 key bytes, lower-case hex: what names a signer (the key id is chosen
    // freely, so two keys may share one).
    QString fingerprint() const;
    // The public key file's text.
    QByteArray toText() const;
    // Just the base64 line.
    QByteArray base64() const;

    bool operator==(const MinisignPublicKey&) const = default;

private:
    QByteArray keyId_;
    QByteArray key_;
    friend class MinisignSecretKey;
};

// An unencrypted minisign secret key (as `minisign -G -W` writes them). A key protected by a
// password is refused with a message saying how to remove the password.
class MinisignSecretKey {
public:
    static std::optional<MinisignSecretKey> parse(const QByteArray& text, QString* error);
    static std::optional<MinisignSecretKey> load(const QString& path, QString* error);
    // A fresh pair from the system's random source.
    static MinisignSecretKey generate();

    QByteArray keyId() const { return keyId_; }
    QByteArray seed() const { return seed_; }
    MinisignPublicKey publicKey() const;
    QByteArray toText() const;

private:
    QByteArray keyId_;
    QByteArray seed_;
    QByteArray publicKey_;
};
