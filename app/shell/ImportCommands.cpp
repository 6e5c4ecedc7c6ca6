#include "app/shell/ImportCommands.h"

#include "app/import/BulkImporter.h"
#include "app/import/ImportAction.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/InstanceChannel.h"

namespace ImportCommands {

void registerImport(InstanceChannel& channel, AppDelegate& delegate) {
    using Answer = InstanceChannel::Answer;
    channel.handle("import", Answer([&delegate](const QJsonObject& request) {
                       const QString source = request.value("source").toString();
                       if (source.isEmpty())
                           return QJsonObject{{"error", "No folder given."}};
                       std::optional<QString> filespace;
                       if (request.value("filespace").isString())
                           filespace = request.value("filespace").toString();
                       BulkImporter& importer = delegate.importer();
                       const auto refusal = ImportAction::start(importer, delegate.mountManager(),
                                                                source, filespace);
                       QJsonObject answer{{"import", ImportAction::snapshot(importer)}};
                       if (refusal) {
                           answer.insert("title", refusal->title);
                           answer.insert("error", refusal->text);
                       } else {
                           answer.insert("ok", true);
                       }
                       return answer;
                   }));
    channel.handle("importStatus", Answer([&delegate](const QJsonObject&) {
                       return QJsonObject{{"import", ImportAction::snapshot(delegate.importer())}};
                   }));
    channel.handle("importCancel", Answer([&delegate](const QJsonObject& request) {
                       BulkImporter& importer = delegate.importer();
                       if (request.value("id").toString() == QString::number(importer.importId()))
                           importer.cancel();
                       return QJsonObject{{"import", ImportAction::snapshot(importer)}};
                   }));
}

} // namespace ImportCommands
