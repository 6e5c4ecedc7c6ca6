#include "tools/devserver/ServerOptions.h"

#ifndef KELVANE_DEVSERVER_DOWNLOADS_DIR
#define KELVANE_DEVSERVER_DOWNLOADS_DIR "downloads"
#endif

QString ServerOptions::usage() {
    return "usage: kelvane-devserver [--data DIR] [--port N] [--demo] [--downloads DIR] "
           "[--updates DIR] [--tls-cert FILE --tls-key FILE]";
}

std::optional<ServerOptions> ServerOptions::parse(const QStringList& arguments, QString* error) {
    ServerOptions options;
    options.downloadsDir = QStringLiteral(KELVANE_DEVSERVER_DOWNLOADS_DIR);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (name == QLatin1String("--demo")) {
            options.demo = true;
            continue;
        }
        static const QStringList kValued{"--data",    "--port",     "--downloads",
                                         "--updates", "--tls-cert", "--tls-key"};
        if (!kValued.contains(name)) {
            *error = "unknown argument: " + name;
            return std::nullopt;
        }
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
            *error = name + " needs a value";
            return std::nullopt;
        }
        const QString value = arguments[++i];
        if (name == QLatin1String("--port")) {
            bool ok = false;
            const uint port = value.toUInt(&ok);
            if (!ok || port > 65535) {
                *error = "not a port number: " + value;
                return std::nullopt;
            }
            options.port = static_cast<quint16>(port);
        } else if (name == QLatin1String("--data")) {
            options.dataDir = value;
        } else if (name == QLatin1String("--updates")) {
            options.updatesDir = value;
        } else if (name == QLatin1String("--tls-cert")) {
            options.tlsCertificate = value;
        } else if (name == QLatin1String("--tls-key")) {
            options.tlsKey = value;
        } else {
            options.downloadsDir = value;
        }
    }
    if (options.tlsCertificate.isEmpty() != options.tlsKey.isEmpty()) {
        *error = "--tls-cert and --tls-key go together";
        return std::nullopt;
    }
    return options;
}
