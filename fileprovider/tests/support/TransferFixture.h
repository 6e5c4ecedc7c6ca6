#pragma once

#include "fileprovider/FileProviderExtension.h"
#include "fileprovider/tests/support/ExtensionFixture.h"
#include "fileprovider/tests/support/FakePasteboard.h"
#include "fileprovider/tests/support/LogLines.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "platform/fileprovider/FileProviderError.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"
#include "platform/fileprovider/FileProviderItemTemplate.h"
#include "shared/Identifiers.h"
#include "shared/SyncStatus.h"

#include <QCoroTimer>
#include <QCryptographicHash>
#include <QFile>

// The extension on a signed-in home with its surroundings in reach: the test's ledger, a
// registered domain, a clipboard that records, and back-off waits that are recorded instead of
// slept. Calls wait for the completion and count it. Every test ends with no transfer left
// in the ledger.
class TransferFixture : public ExtensionFixture {
protected:
    using Delays = std::vector<std::chrono::milliseconds>;

    void SetUp() override {
        ExtensionFixture::SetUp();
        registry.addDomain(domain);
        FileProviderExtension::Services services;
        services.ledger = &ledger;
        services.domains = &registry;
        services.pasteboard = &pasteboard;
        services.sleep = [this](std::chrono::milliseconds delay) {
            delays.push_back(delay);
            return QCoro::sleepFor(std::chrono::milliseconds(0));
        };
        extension = std::make_unique<FileProviderExtension>(domain, std::move(services));
    }

    void TearDown() override {
        ledger.waitUntilWritten();
        const auto status = SyncStatus::load(home.file("ledger/sync-status.json"));
        if (status) {
            EXPECT_TRUE(status->transfers.isEmpty()) << "a transfer was left in the ledger";
        }
    }

    static QByteArray bytes(qint64 size, int seed = 1) {
        QByteArray data(size, Qt::Uninitialized);
        quint32 x = quint32(seed) * 2654435761u + 1;
        for (qint64 i = 0; i < size; ++i) {
            x = x * 1103515245u + 12345u;
            data[i] = char(x >> 24);
        }
        return data;
    }
    QString localFile(const QString& name, const QByteArray& content) {
        const QString path = home.file(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return path;
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray onServer(const QString& filespace, const QString& relative) {
        return read(server.filespaceDir(filespace) + '/' + relative);
    }
    static int codeOf(std::exception_ptr error) {
        try {
            if (error)
                std::rethrow_exception(error);
        } catch (const FileProviderError& e) {
            return e.code();
        } catch (...) {
        }
        return 0;
    }
    QJsonArray requestsNamed(const QString& method, const QString& pathPrefix) {
        QJsonArray found;
        for (const QJsonValue& v : server.requests()) {
            const QJsonObject o = v.toObject();
            if (o.value("method").toString() == method &&
                o.value("path").toString().startsWith(pathPrefix))
                found.append(o);
        }
        return found;
    }

    struct Fetched {
        std::optional<QString> file;
        FileProviderItemPtr item;
        FileProviderRange range;
        std::exception_ptr error;
        int completions = 0;
        std::shared_ptr<FileProviderProgress> progress;
    };
    Fetched fetch(const QString& identifier) {
        auto answer = std::make_shared<Fetched>();
        answer->progress = extension->fetchContents(
            identifier, {},
            [answer](std::optional<QString> file, FileProviderItemPtr item, std::exception_ptr e) {
                answer->file = std::move(file);
                answer->item = std::move(item);
                answer->error = e;
                ++answer->completions;
            });
        EXPECT_TRUE(waitUntil([&] { return answer->completions > 0; }, std::chrono::seconds(60)));
        return *answer;
    }
    Fetched fetchPartial(const QString& identifier, FileProviderRange range, qint64 alignment = 1) {
        auto answer = std::make_shared<Fetched>();
        answer->progress = extension->fetchPartialContents(
            identifier, {}, range, alignment, 0,
            [answer](std::optional<QString> file, FileProviderItemPtr item,
                     FileProviderRange fetched, quint64, std::exception_ptr e) {
                answer->file = std::move(file);
                answer->item = std::move(item);
                answer->range = fetched;
                answer->error = e;
                ++answer->completions;
            });
        EXPECT_TRUE(waitUntil([&] { return answer->completions > 0; }, std::chrono::seconds(60)));
        return *answer;
    }

    struct Changed {
        FileProviderItemPtr item;
        std::exception_ptr error;
        int completions = 0;
        std::shared_ptr<FileProviderProgress> progress;
    };
    static FileProviderItemPtr fileTemplate(const QString& parent, const QString& name) {
        return std::make_shared<FileProviderItemTemplate>(FileProviderItemTemplate::Fields{
            {}, parent, name, FileProviderContentType::kData, std::nullopt, {}});
    }
    static FileProviderItemPtr folderTemplate(const QString& parent, const QString& name) {
        return std::make_shared<FileProviderItemTemplate>(FileProviderItemTemplate::Fields{
            {}, parent, name, FileProviderContentType::kFolder, std::nullopt, {}});
    }
    // An existing item as the framework sees it after the user changed its name or folder.
    static FileProviderItemPtr changedItem(const QString& identifier, const QString& parent,
                                           const QString& name, qint64 size) {
        return std::make_shared<FileProviderItemTemplate>(FileProviderItemTemplate::Fields{
            identifier, parent, name, FileProviderContentType::kData, size, {}});
    }
    Changed settle(const std::function<std::shared_ptr<FileProviderProgress>(
                       FileProviderReplicatedExtension::ItemChangeCompletion)>& call) {
        auto answer = std::make_shared<Changed>();
        answer->progress =
            call([answer](FileProviderItemPtr item, quint64, bool, std::exception_ptr e) {
                answer->item = std::move(item);
                answer->error = e;
                ++answer->completions;
            });
        EXPECT_TRUE(waitUntil([&] { return answer->completions > 0; }, std::chrono::seconds(60)));
        return *answer;
    }
    Changed create(FileProviderItemPtr itemTemplate, std::optional<QString> contents) {
        return settle([&](auto completion) {
            return extension->createItem(itemTemplate, 0, contents, 0, completion);
        });
    }
    Changed modify(FileProviderItemPtr item, quint64 changed, std::optional<QString> contents) {
        return settle([&](auto completion) {
            return extension->modifyItem(item, {}, changed, contents, 0, completion);
        });
    }

    struct Done {
        std::exception_ptr error;
        int completions = 0;
        std::shared_ptr<FileProviderProgress> progress;
    };
    Done settleError(const std::function<std::shared_ptr<FileProviderProgress>(
                         FileProviderReplicatedExtension::ErrorCompletion)>& call) {
        auto answer = std::make_shared<Done>();
        answer->progress = call([answer](std::exception_ptr e) {
            answer->error = e;
            ++answer->completions;
        });
        EXPECT_TRUE(waitUntil([&] { return answer->completions > 0; }, std::chrono::seconds(60)));
        return *answer;
    }
    Done remove(const QString& identifier) {
        return settleError(
            [&](auto completion) { return extension->deleteItem(identifier, {}, 0, completion); });
    }
    Done perform(const QString& ending, const QStringList& identifiers) {
        return settleError([&](auto completion) {
            return extension->performAction("com.30814qv.kelvane.fileprovider.action." + ending,
                                            identifiers, completion);
        });
    }

    const FileProviderDomain domain{Identifiers::kFileProviderDomain, "Kelvane"};
    FileProviderDomainRegistry registry;
    FakePasteboard pasteboard;
    Delays delays;
    std::unique_ptr<FileProviderExtension> extension;
};
