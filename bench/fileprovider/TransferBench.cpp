// Transfers of the file-provider extension side by side with curl, against the dev server on
// loopback: a whole-file download, a multipart upload (with the uploader's peak memory) and a
// sequential reader asking for 1 MiB ranges through a serve session.
//   fileprovider_transfer_bench [SIZE_MIB [download] [upload] [read]]   (1024, all by default)
#include "fileprovider/FileProviderExtension.h"
#include "fileprovider/MultipartUploader.h"
#include "fileprovider/SyncStatusStore.h"
#include "platform/AtomicFile.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "shared/FileProviderConfig.h"
#include "shared/Identifiers.h"
#include "shared/SharedConfigPayload.h"
#include "shared/WaitForTask.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <stdexcept>

namespace {

constexpr qint64 kMiB = 1024 * 1024;
const QString kCurl = QStringLiteral("/usr/bin/curl");

void spinUntil(const std::function<bool()>& done, int limitMs = 600'000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs)
            throw std::runtime_error("no answer in time");
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

double mibPerSecond(qint64 bytes, qint64 ms) {
    return double(bytes) / double(kMiB) / (double(std::max<qint64>(ms, 1)) / 1000.0);
}

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
        signIn();
        FileProviderDomainRegistry().addDomain({Identifiers::kFileProviderDomain, "Kelvane"});
    }
    ~Loopback() {
        server.terminate();
        server.waitForFinished(10'000);
    }

    QJsonObject post(const QString& path, const QJsonObject& body, bool auth = true) {
        QNetworkRequest request(QUrl(base + "/api" + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        if (auth)
            request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        QNetworkReply* reply = network.post(request, QJsonDocument(body).toJson());
        spinUntil([&] { return reply->isFinished(); });
        reply->deleteLater();
        return QJsonDocument::fromJson(reply->readAll()).object();
    }
    QJsonArray journal() {
        QNetworkReply* reply = network.get(QNetworkRequest(QUrl(base + "/admin/requests")));
        spinUntil([&] { return reply->isFinished(); });
        reply->deleteLater();
        return QJsonDocument::fromJson(reply->readAll()).object().value("requests").toArray();
    }
    void clearJournal() {
        QNetworkReply* reply =
            network.sendCustomRequest(QNetworkRequest(QUrl(base + "/admin/requests")), "DELETE");
        spinUntil([&] { return reply->isFinished(); });
        reply->deleteLater();
    }
    void signIn() {
        token = post("/auth/login", {{"email", "demo@kelvane.test"}, {"password", "demo-password"}},
                     false)
                    .value("token")
                    .toString();
        SharedConfigPayload config;
        config.apiURL = base + "/api";
        config.token = token;
        AtomicFile::write(FileProviderConfig::configFile(), config.toJson());
    }
    QString filespaceFile(const QString& name) const {
        return home.filePath("server/filespaces/Team/" + name);
    }

    QTemporaryDir home;
    QProcess server;
    QString base;
    QString token;
    QNetworkAccessManager network;
    SyncStatusStore ledger{home.filePath("ledger.json")};
};

void writeSource(const QString& path, qint64 size) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray block(kMiB, Qt::Uninitialized);
    quint32 x = 7;
    for (qint64 written = 0; written < size; written += kMiB) {
        for (qint64 i = 0; i < kMiB; i += 4) {
            x = x * 1664525u + 1013904223u;
            memcpy(block.data() + i, &x, 4);
        }
        f.write(block.constData(), std::min(kMiB, size - written));
    }
}

int runCurl(const QStringList& args) {
    QProcess curl;
    curl.start(kCurl, args);
    curl.waitForFinished(-1);
    return curl.exitStatus() == QProcess::NormalExit ? curl.exitCode() : -1;
}

qint64 ourDownload(Loopback& l, FileProviderExtension& extension, qint64 size) {
    QElapsedTimer clock;
    clock.start();
    bool done = false;
    std::optional<QString> file;
    extension.fetchContents("/Team/big.bin", {},
                            [&](std::optional<QString> f, FileProviderItemPtr, std::exception_ptr) {
                                file = std::move(f);
                                done = true;
                            });
    spinUntil([&] { return done; });
    const qint64 ms = clock.elapsed();
    if (!file || QFileInfo(*file).size() != size)
        throw std::runtime_error("the download failed");
    QFile::remove(*file);
    (void)l;
    return ms;
}

qint64 curlDownload(Loopback& l, const QString& out) {
    const QString url =
        l.post("/files/presign-download", {{"path", "/Team/big.bin"}}).value("url").toString();
    QElapsedTimer clock;
    clock.start();
    if (runCurl({"-s", "-f", "-o", out, url}) != 0)
        throw std::runtime_error("curl could not download");
    const qint64 ms = clock.elapsed();
    QFile::remove(out);
    return ms;
}

struct UploadRun {
    qint64 ms = 0;
    // Until the last part ended, without the server's assembly and import.
    qint64 partsMs = 0;
    qint64 peakKiB = 0;
};

qint64 peakKiBOf(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// `kelvane-fileprovider put` as the system would run it, its peak memory watched while it runs.
UploadRun hostPut(Loopback& l, const QString& source, const QString& dest) {
    QProcess host;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", l.home.path());
    env.insert("QT_LOGGING_RULES", "com.30814qv.kelvane.*.info=false\n"
                                   "com.30814qv.kelvane.fileprovider.multipart.debug=true");
    env.insert("QT_MESSAGE_PATTERN", "%{message}");
    host.setProcessEnvironment(env);
    host.setStandardOutputFile(QProcess::nullDevice());
    UploadRun run;
    QElapsedTimer clock;
    clock.start();
    host.start(QStringLiteral(KELVANE_FILEPROVIDER_PATH),
               {"--timeout", "600", "put", source, dest});
    host.waitForStarted();
    const qint64 pid = host.processId();
    while (!host.waitForFinished(10))
        run.peakKiB = std::max(run.peakKiB, peakKiBOf(pid));
    run.ms = clock.elapsed();
    const QString log = QString::fromUtf8(host.readAllStandardError());
    if (host.exitCode() != 0)
        throw std::runtime_error("kelvane-fileprovider put failed: " + log.toStdString());
    static const QRegularExpression partsLine(QStringLiteral("parts ended after ([0-9.]+) s"));
    const auto match = partsLine.match(log);
    run.partsMs = match.hasMatch() ? qint64(match.captured(1).toDouble() * 1000.0) : run.ms;
    return run;
}

qint64 curlUpload(Loopback& l, const QString& source, qint64 size, const QString& scratch) {
    const QJsonObject init = l.post("/files/direct-multipart-init", {{"path", "/Team/curl.bin"}});
    const QString key = init.value("key").toString();
    const QString uploadId = init.value("s3UploadId").toString();
    QStringList args{"-s", "-f", "-o", "/dev/null", "--parallel", "--parallel-max", "8"};
    QFile in(source);
    in.open(QIODevice::ReadOnly);
    const qint64 parts = MultipartUploader::partCount(size);
    for (qint64 n = 1; n <= parts; ++n) {
        const QString part = scratch + QStringLiteral("/part-%1").arg(n);
        QFile out(part);
        out.open(QIODevice::WriteOnly);
        out.write(in.read(MultipartUploader::kPartSize));
        const QString url = l.post("/files/direct-multipart-part-url",
                                   {{"key", key}, {"s3UploadId", uploadId}, {"partNumber", n}})
                                .value("url")
                                .toString();
        args << "-T" << part << url;
    }
    QElapsedTimer clock;
    clock.start();
    if (runCurl(args) != 0)
        throw std::runtime_error("curl could not upload");
    const qint64 ms = clock.elapsed();
    l.post("/files/direct-multipart-abort", {{"key", key}, {"s3UploadId", uploadId}});
    for (qint64 n = 1; n <= parts; ++n)
        QFile::remove(scratch + QStringLiteral("/part-%1").arg(n));
    return ms;
}

struct ReadRun {
    qint64 ms = 0;
    qint64 startMs = 0;
    int objectRequests = 0;
};

// A reader as an application is one: each 1 MiB read asked once the one before was answered,
// timed from the first read to the last answer (the host's start is told apart).
ReadRun sequentialReads(Loopback& l, qint64 size) {
    l.clearJournal();
    QProcess host;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", l.home.path());
    env.insert("QT_LOGGING_RULES", "com.30814qv.kelvane.*.info=false");
    host.setProcessEnvironment(env);
    host.setStandardErrorFile(QProcess::nullDevice());
    const auto answered = [&host] {
        while (true) {
            while (!host.canReadLine()) {
                if (!host.waitForReadyRead(600'000))
                    throw std::runtime_error("kelvane-fileprovider serve stopped answering");
            }
            const QByteArray line = host.readLine();
            if (line.startsWith("-- exit ")) {
                if (line.trimmed() != "-- exit 0")
                    throw std::runtime_error("a read failed: " + line.toStdString());
                return;
            }
        }
    };
    QElapsedTimer clock;
    clock.start();
    host.start(QStringLiteral(KELVANE_FILEPROVIDER_PATH), {"--timeout", "600", "serve"});
    host.write("pins\n");
    answered();
    ReadRun run;
    run.startMs = clock.restart();
    for (qint64 offset = 0; offset < size; offset += kMiB) {
        host.write(
            QStringLiteral("read /Team/big.bin %1 %2 /dev/null\n").arg(offset).arg(kMiB).toUtf8());
        answered();
    }
    run.ms = clock.elapsed();
    host.write("quit\n");
    host.closeWriteChannel();
    host.waitForFinished(-1);
    for (const QJsonValue& v : l.journal())
        run.objectRequests += v.toObject().value("path").toString().startsWith("/objects/") ? 1 : 0;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_LOGGING_RULES", "com.30814qv.kelvane.*.info=false");
    QCoreApplication app(argc, argv);
    const qint64 size = (argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024) * kMiB;
    QStringList parts = QCoreApplication::arguments().mid(2);
    if (parts.isEmpty())
        parts = {"download", "upload", "read"};
    try {
        Loopback l;
        writeSource(l.filespaceFile("big.bin"), size);
        const QString scratch = l.home.filePath("scratch");
        QDir().mkpath(scratch);
        FileProviderExtension::Services services;
        services.ledger = &l.ledger;
        FileProviderExtension extension({Identifiers::kFileProviderDomain, "Kelvane"}, services);

        qint64 ours = std::numeric_limits<qint64>::max(), curl = ours;
        for (int i = 0; i < 3 && (parts.contains("download") || parts.contains("read")); ++i) {
            ours = std::min(ours, ourDownload(l, extension, size));
            curl = std::min(curl, curlDownload(l, scratch + "/curl.bin"));
        }
        if (parts.contains("download"))
            std::printf("download %lld MiB: extension %.0f MiB/s, curl %.0f MiB/s, ratio %.2f\n",
                        size / kMiB, mibPerSecond(size, ours), mibPerSecond(size, curl),
                        double(curl) / double(ours));

        UploadRun up{std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max(), 0};
        UploadRun idle{0, 0, 0};
        qint64 curlUp = std::numeric_limits<qint64>::max();
        if (parts.contains("upload")) {
            // Idle: the same program uploading a file too small to hold anything back.
            QFile tiny(scratch + "/tiny");
            tiny.open(QIODevice::WriteOnly);
            tiny.write("x");
            tiny.close();
            idle = hostPut(l, tiny.fileName(), "/Team/tiny.bin");
        }
        for (int i = 0; i < 3 && parts.contains("upload"); ++i) {
            const UploadRun run =
                hostPut(l, l.filespaceFile("big.bin"), QStringLiteral("/Team/up-%1.bin").arg(i));
            up.ms = std::min(up.ms, run.ms);
            up.partsMs = std::min(up.partsMs, run.partsMs);
            up.peakKiB = std::max(up.peakKiB, run.peakKiB);
            curlUp = std::min(curlUp, curlUpload(l, l.filespaceFile("big.bin"), size, scratch));
            QFile::remove(l.filespaceFile(QStringLiteral("up-%1.bin").arg(i)));
        }
        if (parts.contains("upload"))
            std::printf(
                "multipart upload %lld MiB: extension %.0f MiB/s (parts alone %.0f MiB/s), curl "
                "--parallel-max 8 %.0f MiB/s, ratio %.2f (parts alone %.2f); uploader memory idle "
                "%lld MiB, peak %lld MiB (+%lld MiB)\n",
                size / kMiB, mibPerSecond(size, up.ms), mibPerSecond(size, up.partsMs),
                mibPerSecond(size, curlUp), double(curlUp) / double(up.ms),
                double(curlUp) / double(up.partsMs), idle.peakKiB / 1024, up.peakKiB / 1024,
                (up.peakKiB - idle.peakKiB) / 1024);

        if (!parts.contains("read"))
            return 0;
        ReadRun reads{std::numeric_limits<qint64>::max(), 0, 0};
        for (int i = 0; i < 3; ++i) {
            const ReadRun run = sequentialReads(l, size);
            if (run.ms < reads.ms)
                reads = run;
        }
        std::printf("sequential 1 MiB reads over %lld MiB: %.0f MiB/s, %.2f x the whole download, "
                    "%d object requests for %lld reads (the host started in %lld ms)\n",
                    size / kMiB, mibPerSecond(size, reads.ms), double(ours) / double(reads.ms),
                    reads.objectRequests, size / kMiB, reads.startMs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fileprovider_transfer_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
