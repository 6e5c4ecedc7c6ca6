#pragma once

#include <QString>
#include <httplib.h>
#include <memory>
#include <thread>

// The dev server's HTTPS listener on 127.0.0.1 (--tls-cert, --tls-key), on a port of its own
// beside the plain one, serving on its own thread.
class TlsListener {
public:
    // Throws std::runtime_error when the certificate or key cannot be used.
    TlsListener(const QString& certificate, const QString& key);
    ~TlsListener();

    httplib::Server& server() { return *server_; }
    // Binds 127.0.0.1 on a free port; the port, or -1.
    int bind();
    void start();
    // Ends the listener; callable from any thread, more than once.
    void stop();
    // Waits for the listener's thread; from the thread that started it.
    void join();

private:
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
};
