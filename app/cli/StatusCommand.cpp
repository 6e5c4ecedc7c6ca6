#include "app/cli/StatusCommand.h"

#include "app/cli/CliServices.h"
#include "app/settings/AppSettings.h"
#include "app/shell/InstanceChannel.h"
#include "app/shell/StatusSnapshot.h"
#include "platform/CredentialStore.h"
#include "shared/KelvaneError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QTextStream>

StatusCommand::StatusCommand(CliServices& services) : services_(services) {}

QCoro::Task<QJsonObject> StatusCommand::collect() {
    APIClient& api = services_.api;
    // Nobody waits a minute for a status line: a server this slow counts as unreachable.
    api.setRequestTimeout(std::chrono::seconds(10));
    co_await api.reloadToken();
    const AppSettings settings = AppSettings::load(services_.defaults);
    QJsonObject report{{"signedIn", api.isLoggedIn()},
                       {"server", services_.defaults.string(DefaultsKeys::kApiURL).value_or("")},
                       {"credentialStore", services_.keychain.storeKind()}};
    if (api.tokenState() == APIClient::TokenState::unavailable)
        report.insert("error", CredentialsUnavailable().description());
    if (!api.isLoggedIn())
        co_return report;
    try {
        report.insert("user", (co_await api.fetchMe()).toJson());
        QJsonArray filespaces;
        for (const Filespace& f : co_await api.fetchFilespaces()) {
            QJsonObject o = f.toJson();
            o.insert("mount_path", settings.mountPoint + '/' + f.mountName);
            filespaces.append(o);
        }
        report.insert("filespaces", filespaces);
        report.insert("storage", (co_await api.getStorageStats()).toJson());
    } catch (const KelvaneError& e) {
        report.insert("error", e.description());
    }
    co_return report;
}

QString StatusCommand::renderText(const QJsonObject& report) {
    QString text;
    QTextStream out(&text);
    if (!report.value("signedIn").toBool()) {
        // A locked keyring says nothing about the session: say that, not "signed out".
        if (report.contains("error"))
            out << report.value("error").toString() << "\n";
        else
            out << "Not signed in.\n";
        return text;
    }
    const QJsonObject user = report.value("user").toObject();
    if (user.isEmpty())
        out << "Signed in (user unknown)\n";
    else
        out << "Signed in as " << user.value("name").toString() << " <"
            << user.value("email").toString() << ">\n";
    out << "Server: " << report.value("server").toString() << "\n";
    if (report.contains("filespaces")) {
        out << "Filespaces:\n";
        for (const QJsonValue& v : report.value("filespaces").toArray())
            out << "  " << v["name"].toString() << "  " << v["mount_path"].toString() << "\n";
    }
    if (report.contains("storage")) {
        const QJsonObject s = report.value("storage").toObject();
        out << "Storage: " << QLocale::c().formattedDataSize(s.value("used_bytes").toInteger())
            << " in " << s.value("file_count").toInteger() << " files, "
            << s.value("dir_count").toInteger() << " folders\n";
    }
    if (report.contains("error"))
        out << "Error: " << report.value("error").toString() << "\n";
    return text;
}

QCoro::Task<int> StatusCommand::run(bool json) {
    QTextStream out(stdout);
    if (const auto snapshot = InstanceChannel::ask({{"command", "status"}})) {
        if (json)
            out << QJsonDocument(*snapshot).toJson(QJsonDocument::Indented);
        else
            out << StatusSnapshot::renderText(*snapshot);
        co_return 0;
    }
    QJsonObject report = co_await collect();
    report.insert("running", false);
    if (!json)
        out << "Kelvane is not running.\n";
    if (json)
        out << QJsonDocument(report).toJson(QJsonDocument::Indented);
    else
        out << renderText(report);
    co_return report.contains("error") ? 1 : 0;
}
