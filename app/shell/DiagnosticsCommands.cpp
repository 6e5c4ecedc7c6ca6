#include "app/shell/DiagnosticsCommands.h"

#include "app/diagnostics/Diagnostics.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/InstanceChannel.h"

namespace DiagnosticsCommands {

namespace {

QCoro::Task<QJsonObject> writeReport(AppDelegate& delegate) {
    Diagnostics::Sources sources = co_await delegate.diagnosticsSources();
    const std::optional<QString> path = co_await Diagnostics::exportReport(std::move(sources));
    if (!path)
        co_return QJsonObject{{"title", kFailureTitle}, {"error", kFailureText}};
    co_return QJsonObject{{"path", *path}};
}

} // namespace

void registerDiagnostics(InstanceChannel& channel, AppDelegate& delegate) {
    channel.handle("diagnostics", InstanceChannel::Handler(
                                      [&delegate](QJsonObject) { return writeReport(delegate); }));
}

} // namespace DiagnosticsCommands
