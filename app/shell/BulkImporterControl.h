#pragma once

#include "app/shell/CommandSeams.h"

class BulkImporter;

// The application's commands start imports through this; the importer publishes the rest.
class BulkImporterControl : public ImportControl {
public:
    explicit BulkImporterControl(BulkImporter& importer) : importer_(importer) {}
    void start(const QString& source, const Filespace& filespace, const QString& juicefs,
               const std::optional<QString>& destinationSubpath) override;

private:
    BulkImporter& importer_;
};
