#pragma once

#include "shared/KelvaneError.h"

#include <QUrl>

// The file-provider extension's refusal to send a request without address and token.
class NotConfiguredError : public KelvaneError {
public:
    QString description() const override { return QStringLiteral("API URL or auth token missing"); }
};

// The file-provider extension's reading of config.json, done afresh for every request so a
// new sign-in takes effect without a restart.
namespace FileProviderConfig {

struct Target {
    QUrl url;
    QString token;
};

QString configFile();

// apiURL followed directly by path (plain concatenation) and the token; throws
// NotConfiguredError when the file, the address or the token is missing or the URL is bad.
Target resolve(const QString& path, const QString& file = configFile());

} // namespace FileProviderConfig
