// libsecret (glib) must come before Qt: glib uses "signals" as an identifier.
#include <libsecret/secret.h>

#include "platform/CancellableCall.h"
#include "platform/Logging.h"
#include "platform/SecretServiceCredentialStore.h"
#include "platform/WriteError.h"

#include <QFileInfo>
#include <QString>
#include <memory>

namespace {

const char* const kSecretsName = "org.freedesktop.secrets";

const SecretSchema* schema() {
    static const SecretSchema s = {"com.30814qv.kelvane.Credential",
                                   SECRET_SCHEMA_DONT_MATCH_NAME,
                                   {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                    {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                    {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                   0,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr};
    return &s;
}

bool sessionBusConfigured() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + "/bus");
}

// What one keyring operation came to.
struct Reply {
    enum class Status { done, absent, locked, notAnswering, failed };
    Status status = Status::notAnswering;
    std::optional<QString> value;
    QString message;
};

template <typename T> struct GObjectDeleter {
    void operator()(T* p) const { g_object_unref(p); }
};
template <typename T> using GOwned = std::unique_ptr<T, GObjectDeleter<T>>;

struct GErrorSlot {
    GError* error = nullptr;
    ~GErrorSlot() {
        if (error)
            g_error_free(error);
    }
    GError** out() { return &error; }
    explicit operator bool() const { return error != nullptr; }
};

Reply fromError(const GError* error) {
    Reply r;
    r.message = QString::fromUtf8(error->message);
    // Cancelled at the deadline, timed out, or a bus connection that went away: not now.
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CLOSED))
        r.status = Reply::Status::notAnswering;
    else if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED))
        r.status = Reply::Status::locked;
    else
        r.status = Reply::Status::failed;
    return r;
}

Reply status(Reply::Status s) {
    Reply r;
    r.status = s;
    return r;
}

// Runs one operation within the deadline; one that has not returned counts as not answering.
Reply withDeadline(std::function<Reply(GCancellable*)> operation,
                   std::chrono::milliseconds deadline) {
    auto reply = std::make_shared<Reply>();
    const bool inTime = CancellableCall::run(
        [reply, operation = std::move(operation)](GCancellable* c) { *reply = operation(c); },
        deadline);
    return inTime ? *reply : Reply{};
}

// A connection of our own, for asking the bus as it is now.
struct PrivateBus {
    GDBusConnection* connection = nullptr;
    ~PrivateBus() {
        if (!connection)
            return;
        g_dbus_connection_close_sync(connection, nullptr, nullptr);
        g_object_unref(connection);
    }
};

bool connect(PrivateBus& bus, GCancellable* cancellable, GErrorSlot& error) {
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, cancellable, error.out());
    if (!address)
        return false;
    bus.connection = g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancellable, error.out());
    g_free(address);
    return bus.connection != nullptr;
}

// libsecret talks over GDBus's shared session connection, which by default ends the whole
// process when it drops: a keyring must never decide that. The connection lives only while
// someone holds it, so it is held for the length of each call, from before libsecret takes it.
struct SharedSessionBus {
    GDBusConnection* connection = nullptr;
    explicit SharedSessionBus(GCancellable* cancellable)
        : connection(g_bus_get_sync(G_BUS_TYPE_SESSION, cancellable, nullptr)) {
        if (connection)
            g_dbus_connection_set_exit_on_close(connection, FALSE);
    }
    ~SharedSessionBus() {
        if (connection)
            g_object_unref(connection);
    }
    SharedSessionBus(const SharedSessionBus&) = delete;
    SharedSessionBus& operator=(const SharedSessionBus&) = delete;
};

GOwned<SecretService> openService(GCancellable* cancellable, GErrorSlot& error) {
    return GOwned<SecretService>(secret_service_open_sync(
        SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_OPEN_SESSION, cancellable, error.out()));
}

GHashTable* attributesFor(const QByteArray& service, const QByteArray& account) {
    return secret_attributes_build(schema(), "service", service.constData(), "account",
                                   account.constData(), nullptr);
}

// Some providers hide the items of a locked collection, so finding nothing in a locked default
// collection does not prove nothing is stored.
Reply nothingFound(SecretService* service, GCancellable* cancellable) {
    GErrorSlot error;
    GOwned<SecretCollection> collection(secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, cancellable, error.out()));
    if (error)
        return fromError(error.error);
    if (collection && secret_collection_get_locked(collection.get()))
        return status(Reply::Status::locked);
    return status(Reply::Status::absent);
}

struct ItemList {
    GList* items = nullptr;
    ~ItemList() { g_list_free_full(items, g_object_unref); }
};

Reply search(SecretService* service, const QByteArray& s, const QByteArray& a, bool loadSecrets,
             GCancellable* cancellable, ItemList& found) {
    GErrorSlot error;
    GHashTable* attributes = attributesFor(s, a);
    // Never SECRET_SEARCH_UNLOCK: a prompt nobody sees would hold the caller until the deadline.
    const auto flags =
        SecretSearchFlags(SECRET_SEARCH_ALL | (loadSecrets ? SECRET_SEARCH_LOAD_SECRETS : 0));
    found.items =
        secret_service_search_sync(service, schema(), attributes, flags, cancellable, error.out());
    g_hash_table_unref(attributes);
    if (error)
        return fromError(error.error);
    if (!found.items)
        return nothingFound(service, cancellable);
    return status(Reply::Status::done);
}

Reply lookup(const QByteArray& s, const QByteArray& a, GCancellable* cancellable) {
    GErrorSlot error;
    const SharedSessionBus bus(cancellable);
    const GOwned<SecretService> service = openService(cancellable, error);
    if (!service)
        return fromError(error.error);
    ItemList found;
    Reply searched = search(service.get(), s, a, true, cancellable, found);
    if (searched.status != Reply::Status::done)
        return searched;
    bool locked = false;
    for (GList* l = found.items; l; l = l->next) {
        auto* item = static_cast<SecretItem*>(l->data);
        if (secret_item_get_locked(item)) {
            locked = true;
            continue;
        }
        SecretValue* value = secret_item_get_secret(item);
        if (!value)
            continue;
        const gchar* text = secret_value_get_text(value);
        Reply r = status(Reply::Status::done);
        if (text)
            r.value = QString::fromUtf8(text);
        secret_value_unref(value);
        if (r.value)
            return r;
    }
    return status(locked ? Reply::Status::locked : Reply::Status::absent);
}

Reply store(const QByteArray& s, const QByteArray& a, const QByteArray& v,
            GCancellable* cancellable) {
    GErrorSlot error;
    const SharedSessionBus bus(cancellable);
    const GOwned<SecretService> service = openService(cancellable, error);
    if (!service)
        return fromError(error.error);
    GHashTable* attributes = attributesFor(s, a);
    SecretValue* value = secret_value_new(v.constData(), v.size(), "text/plain");
    const QByteArray label = "Kelvane (" + a + ")";
    const gboolean stored =
        secret_service_store_sync(service.get(), schema(), attributes, SECRET_COLLECTION_DEFAULT,
                                  label.constData(), value, cancellable, error.out());
    secret_value_unref(value);
    g_hash_table_unref(attributes);
    if (error)
        return fromError(error.error);
    // No error and nothing stored: an unlock prompt was dismissed.
    return status(stored ? Reply::Status::done : Reply::Status::locked);
}

Reply clear(const QByteArray& s, const QByteArray& a, GCancellable* cancellable) {
    GErrorSlot error;
    const SharedSessionBus bus(cancellable);
    const GOwned<SecretService> service = openService(cancellable, error);
    if (!service)
        return fromError(error.error);
    ItemList found;
    Reply searched = search(service.get(), s, a, false, cancellable, found);
    if (searched.status != Reply::Status::done)
        return searched;
    bool locked = false;
    for (GList* l = found.items; l; l = l->next) {
        auto* item = static_cast<SecretItem*>(l->data);
        if (secret_item_get_locked(item)) {
            locked = true;
            continue;
        }
        GErrorSlot deleteError;
        if (!secret_item_delete_sync(item, cancellable, deleteError.out()) && deleteError)
            return fromError(deleteError.error);
    }
    return status(locked ? Reply::Status::locked : Reply::Status::done);
}

// A read that did not complete is "not now", whatever the reason; a write the keyring refused
// for another reason than a lock is a failure of its own.
[[noreturn]] void throwFor(const Reply& reply, const char* what, bool writing) {
    qCDebug(lcPlatform).noquote() << "keyring" << what << "did not complete:" << reply.message;
    if (writing && reply.status == Reply::Status::failed)
        throw WriteError(QStringLiteral("the keyring"), reply.message);
    throw CredentialsUnavailable();
}

UnifiedCredentialStore::Presence askTheBus(GCancellable* cancellable) {
    using Presence = UnifiedCredentialStore::Presence;
    GErrorSlot error;
    PrivateBus bus;
    if (!connect(bus, cancellable, error)) {
        // No bus behind the address: no Secret Service either. Too slow to tell: unknown.
        return g_error_matches(error.error, G_IO_ERROR, G_IO_ERROR_CANCELLED) ? Presence::unknown
                                                                              : Presence::none;
    }
    auto ask = [&](const char* method, GVariant* args, const char* type) {
        return g_dbus_connection_call_sync(
            bus.connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            method, args, G_VARIANT_TYPE(type), G_DBUS_CALL_FLAGS_NONE, -1, cancellable, nullptr);
    };
    Presence answer = Presence::unknown;
    if (GVariant* owned = ask("NameHasOwner", g_variant_new("(s)", kSecretsName), "(b)")) {
        gboolean hasOwner = FALSE;
        g_variant_get(owned, "(b)", &hasOwner);
        g_variant_unref(owned);
        answer = hasOwner ? Presence::present : Presence::unknown;
        if (answer == Presence::unknown) {
            if (GVariant* names = ask("ListActivatableNames", nullptr, "(as)")) {
                const gchar** list = nullptr;
                g_variant_get(names, "(^a&s)", &list);
                answer = Presence::none;
                for (const gchar** n = list; n && *n; ++n)
                    if (g_strcmp0(*n, kSecretsName) == 0)
                        answer = Presence::present;
                g_free(list);
                g_variant_unref(names);
            }
        }
    }
    return answer;
}

} // namespace

SecretServiceCredentialStore::SecretServiceCredentialStore(std::chrono::milliseconds deadline)
    : deadline_(deadline) {}

UnifiedCredentialStore::Presence
SecretServiceCredentialStore::presence(std::chrono::milliseconds deadline) {
    using Presence = UnifiedCredentialStore::Presence;
    // Without a session bus GDBus would try to autolaunch one; skip that outright.
    if (!sessionBusConfigured())
        return Presence::none;
    auto answer = std::make_shared<Presence>(Presence::unknown);
    if (!CancellableCall::run([answer](GCancellable* c) { *answer = askTheBus(c); }, deadline))
        return Presence::unknown;
    return *answer;
}

std::optional<QString> SecretServiceCredentialStore::get(const QString& service,
                                                         const QString& account) {
    const Reply r = withDeadline(
        [s = service.toUtf8(), a = account.toUtf8()](GCancellable* c) { return lookup(s, a, c); },
        deadline_);
    if (r.status == Reply::Status::absent)
        return std::nullopt;
    if (r.status != Reply::Status::done)
        throwFor(r, "lookup", false);
    return r.value;
}

void SecretServiceCredentialStore::save(const QString& service, const QString& account,
                                        const QString& value) {
    const Reply r = withDeadline([s = service.toUtf8(), a = account.toUtf8(), v = value.toUtf8()](
                                     GCancellable* c) { return store(s, a, v, c); },
                                 deadline_);
    if (r.status != Reply::Status::done)
        throwFor(r, "store", true);
}

void SecretServiceCredentialStore::remove(const QString& service, const QString& account) {
    const Reply r = withDeadline(
        [s = service.toUtf8(), a = account.toUtf8()](GCancellable* c) { return clear(s, a, c); },
        deadline_);
    if (r.status != Reply::Status::done && r.status != Reply::Status::absent)
        throwFor(r, "removal", true);
}
