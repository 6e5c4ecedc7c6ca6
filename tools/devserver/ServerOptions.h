#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// kelvane-devserver [--data DIR] [--port N] [--demo] [--downloads DIR] [--updates DIR]
//                   [--tls-cert FILE --tls-key FILE]
struct ServerOptions {
    QString dataDir; // empty: a fresh temporary folder
    quint16 port = 0;
    bool demo = false;
    QString downloadsDir;
    QString updatesDir;
    QString tlsCertificate;
    QString tlsKey;

    static QString usage();
    // The options of the arguments (without the program name); nothing and the reason when
    // they do not parse.
    static std::optional<ServerOptions> parse(const QStringList& arguments, QString* error);
};
