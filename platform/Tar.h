#pragma once

#include "platform/ChildProcess.h"

#include <QCoroTask>
#include <QString>
#include <chrono>

// The system's tar, the one tool that unpacks downloaded archives.
namespace Tar {

inline const QString kProgram = QStringLiteral("/usr/bin/tar");

// Unpacks a gzip-compressed archive into an existing folder; the tool's result (never throws).
QCoro::Task<ChildProcess::Result> extractGzip(QString archive, QString folder,
                                              std::chrono::milliseconds limit);

} // namespace Tar
