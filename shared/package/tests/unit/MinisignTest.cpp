#include "shared/package/MinisignKey.h"
#include "shared/package/MinisignSignature.h"
#include "shared/package/PackageCrypto.h"

#include "tests/support/QtPrinters.h"
#include <QList>
#include <algorithm>

#include <gtest/gtest.h>

namespace {

// The signature file with one of its four lines replaced.
QByteArray withLine(const QByteArray& text, int index, const QByteArray& line) {
    QList<QByteArray> lines = text.split('\n');
    lines[index] = line;
    return lines.join('\n');
}

QString refusal(const QByteArray& signatureText, const QByteArray& message,
                const MinisignPublicKey& key) {
    QString error;
    const auto signature = MinisignSignature::parse(signatureText, &error);
    if (!signature)
        return "unparsed: " + error;
    return signature->verifyBytes(message, key, &error) ? QString() : error;
}

} // namespace

TEST(MinisignKeys, RoundTripThroughTheirFilesAndNameTheSignerByTheKeyBytes) {
    const MinisignSecretKey secret = MinisignSecretKey::generate();
    QString error;
    const auto reread = MinisignSecretKey::parse(secret.toText(), &error);
    ASSERT_TRUE(reread) << error.toStdString();
    EXPECT_EQ(reread->seed(), secret.seed());
    EXPECT_EQ(reread->keyId(), secret.keyId());

    const MinisignPublicKey pub = secret.publicKey();
    const auto fromFile = MinisignPublicKey::parse(pub.toText(), &error);
    const auto fromLine = MinisignPublicKey::parse(pub.base64(), &error);
    ASSERT_TRUE(fromFile && fromLine);
    EXPECT_EQ(*fromFile, pub);
    EXPECT_EQ(*fromLine, pub);
    EXPECT_TRUE(pub.toText().startsWith("untrusted comment: minisign public key " +
                                        pub.keyIdText().toLatin1() + "\nRW"));
    // minisign prints the id as a little-endian number.
    QByteArray reversed = pub.keyId();
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(pub.keyIdText(), QString::fromLatin1(reversed.toHex().toUpper()));
    EXPECT_EQ(pub.fingerprint(), QString::fromLatin1(PackageCrypto::sha256(pub.key()).toHex()));
    EXPECT_NE(pub.fingerprint(), MinisignSecretKey::generate().publicKey().fingerprint());
}

TEST(MinisignKeys, RefuseDamagedProtectedAndForeignKeys) {
    const MinisignSecretKey secret = MinisignSecretKey::generate();
    const QByteArray text = secret.toText();
    QList<QByteArray> lines = text.split('\n');
    QByteArray blob = QByteArray::fromBase64(lines[1]);
    QString error;

    QByteArray damaged = blob;
    damaged[blob.size() - 40] = char(damaged[blob.size() - 40] ^ 1); // the stored public half
    EXPECT_FALSE(MinisignSecretKey::parse(lines[0] + '\n' + damaged.toBase64() + '\n', &error));
    EXPECT_EQ(error, "the secret key is damaged");

    QByteArray protectedKey = blob;
    protectedKey[2] = 'S';
    protectedKey[3] = 'c';
    EXPECT_FALSE(
        MinisignSecretKey::parse(lines[0] + '\n' + protectedKey.toBase64() + '\n', &error));
    EXPECT_TRUE(error.contains("protected by a password"));

    EXPECT_FALSE(MinisignPublicKey::parse("untrusted comment: x\nnot base64!\n", &error));
    EXPECT_FALSE(MinisignPublicKey::parse("", &error));
    QByteArray otherAlgorithm = QByteArray::fromBase64(secret.publicKey().base64());
    otherAlgorithm[0] = 'X';
    EXPECT_FALSE(MinisignPublicKey::parse(otherAlgorithm.toBase64(), &error));
}

TEST(MinisignSignature, VerifiesWhatItSignsAndRefusesEveryAlteration) {
    const MinisignSecretKey secret = MinisignSecretKey::generate();
    const MinisignPublicKey key = secret.publicKey();
    const QByteArray message = "the package's bytes";
    const QByteArray text =
        MinisignSignature::signBytes(message, secret, "file:package\tbuild:2").toText();
    EXPECT_EQ(refusal(text, message, key), QString());

    QString error;
    const auto parsed = MinisignSignature::parse(text, &error);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->algorithm(), "ED");
    EXPECT_EQ(parsed->trustedComment(), "file:package\tbuild:2");
    // CRLF line ends read the same.
    QByteArray crlf = text;
    crlf.replace("\n", "\r\n");
    EXPECT_EQ(refusal(crlf, message, key), QString());

    EXPECT_EQ(refusal(text, "other bytes", key), "the signature does not match the file");
    EXPECT_EQ(refusal(withLine(text, 2, "trusted comment: file:package\tbuild:3"), message, key),
              "the trusted comment's signature does not verify");
    EXPECT_TRUE(refusal(text, message, MinisignSecretKey::generate().publicKey())
                    .startsWith("signed with key"));

    // Legacy form: same layout, "Ed", signature over the raw bytes.
    QByteArray blob = QByteArray::fromBase64(text.split('\n')[1]);
    const QByteArray legacySignature = PackageCrypto::ed25519Sign(secret.seed(), message);
    const QByteArray legacyBlob = "Ed" + blob.mid(2, 8) + legacySignature;
    const QByteArray comment = "trusted comment: legacy";
    const QByteArray global =
        PackageCrypto::ed25519Sign(secret.seed(), legacySignature + QByteArray("legacy"));
    const QByteArray legacy = "untrusted comment: x\n" + legacyBlob.toBase64() + '\n' + comment +
                              '\n' + global.toBase64() + '\n';
    EXPECT_EQ(refusal(legacy, message, key), "legacy signature (not prehashed) refused");

    EXPECT_TRUE(refusal(withLine(text, 1, "AAAA"), message, key).startsWith("unparsed"));
    EXPECT_TRUE(refusal(withLine(text, 0, "comment: x"), message, key).startsWith("unparsed"));
    EXPECT_TRUE(
        refusal(text.left(text.indexOf("trusted comment")), message, key).startsWith("unparsed"));
}

TEST(MinisignSignature, KeepsTheTrustedCommentOnOneLine) {
    const MinisignSecretKey secret = MinisignSecretKey::generate();
    const QByteArray text = MinisignSignature::signBytes("m", secret, "one\ntwo").toText();
    EXPECT_EQ(text.count('\n'), 4);
    EXPECT_EQ(refusal(text, "m", secret.publicKey()), QString());
}
