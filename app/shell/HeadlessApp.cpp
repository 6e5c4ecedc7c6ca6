#include "app/shell/HeadlessApp.h"

#include "app/shell/AppRuntime.h"
#include "app/shell/AppUI.h"

#include <QCoreApplication>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTextStream>

namespace HeadlessApp {

namespace {

bool trustCertificates(const QString& file) {
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(file, QSsl::Pem);
    if (certificates.isEmpty()) {
        QTextStream(stderr) << "No certificate could be read from " << file << Qt::endl;
        return false;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(certificates);
    QSslConfiguration::setDefaultConfiguration(configuration);
    return true;
}

} // namespace

int run(Options options) {
    if (!options.caCertificates.isEmpty() && !trustCertificates(options.caCertificates))
        return 2;
    HeadlessUI ui;
    AppRuntime runtime(ui, {options.fileProvider, options.arguments});
    if (!runtime.claimInstance())
        return 1;
    runtime.launch();
    return QCoreApplication::exec();
}

} // namespace HeadlessApp
