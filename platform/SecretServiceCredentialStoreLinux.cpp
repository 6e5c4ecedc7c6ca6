// libsecret (glib) must come before Qt: glib uses "signals" as an identifier.
#include <libsecret/secret.h>

#include "platform/Logging.h"
#include "platform/SecretServiceCredentialStore.h"

#include <QFileInfo>
#include <QString>

namespace {

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

} // namespace

bool SecretServiceCredentialStore::available() {
    // Without a session bus libsecret would try to autolaunch one; skip that outright.
    if (!sessionBusConfigured())
        return false;
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
    if (error) {
        g_error_free(error);
        return false;
    }
    g_object_unref(service);
    return true;
}

std::optional<QString> SecretServiceCredentialStore::get(const QString& service,
                                                         const QString& account) {
    GError* error = nullptr;
    const QByteArray s = service.toUtf8(), a = account.toUtf8();
    gchar* secret = secret_password_lookup_sync(schema(), nullptr, &error, "service", s.constData(),
                                                "account", a.constData(), nullptr);
    if (error) {
        g_error_free(error);
        return std::nullopt;
    }
    if (!secret)
        return std::nullopt;
    QString value = QString::fromUtf8(secret);
    secret_password_free(secret);
    return value;
}

void SecretServiceCredentialStore::save(const QString& service, const QString& account,
                                        const QString& value) {
    GError* error = nullptr;
    const QByteArray s = service.toUtf8(), a = account.toUtf8(), v = value.toUtf8();
    const QByteArray label = "Kelvane (" + a + ")";
    secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.constData(),
                               v.constData(), nullptr, &error, "service", s.constData(), "account",
                               a.constData(), nullptr);
    if (error) {
        qCWarning(lcPlatform) << "keyring refused to store a secret:" << error->message;
        g_error_free(error);
    }
}

void SecretServiceCredentialStore::remove(const QString& service, const QString& account) {
    GError* error = nullptr;
    const QByteArray s = service.toUtf8(), a = account.toUtf8();
    secret_password_clear_sync(schema(), nullptr, &error, "service", s.constData(), "account",
                               a.constData(), nullptr);
    if (error)
        g_error_free(error);
}
