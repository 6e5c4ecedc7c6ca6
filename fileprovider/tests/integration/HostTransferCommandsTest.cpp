#include "fileprovider/tests/support/ExtensionFixture.h"
#include "fileprovider/tests/support/Programs.h"
#include "platform/Paths.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "shared/Identifiers.h"
#include "shared/SyncStatus.h"

#include <QFile>
#include <QJsonDocument>

namespace {

using Programs::fileProvider;

// The host's commands that play the system's transfers, run as the real program.
class HostTransferCommandsTest : public ExtensionFixture {
protected:
    void SetUp() override {
        ExtensionFixture::SetUp();
        registry.addDomain({Identifiers::kFileProviderDomain, "Kelvane"});
    }
    static QString errorLine(const Programs::Run& r) {
        for (const QString& line : r.err.split('\n'))
            if (line.startsWith("error ") || line.startsWith("kelvane-fileprovider: "))
                return line;
        return {};
    }
    QString local(const QString& name, const QByteArray& content) {
        QFile f(home.file(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return home.file(name);
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The answers of a serve session, one per command, each with its exit code.
    static QList<QPair<int, QStringList>> answers(const QString& out) {
        QList<QPair<int, QStringList>> list;
        QStringList lines;
        for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
            if (line.startsWith("-- exit ")) {
                list.append({line.mid(8).toInt(), lines});
                lines.clear();
            } else {
                lines.append(line);
            }
        }
        return list;
    }
    void noTransferLeft() {
        const auto status = SyncStatus::load(SyncStatus::ledgerFile());
        if (status) {
            EXPECT_TRUE(status->transfers.isEmpty());
        }
    }

    FileProviderDomainRegistry registry;
};

TEST_F(HostTransferCommandsTest, PutGetMoveAndRemovePrintTheItemsTheSystemReceives) {
    const auto created = fileProvider({"put", local("a.txt", "first"), "/Team/Notes.txt"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_TRUE(created.out.startsWith("file\t5\t")) << created.out.toStdString();
    EXPECT_TRUE(created.out.trimmed().endsWith("\t/Team/Notes.txt"));

    const auto changed = fileProvider({"put", local("b.txt", "second!"), "/Team/Notes.txt"});
    ASSERT_EQ(changed.exitCode, 0) << changed.err.toStdString();
    EXPECT_EQ(requestsTo("/api/files/presign-notify"), 1) << "an existing file is modified";

    const auto got = fileProvider({"--json", "get", "/Team/Notes.txt", home.file("out.txt")});
    ASSERT_EQ(got.exitCode, 0) << got.err.toStdString();
    EXPECT_EQ(read(home.file("out.txt")), "second!");
    const QJsonObject item = QJsonDocument::fromJson(got.out.toUtf8()).object();
    EXPECT_EQ(item.value("itemIdentifier"), "/Team/Notes.txt");
    EXPECT_EQ(item.value("documentSize").toInt(), 7);
    EXPECT_EQ(item.value("file"), home.file("out.txt"));

    const auto moved = fileProvider({"mv", "/Team/Notes.txt", "/Team/Projects/Final notes.txt"});
    ASSERT_EQ(moved.exitCode, 0) << moved.err.toStdString();
    EXPECT_TRUE(moved.out.trimmed().endsWith("\t/Team/Projects/Final notes.txt"));
    const auto made = fileProvider({"mkdir", "/Team/Drafts"});
    EXPECT_TRUE(made.out.startsWith("folder\t-\t"));
    const auto removed = fileProvider({"rm", "/Team/Projects/Final notes.txt"});
    EXPECT_EQ(removed.out, "deleted\t/Team/Projects/Final notes.txt\n");
    EXPECT_FALSE(QFile::exists(server.filespaceDir("Team") + "/Projects/Final notes.txt"));
    noTransferLeft();
}

TEST_F(HostTransferCommandsTest, FailuresPrintTheErrorAsTheSystemWouldReceiveIt) {
    const auto junk = fileProvider({"put", local("j", "x"), "/Team/.DS_Store"});
    EXPECT_EQ(junk.exitCode, 1);
    EXPECT_EQ(errorLine(junk), "error NSFileProviderErrorDomain -1005: The operation couldn't be "
                               "completed. (NSFileProviderErrorDomain error -1005.)");
    server.injectFault({.path = "/api/files/direct-multipart-init",
                        .status = 500,
                        .body = "no",
                        .contentType = "text/plain"});
    QFile big(home.file("big.bin"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(16 * 1024 * 1024));
    big.close();
    EXPECT_EQ(errorLine(fileProvider({"put", home.file("big.bin"), "/Team/big.bin"})),
              "error MultipartUploader.MPError 0: multipart init: HTTP 500: no");
    EXPECT_EQ(fileProvider({"put", home.file("none"), "/Team/x"}).exitCode, 2);
    EXPECT_EQ(fileProvider({"mv", "/Team/Welcome.txt"}).exitCode, 2);
    EXPECT_EQ(fileProvider({"read", "/Team/Welcome.txt", "0", "x", home.file("o")}).exitCode, 2);
    EXPECT_EQ(fileProvider({"action", "frobnicate", "/Team/Welcome.txt"}).exitCode, 2);
    const auto gone = fileProvider({"get", "/Team/gone/none.txt", home.file("o")});
    EXPECT_EQ(errorLine(gone), "error KelvaneAPI.APIError 0: HTTP 404: Not found: /Team/gone");
    noTransferLeft();
}

TEST_F(HostTransferCommandsTest, ReadsInOneServeSessionShareWhatWasFetchedAndTheReadAhead) {
    QFile sparse(server.filespaceDir("Team") + "/movie.bin");
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    sparse.write("head");
    ASSERT_TRUE(sparse.resize(80 * 1024 * 1024));
    sparse.close();
    const QString out = home.file("slice");
    const QByteArray script =
        QStringLiteral("read /Team/movie.bin 0 4 %1\n"
                       "read /Team/movie.bin 4096 1048576 %1\n"
                       "read /Team/movie.bin 33558528 1048576 --align 16384 %1\n"
                       "read \"/Team/movie.bin\" 90000000 10 %1\n"
                       "quit\n")
            .arg(out)
            .toUtf8();
    const auto r = Programs::run(QStringLiteral(KELVANE_FILEPROVIDER_PATH), {"serve"}, script);
    const auto list = answers(r.out);
    ASSERT_EQ(list.size(), 4) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(list[0].first, 0);
    EXPECT_TRUE(list[0].second.value(0).contains("\tfetched=0+33558528\tread=4"))
        << list[0].second.value(0).toStdString();
    EXPECT_TRUE(list[1].second.value(0).contains("\tfetched=kept\tread=1048576"))
        << "the second read is served from what the first fetched";
    // The reader went on past the first fetch: twice the read-ahead, aligned to 16 KiB.
    EXPECT_TRUE(list[2].second.value(0).contains("\tfetched=33554432+"))
        << list[2].second.value(0).toStdString();
    EXPECT_TRUE(r.err.contains("read-ahead=67108864")) << r.err.toStdString();
    EXPECT_TRUE(list[3].second.value(0).contains("read=0")) << "past the end nothing is read";
    EXPECT_EQ(requestsTo("/objects/files/Team/movie.bin"), 2);

    // Two separate runs start over: each first read gets the first read-ahead.
    const auto again = fileProvider({"read", "/Team/movie.bin", "33558528", "10", out});
    EXPECT_TRUE(again.err.contains("read-ahead=16777216")) << again.err.toStdString();
}

TEST_F(HostTransferCommandsTest, ActionsPinDownloadAndCopyLinksThroughTheClipboardHandOff) {
    const auto pinned = fileProvider({"action", "download-now", "/Team/Welcome.txt"});
    ASSERT_EQ(pinned.exitCode, 0) << pinned.err.toStdString();
    const QString place = Paths::cloudStorageRoot() + "/Team/Welcome.txt";
    EXPECT_EQ(pinned.out, "downloaded\t/Team/Welcome.txt\t" + place +
                              "\ndone\tcom.30814qv.kelvane.fileprovider.action.download-now\n");
    EXPECT_EQ(read(place), "Welcome to the Team filespace.\n");
    EXPECT_EQ(fileProvider({"pins"}).out, "/Team/Welcome.txt\n");
    EXPECT_TRUE(
        fileProvider({"--json", "stat", "/Team/Welcome.txt"}).out.contains("\"contentPolicy\": 3"));

    ASSERT_EQ(fileProvider({"action", "make-online-only", "/Team/Welcome.txt"}).exitCode, 0);
    EXPECT_FALSE(QFile::exists(place));
    EXPECT_EQ(fileProvider({"pins"}).out, "");

    // No running Kelvane takes the text: it goes to the clipboard keeper.
    const auto copied = fileProvider({"--clipboard-keeper", KELVANE_FAKE_KEEPER_PATH, "action",
                                      "copy-share-link", "/Team/Q1 final.pdf", "/Team"});
    ASSERT_EQ(copied.exitCode, 0) << copied.err.toStdString();
    const QString links =
        server.baseURL() + "/open/Team/Q1%20final.pdf\n" + server.baseURL() + "/open/Team";
    EXPECT_EQ(read(home.file("clipboard.txt")), links.toUtf8());
    EXPECT_TRUE(copied.out.startsWith("pasteboard\t" + server.baseURL() + "/open/Team/Q1%20"));

    const auto nowhere = fileProvider({"--clipboard-keeper", home.file("missing"), "action",
                                       "copy-share-link", "/Team/Welcome.txt"});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_TRUE(errorLine(nowhere).contains("could not be put on the clipboard"))
        << nowhere.err.toStdString();
}

} // namespace
