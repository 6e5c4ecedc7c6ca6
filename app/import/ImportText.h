#pragma once

#include "app/import/ImportState.h"

#include <QString>

// The words an import is shown in, shared by the popover, the command line and the logs.
namespace ImportText {

// Powers of 1024: "%.1f GB", "%.0f MB", else "%.0f KB".
QString formatBytes(qint64 bytes);
// "N sec" (at least 1), "N min", "H hr" or "H hr M min".
QString formatDuration(double seconds);

// While running: "H of S files" ("+ files" while the scan goes on), then the copied size, the
// rate, "about … left" and the failure count, as they apply; joined with " · ".
QString importLine(const ImportProgress& progress);

// "Importing", "Import complete", "Import finished with errors", "Import failed",
// "Import cancelled"; empty when idle.
QString title(const ImportState& state);
// The finished summary: "C files · SIZE · DURATION" and ", F failed" when some failed.
QString finishedSummary(const ImportState& state);
// One line for any state: the title and, where there is one, its detail.
QString describe(const ImportState& state);

} // namespace ImportText
