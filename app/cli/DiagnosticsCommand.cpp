#include "app/cli/DiagnosticsCommand.h"

#include "app/cli/CliServices.h"
#include "app/diagnostics/Diagnostics.h"
#include "app/mount/MountManager.h"
#include "app/shell/DiagnosticsCommands.h"
#include "app/shell/InstanceChannel.h"
#include "platform/LaunchAtLogin.h"
#include "shared/KelvaneError.h"

#include <cstdio>

namespace {

using namespace std::chrono_literals;

constexpr int kPingLimitMs = 2'000;
// Every tool of the report has its own limit; this covers them all.
constexpr int kReportLimitMs = 120'000;

void write(FILE* stream, const QString& text) {
    std::fputs((text + '\n').toUtf8().constData(), stream);
    std::fflush(stream);
}

int failed() {
    write(stderr, QString::fromUtf8(DiagnosticsCommands::kFailureTitle) + QString::fromUtf8(". ") +
                      QString::fromUtf8(DiagnosticsCommands::kFailureText));
    return 1;
}

} // namespace

DiagnosticsCommand::DiagnosticsCommand(CliServices& services) : services_(services) {}

QCoro::Task<int> DiagnosticsCommand::run() {
    const QJsonObject ping{{"command", "ping"}};
    if (!InstanceChannel::ask(ping, kPingLimitMs))
        co_return co_await writeHere();
    const QJsonObject request{{"command", "diagnostics"}};
    const auto answer = InstanceChannel::ask(request, kReportLimitMs);
    if (!answer) {
        write(stderr, QString::fromUtf8("Kelvane did not answer in time; no report was written."));
        co_return 1;
    }
    if (!answer->contains("path"))
        co_return failed();
    write(stdout, answer->value("path").toString());
    co_return 0;
}

QCoro::Task<int> DiagnosticsCommand::writeHere() {
    Diagnostics::Sources sources;
    sources.settings = AppSettings::load(services_.defaults);
    sources.storedToken = services_.keychain.get(Keychain::kTokenKey);
    if (sources.storedToken) {
        // The drives' states are unknown here, but the list of filespaces is worth asking for.
        services_.api.setRequestTimeout(10s);
        try {
            sources.filespaces = co_await services_.api.fetchFilespaces();
        } catch (const KelvaneError&) {
        }
    }
    MountManager mounts(services_.defaults, services_.network, nullptr);
    sources.loginItemStatus = int(LaunchAtLogin::status());
    sources.fileManagerExtension = QString::fromUtf8("unknown");
    sources.fuseInstalled = mounts.isFUSEAvailable();
    sources.juicefs = mounts.juicefsBinary();
    sources.version = QString::fromUtf8(KELVANE_VERSION);
    sources.build = QString::fromUtf8(KELVANE_BUILD);
    const auto path = co_await Diagnostics::exportReport(std::move(sources));
    if (!path)
        co_return failed();
    write(stdout, *path);
    co_return 0;
}
