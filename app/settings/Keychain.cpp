#include "app/settings/Keychain.h"

#include "platform/CredentialStore.h"
#include "shared/Identifiers.h"

#include <QCoroFuture>
#include <QThreadPool>
#include <QtConcurrent>
#include <exception>

namespace {

// What a store call came to on the worker; exceptions cross back to the awaiting coroutine.
struct Outcome {
    std::optional<QString> value;
    std::exception_ptr error;
};

// The futures are built outside the coroutines: GCC 12 miscompiles lambdas that capture a
// coroutine's locals.
template <typename Call> QFuture<Outcome> onWorker(QThreadPool* worker, Call call) {
    return QtConcurrent::run(worker, [call = std::move(call)] {
        Outcome outcome;
        try {
            outcome.value = call();
        } catch (...) {
            outcome.error = std::current_exception();
        }
        return outcome;
    });
}

QFuture<Outcome> getting(QThreadPool* worker, CredentialStore* store, const QString& key) {
    return onWorker(worker, [store, key] { return store->get(Identifiers::kApp, key); });
}

QFuture<Outcome> saving(QThreadPool* worker, CredentialStore* store, const QString& key,
                        const QString& value) {
    return onWorker(worker, [store, key, value] {
        store->save(Identifiers::kApp, key, value);
        return std::optional<QString>();
    });
}

QFuture<Outcome> removing(QThreadPool* worker, CredentialStore* store, const QString& key) {
    return onWorker(worker, [store, key] {
        store->remove(Identifiers::kApp, key);
        return std::optional<QString>();
    });
}

std::optional<QString> settle(const Outcome& outcome) {
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    return outcome.value;
}

} // namespace

Keychain::Keychain(CredentialStore& store) : store_(store), worker_(new QThreadPool) {
    worker_->setMaxThreadCount(1);
}

// The pool waits for what is queued; every store call has a deadline, so this ends.
Keychain::~Keychain() = default;

std::optional<QString> Keychain::get(const QString& key) const {
    return store_.get(Identifiers::kApp, key);
}

void Keychain::save(const QString& key, const QString& value) {
    store_.save(Identifiers::kApp, key, value);
}

void Keychain::remove(const QString& key) {
    store_.remove(Identifiers::kApp, key);
}

QCoro::Task<std::optional<QString>> Keychain::fetch(QString key) const {
    QFuture<Outcome> running = getting(worker_.get(), &store_, key);
    const Outcome outcome = co_await running;
    co_return settle(outcome);
}

QCoro::Task<> Keychain::store(QString key, QString value) {
    QFuture<Outcome> running = saving(worker_.get(), &store_, key, value);
    const Outcome outcome = co_await running;
    settle(outcome);
}

QCoro::Task<> Keychain::erase(QString key) {
    QFuture<Outcome> running = removing(worker_.get(), &store_, key);
    const Outcome outcome = co_await running;
    settle(outcome);
}

QString Keychain::storeKind() const {
    return store_.kind();
}
