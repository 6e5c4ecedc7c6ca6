// glib must come before Qt: it uses "signals" as an identifier.
#include <libsecret/secret.h>

#include "tests/support/PrivateKeyring.h"

#include "platform/CancellableCall.h"
#include "platform/SecretServiceCredentialStore.h"
#include "tests/support/WaitUntil.h"

#include <QFile>
#include <QStandardPaths>
#include <memory>

namespace {

// Swallows every call addressed to the silent service: the caller waits for an answer forever.
GDBusMessage* dropCalls(GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer) {
    if (incoming && g_dbus_message_get_message_type(message) == G_DBUS_MESSAGE_TYPE_METHOD_CALL) {
        g_object_unref(message);
        return nullptr;
    }
    return message;
}

} // namespace

bool PrivateKeyring::start(const QString& home, Kind kind) {
    if (!startBus(home))
        return false;
    return kind == Kind::silent ? startSilentService() : startGnomeKeyring(home);
}

bool PrivateKeyring::startBus(const QString& home) {
    const QString dbus = QStandardPaths::findExecutable("dbus-daemon");
    if (dbus.isEmpty()) {
        problem_ = "dbus-daemon is not installed";
        return false;
    }
    bus_.start(dbus, {"--session", "--nofork", "--print-address=1"});
    if (!bus_.waitForReadyRead(10'000)) {
        problem_ = "dbus-daemon printed no address";
        return false;
    }
    address_ = bus_.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_);
    qputenv("XDG_RUNTIME_DIR", home.toUtf8());
    qputenv("XDG_DATA_HOME", (home + "/.local/share").toUtf8());
    return true;
}

bool PrivateKeyring::startGnomeKeyring(const QString& home) {
    const QString keyring = QStandardPaths::findExecutable("gnome-keyring-daemon");
    if (keyring.isEmpty()) {
        problem_ = "gnome-keyring-daemon is not installed";
        return false;
    }
    keyring_.start(keyring, {"--unlock", "--components=secrets", "--foreground"});
    if (!keyring_.waitForStarted(10'000)) {
        problem_ = "gnome-keyring-daemon did not start";
        return false;
    }
    // The password must reach the daemon before the test stops pumping events.
    keyring_.write("test-password");
    keyring_.waitForBytesWritten(10'000);
    keyring_.closeWriteChannel();
    // The daemon answers on the bus before it has created its login (default) collection.
    const QString loginKeyring = home + "/.local/share/keyrings/login.keyring";
    const bool ready = waitUntil(
        [&] {
            return QFile::exists(loginKeyring) && SecretServiceCredentialStore::presence() ==
                                                      UnifiedCredentialStore::Presence::present;
        },
        std::chrono::seconds(20));
    if (!ready)
        problem_ = "the keyring never answered with a login collection: " +
                   QString::fromUtf8(keyring_.readAllStandardError());
    return ready;
}

bool PrivateKeyring::startSilentService() {
    GError* error = nullptr;
    silent_ = g_dbus_connection_new_for_address_sync(
        address_.constData(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!silent_) {
        problem_ = QString::fromUtf8(error->message);
        g_error_free(error);
        return false;
    }
    g_dbus_connection_set_exit_on_close(silent_, FALSE);
    GVariant* reply = g_dbus_connection_call_sync(
        silent_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", "org.freedesktop.secrets", 4u /* do not queue */),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 10'000, nullptr, &error);
    if (!reply) {
        problem_ = QString::fromUtf8(error->message);
        g_error_free(error);
        return false;
    }
    guint32 result = 0;
    g_variant_get(reply, "(u)", &result);
    g_variant_unref(reply);
    if (result != 1 /* primary owner */) {
        problem_ = "could not own org.freedesktop.secrets";
        return false;
    }
    // Only now: the bus's answer to RequestName had to get through.
    g_dbus_connection_add_filter(silent_, dropCalls, nullptr, nullptr);
    return true;
}

bool PrivateKeyring::lockLoginCollection() {
    auto locked = std::make_shared<bool>(false);
    const bool inTime = CancellableCall::run(
        [locked](GCancellable* c) {
            // The bus goes away with this object; GDBus must not end the test process then, so
            // the shared connection is held (and so kept as set) until the call is over. The
            // service is not libsecret's cached one, which would outlive the bus.
            GDBusConnection* shared = g_bus_get_sync(G_BUS_TYPE_SESSION, c, nullptr);
            if (!shared)
                return;
            g_dbus_connection_set_exit_on_close(shared, FALSE);
            SecretService* service = secret_service_open_sync(
                SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_LOAD_COLLECTIONS, c, nullptr);
            if (!service) {
                g_object_unref(shared);
                return;
            }
            SecretCollection* login = secret_collection_for_alias_sync(
                service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, c, nullptr);
            if (login) {
                GList* objects = g_list_append(nullptr, login);
                *locked = secret_service_lock_sync(service, objects, c, nullptr, nullptr) == 1;
                g_list_free(objects);
                g_object_unref(login);
            }
            g_object_unref(service);
            g_object_unref(shared);
        },
        std::chrono::seconds(10));
    return inTime && *locked;
}

PrivateKeyring::~PrivateKeyring() {
    if (silent_) {
        g_dbus_connection_close_sync(silent_, nullptr, nullptr);
        g_object_unref(silent_);
    }
    for (QProcess* p : {&keyring_, &bus_}) {
        if (p->state() == QProcess::NotRunning)
            continue;
        p->terminate();
        if (!p->waitForFinished(5'000))
            p->kill();
        p->waitForFinished(5'000);
    }
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}
