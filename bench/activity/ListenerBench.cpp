#include "app/activity/SyncListener.h"
#include "app/api/APIClient.h"
#include "app/fileprovider-domain/FileProviderManager.h"
#include "app/settings/Keychain.h"
#include "platform/FileViewer.h"
#include "platform/UserDefaults.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "shared/WaitForTask.h"
#include "tests/support/InMemoryCredentialStore.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

namespace {

struct NoViewer : FileViewer {
    void openFolder(const QString&) override {}
    void selectItem(const QString&) override {}
};

// A loopback event-stream server: answers the listener's request with stream headers and
// then sends whatever the benchmark pushes.
class StreamServer {
public:
    StreamServer() {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            client_ = server_.nextPendingConnection();
            QObject::connect(client_, &QTcpSocket::readyRead, client_, [socket = client_] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n"
                              "Cache-Control: no-cache\r\nConnection: close\r\n\r\n");
            });
        });
    }
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/api").arg(server_.serverPort());
    }
    void push(const QByteArray& bytes) {
        if (client_)
            client_->write(bytes);
    }

private:
    QTcpServer server_;
    QPointer<QTcpSocket> client_;
};

void spinUntil(const std::function<bool()>& done) {
    while (!done()) {
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// Change events the listener takes in per second while its refreshes stay rate-limited.
void BM_ListenerAbsorbsChangeEvents(benchmark::State& state) {
    QTemporaryDir home;
    const QByteArray previousHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    {
        StreamServer stream;
        UserDefaults defaults;
        InMemoryCredentialStore store;
        Keychain keychain{store};
        QNetworkAccessManager network;
        APIClient api{defaults, keychain, network};
        api.setBaseURL(QUrl(stream.url()));
        keychain.save(Keychain::kTokenKey, "bench-token");
        WaitForTask::run(api.reloadToken());
        FileProviderDomainRegistry registry;
        NoViewer viewer;
        FileProviderManager fileProvider{registry, viewer};
        SyncListener listener(api, fileProvider);
        qint64 received = 0, refreshes = 0;
        bool opened = false;
        QObject::connect(&listener, &SyncListener::fileChangeReceived, [&] { ++received; });
        QObject::connect(&listener, &SyncListener::streamOpened, [&] { opened = true; });
        QObject::connect(&fileProvider, &FileProviderManager::refreshed, [&] { ++refreshes; });
        listener.start();
        spinUntil([&] { return opened; });

        const int batch = static_cast<int>(state.range(0));
        QByteArray events;
        for (int i = 0; i < batch; ++i)
            events += "event: file-change\ndata: {\"path\":\"/Team/folder/file-" +
                      QByteArray::number(i) + ".txt\"}\n\n";
        const auto started = std::chrono::steady_clock::now();
        for (auto _ : state) {
            const qint64 target = received + batch;
            stream.push(events);
            spinUntil([&] { return received >= target; });
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        state.SetItemsProcessed(received);
        state.counters["refreshes"] = static_cast<double>(refreshes);
        state.counters["allowed"] = 1 + seconds / 3.0; // one at once, then one per 3 s window
        listener.stop();
    }
    qputenv("HOME", previousHome);
}
BENCHMARK(BM_ListenerAbsorbsChangeEvents)
    ->Arg(100)
    ->Arg(1000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
