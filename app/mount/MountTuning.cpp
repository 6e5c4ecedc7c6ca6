#include "app/mount/MountTuning.h"

#include "app/mount/MountLogging.h"

namespace MountTuning {

const QMap<QString, QString>& defaults() {
    static const QMap<QString, QString> table{
        {"attr-cache", "5"},
        {"buffer-size", "8192"},
        {"cache-items", "50000000"},
        {"dir-entry-cache", "5"},
        {"entry-cache", "5"},
        {"free-space-ratio", "0.05"},
        {"get-timeout", "30s"},
        {"max-fuse-io", "1M"},
        {"max-readahead", "1024"},
        {"max-uploads", "50"},
        {"negative-entry-cache", "30"},
        {"open-cache", "300"},
        {"open-cache-limit", "100000"},
        {"prefetch", "64"},
        {"put-timeout", "60s"},
        {"skip-dir-mtime", "1s"},
        {"upload-delay", "0s"},
    };
    return table;
}

QMap<QString, QString> resolved(const QMap<QString, QString>& overrides) {
    QMap<QString, QString> merged = defaults();
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it) {
        QString name = it.key();
        if (name.startsWith(QLatin1String("--")))
            name.remove(0, 2);
        if (!merged.contains(name)) {
            qCInfo(lcMount, "ignoring unknown server mount option %s", qUtf8Printable(name));
            continue;
        }
        const QString value = it.value().trimmed();
        if (value.isEmpty()) {
            qCInfo(lcMount, "ignoring empty server mount option %s", qUtf8Printable(name));
            continue;
        }
        if (merged.value(name) != value)
            qCInfo(lcMount, "server override %s=%s", qUtf8Printable(name), qUtf8Printable(value));
        merged.insert(name, value);
    }
    return merged;
}

QStringList arguments(const QMap<QString, QString>& tuning) {
    // QMap keeps its keys in ascending order, which is byte order for these ASCII names.
    QStringList args;
    for (auto it = tuning.cbegin(); it != tuning.cend(); ++it)
        args << QStringLiteral("--") + it.key() << it.value();
    return args;
}

} // namespace MountTuning
