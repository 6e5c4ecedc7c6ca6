#pragma once

#include "fileprovider/KelvaneAPI.h"
#include "fileprovider/KelvaneAPIError.h"
#include "fileprovider/SyncStatusStore.h"
#include "platform/AtomicFile.h"
#include "shared/FileProviderConfig.h"
#include "shared/SharedConfigPayload.h"
#include "shared/WaitForTask.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <gtest/gtest.h>

// A signed-in extension's surroundings: a test home whose config.json points at a real dev
// server with the demo user's token, a files API client and a ledger of the test's own.
class ExtensionFixture : public testing::Test {
protected:
    void SetUp() override { signIn(); }

    void signIn() { writeConfig(server.apiURL(), server.demoToken()); }
    static void writeConfig(std::optional<QString> apiURL, std::optional<QString> token) {
        SharedConfigPayload payload;
        payload.apiURL = std::move(apiURL);
        payload.token = std::move(token);
        AtomicFile::write(FileProviderConfig::configFile(), payload.toJson(),
                          AtomicFile::Mode::OwnerOnly);
    }

    template <typename T> T run(QCoro::Task<T>&& task) { return WaitForTask::run(std::move(task)); }
    void run(QCoro::Task<>&& task) { WaitForTask::run(std::move(task)); }

    // What the task threw; nothing when it did not throw.
    template <typename T> static std::exception_ptr errorOf(QCoro::Task<T> task) {
        try {
            WaitForTask::run(std::move(task));
        } catch (...) {
            return std::current_exception();
        }
        return nullptr;
    }
    // The description of what the task threw; empty when it did not throw.
    template <typename T> static QString failureOf(QCoro::Task<T> task) {
        return textOf(errorOf(std::move(task)));
    }
    static QString textOf(std::exception_ptr error) {
        if (!error)
            return {};
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            return QString::fromUtf8(e.what());
        }
    }
    static std::optional<KelvaneAPIError> apiErrorOf(std::exception_ptr error) {
        try {
            if (error)
                std::rethrow_exception(error);
        } catch (const KelvaneAPIError& e) {
            return e;
        } catch (...) {
        }
        return std::nullopt;
    }
    static std::optional<TransportError> transportErrorOf(std::exception_ptr error) {
        try {
            if (error)
                std::rethrow_exception(error);
        } catch (const TransportError& e) {
            return e;
        } catch (...) {
        }
        return std::nullopt;
    }

    // Requests the server received for a path (without query) since the last clear.
    int requestsTo(const QString& path) {
        int count = 0;
        for (const QJsonValue& v : server.requests())
            count += v.toObject().value("path").toString() == path ? 1 : 0;
        return count;
    }

    // The last answered request to the path (the journal completes an entry just after the
    // answer has gone out); an empty object when none arrives in time.
    QJsonObject lastAnsweredRequestTo(const QString& path) {
        QJsonObject found;
        waitUntil([&] {
            const QJsonArray all = server.requests();
            for (qsizetype i = all.size() - 1; i >= 0; --i) {
                const QJsonObject entry = all.at(i).toObject();
                if (entry.value("path").toString() == path && entry.contains("status")) {
                    found = entry;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    // A fault that answers the next listing with this body.
    void answerNextListingWith(const QByteArray& body, int status = 200, int count = 1) {
        server.injectFault({.path = "/api/files",
                            .method = "GET",
                            .status = status,
                            .body = body,
                            .contentType = "application/json",
                            .count = count});
    }

    // PUT through Qt, as the transfers do; returns the status and the ETag.
    std::pair<int, QByteArray> put(const QString& url, const QByteArray& body) {
        QNetworkRequest request{QUrl(url)};
        QNetworkReply* reply = network.put(request, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        reply->deleteLater();
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                reply->rawHeader("ETag")};
    }

    TestHome home;
    DevServer server;
    QNetworkAccessManager network;
    KelvaneAPI api{network};
    SyncStatusStore ledger{home.file("ledger/sync-status.json")};
};
