#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

class BulkImporter;
class MountManager;

// The import command as the popover and the command line give it: into the first filespace
// (or the one named), with the engine the drives use. A refusal carries the alert's title and
// text.
namespace ImportAction {

struct Refusal {
    QString title;
    QString text;
};

// Whether an import can be asked for at all: a filespace to import into and an engine.
std::optional<Refusal> check(const MountManager& mounts);
// Starts the import of `source` into the named filespace (its name or mount name), or the
// first one. An import already running is left alone (refused with the "busy" title).
std::optional<Refusal> start(BulkImporter& importer, const MountManager& mounts,
                             const QString& source, const std::optional<QString>& filespaceName);

// The importer's state with the import it is about, as the instance reports it:
// {"id", "source", "filespace", "logFile", "state", …the state's fields}.
QJsonObject snapshot(const BulkImporter& importer);

inline const QString kBusyTitle = QStringLiteral("An import is already running");

} // namespace ImportAction
