#pragma once

#include <QString>
#include <QTemporaryDir>

// A certificate authority of the test's own and a server certificate it issued for 127.0.0.1
// and localhost, as PEM files in a temporary folder: for an HTTPS dev server that the code
// under test trusts only because it is told to trust this authority.
class TestCertificates {
public:
    TestCertificates();

    QString authority() const { return dir_.filePath("ca.pem"); }
    QString certificate() const { return dir_.filePath("server.pem"); }
    QString key() const { return dir_.filePath("server-key.pem"); }

    // Makes the process's default TLS configuration trust the authority too.
    void trustInThisProcess() const;

private:
    QTemporaryDir dir_;
};
