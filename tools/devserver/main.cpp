#include "tools/devserver/ServerOptions.h"
#include "tools/devserver/WorkspaceServer.h"

#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

int serve(const ServerOptions& options) {
    QTemporaryDir scratch(QDir::tempPath() + "/kelvane-devserver-XXXXXX");
    const QString dataDir = options.dataDir.isEmpty() ? scratch.path() : options.dataDir;
    WorkspaceServer server(dataDir, options.downloadsDir, options.demo, options.updatesDir);
    const int port = server.bind(options.port);
    if (port < 0) {
        std::fprintf(stderr, "kelvane-devserver: cannot listen on 127.0.0.1:%u\n", options.port);
        return 1;
    }
    if (!options.tlsCertificate.isEmpty()) {
        const int tlsPort = server.bindTls(options.tlsCertificate, options.tlsKey);
        if (tlsPort < 0) {
            std::fprintf(stderr, "kelvane-devserver: cannot listen for HTTPS on 127.0.0.1\n");
            return 1;
        }
        // Before the plain line, which tells a waiting client that the server is up.
        std::printf("listening on https://127.0.0.1:%d\n", tlsPort);
    }
    // Stop stopSet are taken by one thread that winds the server down outside signal context.
    const sigset_t stopSet = stopSignals();
    std::atomic<bool> signalled = false;
    std::thread waiter([&] {
        int received = 0;
        sigwait(&stopSet, &received);
        signalled = true;
        server.stop();
    });
    std::printf("listening on http://127.0.0.1:%d\n", port);
    std::fflush(stdout);
    const bool ok = server.run();
    if (!signalled)
        kill(getpid(), SIGTERM); // wakes the waiter; the signal stays blocked everywhere
    waiter.join();
    return ok || signalled ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QString error;
    const auto options = ServerOptions::parse(arguments, &error);
    if (!options) {
        std::fprintf(stderr, "kelvane-devserver: %s\n%s\n", qPrintable(error),
                     qPrintable(ServerOptions::usage()));
        return 2;
    }
    // Blocked before any thread exists, so every thread inherits the mask.
    const sigset_t stopSet = stopSignals();
    pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);
    std::signal(SIGPIPE, SIG_IGN); // a client that hangs up must not end the server
    try {
        return serve(*options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelvane-devserver: %s\n", e.what());
        return 1;
    }
}
