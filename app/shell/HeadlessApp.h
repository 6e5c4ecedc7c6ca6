#pragma once

#include <QString>
#include <QStringList>

// `kelvane --headless`: the whole application without a desktop. Returns the exit status.
namespace HeadlessApp {

struct Options {
    // Serve the filespaces through the file-provider extension instead of mounting drives
    // (for development: nothing a user saves selects this mode).
    bool fileProvider = false;
    // Also trust the certificate authorities in this PEM file (a development server with a
    // certificate of its own). Certificates are always verified.
    QString caCertificates{};
    // The arguments this run was started with, for the instance an update starts.
    QStringList arguments{};
};

int run(Options options);

} // namespace HeadlessApp
