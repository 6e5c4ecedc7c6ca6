#pragma once

#include "app/import/ImportState.h"

#include <QCoroTask>
#include <QString>
#include <optional>

// `kelvane import FOLDER [--filespace NAME]`: asks the running instance to copy the folder
// into a filespace (the first one unless named), then follows the import: a one-line progress
// bar redrawn in place on a terminal, a plain line every few seconds otherwise, and the
// outcome. Ctrl-C cancels the import (a second one stops waiting).
class ImportCommand {
public:
    // 0 finished without failures, 1 failed (or finished with failures, or no instance),
    // 130 cancelled.
    static QCoro::Task<int> run(QString folder, std::optional<QString> filespace);

    static int exitCode(const ImportState& state);
    // "[#######.....] " and the import line, cut to fit `columns`.
    static QString barLine(const ImportProgress& progress, int columns);
};
