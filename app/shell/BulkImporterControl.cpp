#include "app/shell/BulkImporterControl.h"

#include "app/import/BulkImporter.h"

void BulkImporterControl::start(const QString& source, const Filespace& filespace,
                                const QString& juicefs,
                                const std::optional<QString>& destinationSubpath) {
    importer_.start(source, filespace, juicefs, destinationSubpath);
}
