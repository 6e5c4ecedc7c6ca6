#include "tools/devserver/TlsListener.h"

#include "tools/devserver/RequestLog.h"

#include <stdexcept>

TlsListener::TlsListener(const QString& certificate, const QString& key)
    : server_(std::make_unique<httplib::SSLServer>(certificate.toLocal8Bit().constData(),
                                                   key.toLocal8Bit().constData())) {
    if (!server_->is_valid())
        throw std::runtime_error("cannot use the TLS certificate " + certificate.toStdString() +
                                 " with its key " + key.toStdString());
    server_->set_logger([](const httplib::Request& rq, const httplib::Response& rs) {
        RequestLog::write(rq.method, rq.path, rs.status);
    });
}

TlsListener::~TlsListener() {
    stop();
    join();
}

int TlsListener::bind() {
    return server_->bind_to_any_port("127.0.0.1");
}

void TlsListener::start() {
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

void TlsListener::stop() {
    server_->stop();
}

void TlsListener::join() {
    if (thread_.joinable())
        thread_.join();
}
