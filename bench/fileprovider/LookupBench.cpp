#include "fileprovider/FileProviderExtension.h"
#include "fileprovider/SyncStatusStore.h"
#include "platform/AtomicFile.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "platform/fileprovider/host/HostObservers.h"
#include "shared/FileProviderConfig.h"
#include "shared/Identifiers.h"
#include "shared/SharedConfigPayload.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <memory>
#include <stdexcept>

namespace {

constexpr int kEntries = 1000;

void spinUntil(const std::function<bool()>& done) {
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(60'000);
    while (!done()) {
        if (!deadline.isActive())
            throw std::runtime_error("no answer in time");
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::WaitForMoreEvents);
    }
}

// A dev server on loopback with a signed-in home and a folder of 1,000 files.
struct Loopback {
    Loopback() {
        qputenv("HOME", home.path().toUtf8());
        server.setProgram(QStringLiteral(KELVANE_DEVSERVER_PATH));
        server.setArguments({"--demo", "--data", home.filePath("server")});
        server.setStandardErrorFile(QProcess::nullDevice());
        server.start();
        if (!server.waitForReadyRead(20'000))
            throw std::runtime_error("kelvane-devserver did not start");
        const QByteArray line = server.readLine().trimmed();
        base = QString::fromUtf8(line.mid(line.indexOf("http://")));
        const QString folder = home.filePath("server/filespaces/Team/Big");
        QDir().mkpath(folder);
        for (int i = 0; i < kEntries; ++i) {
            QFile f(folder + QStringLiteral("/file-%1.txt").arg(i, 4, 10, QChar('0')));
            f.open(QIODevice::WriteOnly);
            f.write("x");
        }
        signIn();
        FileProviderDomainRegistry().addDomain({Identifiers::kFileProviderDomain, "Kelvane"});
    }
    ~Loopback() {
        server.terminate();
        server.waitForFinished(10'000);
    }

    void signIn() {
        QNetworkAccessManager network;
        QNetworkRequest request(QUrl(base + "/api/auth/login"));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        QNetworkReply* reply =
            network.post(request, R"({"email":"demo@kelvane.test","password":"demo-password"})");
        spinUntil([&] { return reply->isFinished(); });
        SharedConfigPayload config;
        config.apiURL = base + "/api";
        config.token = QJsonDocument::fromJson(reply->readAll()).object().value("token").toString();
        reply->deleteLater();
        AtomicFile::write(FileProviderConfig::configFile(), config.toJson());
    }

    static Loopback& instance() {
        static Loopback loopback;
        return loopback;
    }

    QTemporaryDir home;
    QProcess server;
    QString base;
    SyncStatusStore ledger{home.filePath("ledger.json")};
    FileProviderExtension extension{{Identifiers::kFileProviderDomain, "Kelvane"}, ledger};
};

void BM_StatInOneFolderOf1000(benchmark::State& state) {
    Loopback& l = Loopback::instance();
    for (auto _ : state) {
        bool done = false;
        FileProviderItemPtr found;
        l.extension.item("/Team/Big/file-0500.txt",
                         [&](FileProviderItemPtr item, std::exception_ptr) {
                             found = std::move(item);
                             done = true;
                         });
        spinUntil([&] { return done; });
        if (!found)
            state.SkipWithError("the look-up failed");
    }
}
BENCHMARK(BM_StatInOneFolderOf1000)->Unit(benchmark::kMillisecond);

void BM_LsOfAFolderOf1000(benchmark::State& state) {
    Loopback& l = Loopback::instance();
    for (auto _ : state) {
        auto enumerator = l.extension.enumerator("/Team/Big");
        auto collector = std::make_shared<ItemCollector>(HostWakeup::make());
        enumerator->enumerateItems(collector, {});
        spinUntil([&] { return collector->isFinished(); });
        if (collector->items().size() != kEntries)
            state.SkipWithError("the listing was incomplete");
    }
}
BENCHMARK(BM_LsOfAFolderOf1000)->Unit(benchmark::kMillisecond);

// The whole host program per call, process start included.
void BM_HostProgram(benchmark::State& state) {
    Loopback& l = Loopback::instance();
    const QStringList args = state.range(0) == 0 ? QStringList{"stat", "/Team/Big/file-0500.txt"}
                                                 : QStringList{"ls", "/Team/Big"};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", l.home.path());
    env.insert("QT_LOGGING_RULES", "com.30814qv.kelvane.*.info=false");
    for (auto _ : state) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KELVANE_FILEPROVIDER_PATH), args);
        p.waitForFinished(60'000);
        if (p.exitCode() != 0)
            state.SkipWithError("the host failed");
    }
    state.SetLabel(args.first().toStdString());
}
BENCHMARK(BM_HostProgram)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
