#include "tests/support/TestCertificates.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

constexpr long kValidSeconds = 24L * 3600;

Key makeKey() {
    Key key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    if (!key)
        throw std::runtime_error("cannot make a test key");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension)
        throw std::runtime_error("cannot make a certificate extension");
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

Certificate makeCertificate(EVP_PKEY* key, const char* commonName, X509* issuer,
                            EVP_PKEY* issuerKey, long serial, bool authority) {
    Certificate cert(X509_new(), &X509_free);
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValidSeconds);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    if (authority) {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
        addExtension(cert.get(), signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
    }
    if (X509_sign(cert.get(), issuerKey, EVP_sha256()) == 0)
        throw std::runtime_error("cannot sign a test certificate");
    return cert;
}

void writePem(const QString& path, X509* cert, EVP_PKEY* key) {
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "w");
    if (!file)
        throw std::runtime_error("cannot write " + path.toStdString());
    const bool ok =
        cert ? PEM_write_X509(file, cert) == 1
             : PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    std::fclose(file);
    if (!ok)
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace

TestCertificates::TestCertificates() {
    if (!dir_.isValid())
        throw std::runtime_error("cannot make a folder for test certificates");
    const Key caKey = makeKey();
    // A name of its own: authorities of earlier tests in the same process may still be trusted,
    // and a certificate is matched to its issuer by name.
    const QByteArray caName = "Kelvane Test Authority " + QByteArray::number(quintptr(this), 16) +
                              "-" + QByteArray::number(QRandomGenerator::global()->generate());
    const Certificate ca =
        makeCertificate(caKey.get(), caName.constData(), nullptr, caKey.get(), 1, true);
    const Key serverKey = makeKey();
    const Certificate server =
        makeCertificate(serverKey.get(), "127.0.0.1", ca.get(), caKey.get(), 2, false);
    writePem(authority(), ca.get(), nullptr);
    writePem(certificate(), server.get(), nullptr);
    writePem(key(), nullptr, serverKey.get());
}

void TestCertificates::trustInThisProcess() const {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(QSslCertificate::fromPath(authority(), QSsl::Pem));
    QSslConfiguration::setDefaultConfiguration(configuration);
}
