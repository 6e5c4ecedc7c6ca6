#include "app/import/ImportAction.h"

#include "app/import/BulkImporter.h"
#include "app/mount/MountManager.h"

#include <QStringList>

namespace ImportAction {

std::optional<Refusal> check(const MountManager& mounts) {
    if (mounts.filespaces().isEmpty())
        return Refusal{QStringLiteral("No drive available"),
                       QStringLiteral("Wait for Kelvane to finish mounting, then try again.")};
    if (!mounts.juicefsBinary())
        return Refusal{
            QStringLiteral("Drive engine missing"),
            QStringLiteral("Kelvane couldn't find its juicefs binary. Reinstall the app.")};
    return std::nullopt;
}

std::optional<Refusal> start(BulkImporter& importer, const MountManager& mounts,
                             const QString& source, const std::optional<QString>& filespaceName) {
    if (importer.state().isRunning())
        return Refusal{kBusyTitle, QStringLiteral("%1 is being copied into %2; wait for it to "
                                                  "finish or cancel it first.")
                                       .arg(importer.source(), importer.filespaceName())};
    if (const auto refusal = check(mounts))
        return refusal;
    const QList<Filespace> filespaces = mounts.filespaces();
    std::optional<Filespace> target;
    if (!filespaceName)
        target = filespaces.first();
    for (const Filespace& f : filespaces)
        if (!target && (f.name == *filespaceName || f.mountName == *filespaceName))
            target = f;
    if (!target) {
        QStringList names;
        for (const Filespace& f : filespaces)
            names << f.name;
        return Refusal{QStringLiteral("No such filespace"),
                       QStringLiteral("There is no filespace named \"%1\". Filespaces: %2.")
                           .arg(*filespaceName, names.join(QStringLiteral(", ")))};
    }
    importer.start(source, *target, *mounts.juicefsBinary());
    return std::nullopt;
}

} // namespace ImportAction

QJsonObject ImportAction::snapshot(const BulkImporter& importer) {
    QJsonObject o = toJson(importer.state());
    o.insert("id", QString::number(importer.importId()));
    if (!importer.source().isEmpty()) {
        o.insert("source", importer.source());
        o.insert("filespace", importer.filespaceName());
    }
    if (!importer.logFile().isEmpty())
        o.insert("logFile", importer.logFile());
    return o;
}
