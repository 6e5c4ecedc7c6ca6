#include "tools/devserver/WorkspaceServer.h"

#include "tools/devserver/BodyLimit.h"
#include "tools/devserver/DemoSeed.h"
#include "tools/devserver/HttpJson.h"
#include "tools/devserver/RequestLog.h"

#include <sys/socket.h>

namespace {

// Every open event stream holds a thread for its lifetime, so the pool is far larger than
// the cores.
constexpr size_t kThreads = 64;

QString defaultMessage(int status) {
    switch (status) {
    case 400:
        return "Bad request";
    case 404:
        return "Not found";
    case 405:
        return "Method not allowed";
    case 413:
        return "Payload too large";
    case 414:
        return "URI too long";
    default:
        return "HTTP " + QString::number(status);
    }
}

void allowQuickRebind(socket_t sock) {
    // A restarted server takes its old port back while old connections linger in TIME_WAIT.
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

} // namespace

WorkspaceServer::WorkspaceServer(const QString& dataDir, const QString& downloadsDir, bool demo,
                                 const QString& updatesDir)
    : workspace_(dataDir), store_(workspace_), gate_(workspace_, faults_),
      accountRoutes_(workspace_, store_), eventRoutes_(hub_),
      adminRoutes_(workspace_, store_, faults_, hub_), downloadRoutes_(downloadsDir),
      tree_(workspace_), objects_(workspace_.dataDir() + "/objects"),
      filesRoutes_(tree_, objects_, hub_), objectRoutes_(objects_, tree_, hub_, faults_) {
    if (demo)
        DemoSeed::apply(workspace_);
    if (!updatesDir.isEmpty())
        updateRoutes_ = std::make_unique<UpdateRoutes>(updatesDir);
    configure();
}

void WorkspaceServer::configure() {
    using httplib::Request;
    using httplib::Response;
    http_.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    http_.set_socket_options(allowQuickRebind);
    // An answer's headers and body go out as separate writes; with Nagle's algorithm the
    // body of a small answer waits for the client's delayed acknowledgement, 40 ms a request.
    http_.set_tcp_nodelay(true);
    http_.set_payload_max_length(BodyLimit::kStreamedBytes);
    http_.set_pre_routing_handler([this](const Request& rq, Response& rs) {
        journal_.record(rq);
        if (BodyLimit::refuse(rq, rs))
            return httplib::Server::HandlerResponse::Handled;
        return gate_.handle(rq, rs);
    });
    http_.set_error_handler(httplib::Server::HandlerWithResponse([](const Request&, Response& rs) {
        if (!rs.body.empty() || rs.has_header("Content-Type"))
            return httplib::Server::HandlerResponse::Unhandled;
        HttpJson::sendError(rs, rs.status, defaultMessage(rs.status));
        return httplib::Server::HandlerResponse::Handled;
    }));
    http_.set_exception_handler([](const Request&, Response& rs, std::exception_ptr) {
        HttpJson::sendError(rs, 500, "Internal server error");
    });
    http_.set_logger([this](const Request& rq, const Response& rs) {
        faults_.takeDeferred(&rq); // one no route took must not reach a later request
        journal_.finish(rq, rs);
        if (rs.has_header(RequestGate::kCutMarker))
            RequestLog::write(rq.method, rq.path, "cut");
        else
            RequestLog::write(rq.method, rq.path, rs.status);
    });
    accountRoutes_.install(http_);
    eventRoutes_.install(http_);
    adminRoutes_.install(http_);
    if (updateRoutes_)
        updateRoutes_->install(http_); // before the downloads folder, which takes every name
    downloadRoutes_.install(http_);
    filesRoutes_.install(http_);
    objectRoutes_.install(http_);
    journal_.install(http_);
}

int WorkspaceServer::bind(quint16 port) {
    if (port == 0)
        return http_.bind_to_any_port("127.0.0.1");
    return http_.bind_to_port("127.0.0.1", port) ? port : -1;
}

int WorkspaceServer::bindTls(const QString& certificate, const QString& key) {
    tls_ = std::make_unique<TlsListener>(certificate, key);
    if (updateRoutes_)
        updateRoutes_->install(tls_->server());
    downloadRoutes_.install(tls_->server());
    const int port = tls_->bind();
    if (updateRoutes_ && port > 0)
        updateRoutes_->setTlsPort(port);
    return port;
}

bool WorkspaceServer::run() {
    if (tls_)
        tls_->start();
    const bool ok = http_.listen_after_bind();
    if (tls_) {
        tls_->stop();
        tls_->join();
    }
    return ok;
}

void WorkspaceServer::stop() {
    hub_.shutdown();
    faults_.shutdown();
    http_.stop();
    if (tls_)
        tls_->stop();
}
