#include "app/shell/ClipboardCommands.h"
#include "app/shell/InstanceChannel.h"
#include "findersync/tests/support/HostProcess.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "shared/FinderSyncConfig.h"
#include "tests/support/FakeClipboard.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

// A home with a drive folder (no engine needed: the link rules look at paths) and a running
// instance whose clipboard is a double, so what the host copies can be read back.
class FinderSyncHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        startInstance(true);
        makeFolder("Marketing/Plans");
        makeFile("Marketing/Plans/Q3 plan.pdf");
        writeConfig(QStringLiteral(R"({"apiURL":"https://ws.example.com/api","mountBase":"%1"})")
                        .arg(base()));
    }

    // The tray registers the clipboard command; a headless instance does not.
    void startInstance(bool withClipboard) {
        channel.reset();
        channel = std::make_unique<InstanceChannel>();
        ASSERT_TRUE(channel->listen());
        if (withClipboard)
            ClipboardCommands::registerClipboard(*channel, clipboard);
    }

    QString base() const { return home.path() + "/Drives"; }
    QString drive(const QString& relative) const { return base() + "/" + relative; }
    void makeFolder(const QString& relative) { ASSERT_TRUE(QDir().mkpath(drive(relative))); }
    void makeFile(const QString& relative) {
        QFile file(drive(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    void writeConfig(const QString& json) {
        ASSERT_TRUE(AtomicFile::write(FinderSyncConfig::configFile(), json.toUtf8()));
    }

    // What copy-link put on the clipboard, or nothing.
    QString copy(const QStringList& items, HostResult* result = nullptr) {
        const int before = clipboard.texts.size();
        const HostResult run = runHost(QStringList{"copy-link"} + items);
        if (result)
            *result = run;
        return clipboard.texts.size() > before ? clipboard.text() : QString();
    }

    TestHome home;
    FakeClipboard clipboard;
    std::unique_ptr<InstanceChannel> channel;
};

TEST_F(FinderSyncHostTest, CopiesFileAndFolderLinksAsTheWorkedExampleSays) {
    HostResult result;
    EXPECT_EQ(copy({drive("Marketing/Plans/Q3 plan.pdf")}, &result),
              "https://ws.example.com/view/Plans/Q3%20plan.pdf");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.err.contains("copied 1 link(s)")) << result.err.constData();
    EXPECT_EQ(copy({drive("Marketing/Plans")}), "https://ws.example.com/files/Plans");
    // Several items: one line each, in selection order, no newline at the end; URIs too.
    EXPECT_EQ(copy({drive("Marketing/Plans"),
                    QUrl::fromLocalFile(drive("Marketing/Plans/Q3 plan.pdf")).toString()},
                   &result),
              "https://ws.example.com/files/Plans\n"
              "https://ws.example.com/view/Plans/Q3%20plan.pdf");
    EXPECT_TRUE(result.err.contains("copied 2 link(s)"));
}

TEST_F(FinderSyncHostTest, TildeMountBaseResolvesAgainstTheRealHomeNotHome) {
    writeConfig(R"({"apiURL":"https://ws.example.com/api","mountBase":"~/Kelvane"})");
    const QString real = Paths::realHome();
    ASSERT_NE(real, home.path());
    EXPECT_EQ(copy({real + "/Kelvane/Marketing/Plans/Q3 plan.pdf"}),
              "https://ws.example.com/view/Plans/Q3%20plan.pdf");
    EXPECT_EQ(copy({home.path() + "/Kelvane/Marketing/Plans/Q3 plan.pdf"}), QString());

    writeConfig(R"({"apiURL":"https://ws.example.com/api","mountBase":"~"})");
    EXPECT_EQ(copy({real + "/Team/notes.txt"}), "https://ws.example.com/view/notes.txt");
}

TEST_F(FinderSyncHostTest, MenuTitlesFollowTheSelectionCountNotWhetherLinksResolve) {
    const QByteArray one = "Kelvane\n  Copy Kelvane Link (link)\n"
                           "  Open in Kelvane on the Web (safari)\n";
    const QByteArray several = "Kelvane\n  Copy Kelvane Links (link)\n"
                               "  Open in Kelvane on the Web (safari)\n";
    EXPECT_EQ(runHost({"menu", drive("Marketing/Plans")}).out, one);
    EXPECT_EQ(runHost({"menu", "/etc/passwd"}).out, one);
    EXPECT_EQ(runHost({"menu", "--kind", "container", drive("Marketing")}).out, one);
    EXPECT_EQ(runHost({"menu", drive("Marketing/Plans"), "/etc/passwd"}).out, several);
    EXPECT_EQ(runHost({"menu", "--kind", "sidebar", drive("Marketing/Plans")}).out, "");
    EXPECT_EQ(runHost({"menu", "--kind", "toolbar", drive("Marketing/Plans")}).out, "");
    EXPECT_EQ(runHost({"menu"}).out, "");
    EXPECT_EQ(runHost({"menu", "--kind", "dock", drive("Marketing")}).exitCode, 2);

    // Two items, one outside every filespace: one link, though the menu says "Links".
    HostResult result;
    EXPECT_EQ(copy({drive("Marketing/Plans"), "/etc/passwd"}, &result),
              "https://ws.example.com/files/Plans");
    EXPECT_TRUE(result.err.contains("copied 1 link(s)"));
}

TEST_F(FinderSyncHostTest, FilespaceFoldersAndOutsideItemsHaveNoLink) {
    for (const QStringList& items :
         {QStringList{drive("Marketing")}, QStringList{base()}, QStringList{"/etc/passwd"},
          QStringList{base() + "x/Marketing/a"}, QStringList{drive("Marketing/../../x/y")},
          QStringList{"file://elsewhere" + drive("Marketing/Plans")}}) {
        HostResult result;
        EXPECT_EQ(copy(items, &result), QString()) << items.join(' ').toStdString();
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.contains("copy link: nothing resolvable was selected"))
            << result.err.constData();
    }
    // "." and ".." steps are resolved before the rules look at the path.
    EXPECT_EQ(copy({drive("Marketing/Plans/../Plans/./Q3 plan.pdf")}),
              "https://ws.example.com/view/Plans/Q3%20plan.pdf");
}

TEST_F(FinderSyncHostTest, AwkwardNamesAreEncodedPieceByPiece) {
    makeFolder("Marketing/a b#c?d%e");
    makeFile("Marketing/a b#c?d%e/line\nbreak.txt");
    makeFile("Marketing/caf\u00e9.txt");
    const QByteArray latin1 = QFile::encodeName(drive("Marketing")) + "/r\xE9sum\xE9";
    ASSERT_EQ(::mkdir(latin1.constData(), 0755), 0);

    EXPECT_EQ(copy({drive("Marketing/a b#c?d%e")}),
              "https://ws.example.com/files/a%20b%23c%3Fd%25e");
    EXPECT_EQ(copy({drive("Marketing/a b#c?d%e/line\nbreak.txt")}),
              "https://ws.example.com/view/a%20b%23c%3Fd%25e/line%0Abreak.txt");
    EXPECT_EQ(copy({drive("Marketing/caf\u00e9.txt")}),
              "https://ws.example.com/view/caf%C3%A9.txt");
    // A name that is not UTF-8 reaches the host as a URI (as the file managers pass it).
    const QString uri = "file://" + QString::fromLatin1(QByteArray(latin1).toPercentEncoding("/"));
    EXPECT_EQ(copy({uri}), "https://ws.example.com/files/r%E9sum%E9");
}

TEST_F(FinderSyncHostTest, SymbolicLinksThatLeadOutOfTheFilespaceHaveNoLink) {
    makeFolder("Marketing/Real");
    makeFolder("Sales");
    const QByteArray marketing = QFile::encodeName(drive("Marketing"));
    ASSERT_EQ(::symlink("/etc", marketing + "/to-etc"), 0);
    ASSERT_EQ(::symlink("/etc/hostname", marketing + "/hostname"), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(drive("Sales")).constData(), marketing + "/to-sales"), 0);
    ASSERT_EQ(::symlink("Real", marketing + "/to-real"), 0);
    ASSERT_EQ(::symlink("missing", marketing + "/dangling"), 0);

    for (const char* outside : {"to-etc", "to-etc/hostname", "hostname", "to-sales"})
        EXPECT_EQ(copy({drive(QStringLiteral("Marketing/") + outside)}), QString()) << outside;
    // Links that stay inside are the item the user sees there; a link is not a folder.
    EXPECT_EQ(copy({drive("Marketing/to-real")}), "https://ws.example.com/view/to-real");
    EXPECT_EQ(copy({drive("Marketing/dangling")}), "https://ws.example.com/view/dangling");
}

TEST_F(FinderSyncHostTest, ServerAddressRulesDecideWhetherAnyLinkIsMade) {
    const QString item = drive("Marketing/Plans");
    writeConfig(QStringLiteral(R"({"apiURL":"http://h:8/api//","mountBase":"%1"})").arg(base()));
    EXPECT_EQ(copy({item}), "http://h:8/files/Plans");
    writeConfig(QStringLiteral(R"({"apiURL":"http://h:8//api","mountBase":"%1"})").arg(base()));
    EXPECT_EQ(copy({item}), "http://h:8/files/Plans");

    HostResult result;
    writeConfig(QStringLiteral(R"({"apiURL":"ws.example.com/api","mountBase":"%1"})").arg(base()));
    EXPECT_EQ(copy({item}, &result), QString());
    EXPECT_TRUE(result.err.contains("is not a web address")) << result.err.constData();
    writeConfig(QStringLiteral(R"({"mountBase":"%1"})").arg(base()));
    EXPECT_EQ(copy({item}), QString());
    for (const char* broken : {"{garbage", "[1,2]", R"({"apiURL":7})", ""}) {
        ASSERT_TRUE(AtomicFile::write(FinderSyncConfig::configFile(), broken));
        EXPECT_EQ(copy({item}, &result), QString()) << broken;
        EXPECT_TRUE(result.err.contains("nothing resolvable")) << broken;
    }
    QFile::remove(FinderSyncConfig::configFile());
    EXPECT_EQ(copy({item}), QString());
    // A root mount base counts as none: the default under the real home is used.
    writeConfig(R"({"apiURL":"https://ws.example.com/api","mountBase":"/"})");
    EXPECT_EQ(copy({"/etc/ssh/ssh_config"}), QString());
    EXPECT_EQ(copy({Paths::realHome() + "/Kelvane/Team/a.txt"}),
              "https://ws.example.com/view/a.txt");
}

TEST_F(FinderSyncHostTest, OpenOnWebOpensOnlyTheFirstResolvableLink) {
    const QString record = home.file("browser.calls");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("BROWSER", KELVANE_RECORDER_PATH);
    environment.insert("KELVANE_RECORD_FILE", record);
    auto calls = [&] {
        QFile file(record);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    EXPECT_EQ(runHost({"open-on-web", "/etc/passwd", drive("Marketing/Plans/Q3 plan.pdf"),
                       drive("Marketing/Plans")},
                      environment)
                  .exitCode,
              0);
    EXPECT_EQ(calls(), "https://ws.example.com/view/Plans/Q3%20plan.pdf\n");
    // Only a filespace folder: nothing is opened.
    EXPECT_EQ(runHost({"open-on-web", drive("Marketing")}, environment).exitCode, 1);
    EXPECT_EQ(calls(), "https://ws.example.com/view/Plans/Q3%20plan.pdf\n");

    // No browser at all: the handler's refusal is said plainly.
    environment.remove("BROWSER");
    environment.insert("PATH", "/nonexistent");
    const HostResult result = runHost({"open-on-web", drive("Marketing/Plans")}, environment);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("open on web:")) << result.err.constData();
}

TEST_F(FinderSyncHostTest, WatchPrintsTheWatchedSetSortedWithoutDuplicatesOrHiddenFolders) {
    makeFolder("Sales");
    makeFolder(".hidden");
    writeConfig(QStringLiteral(R"({"mountBase":"%1","mountPaths":["~/Work","/Volumes/Team","%1",
                "%1/Sales"]})")
                    .arg(base()));
    QProcess watch;
    watch.start(hostProgram(), {"watch"});
    ASSERT_TRUE(waitUntil([&] { return watch.canReadLine(); }));
    const QString line = QString::fromUtf8(watch.readLine()).trimmed();
    const QString real = Paths::realHome();
    QStringList expected{base(), real + "/Work", "/Volumes/Team", drive("Marketing"),
                         drive("Sales")};
    expected.sort();
    EXPECT_EQ(line, "watching " + expected.join(", "));
    watch.terminate();
    ASSERT_TRUE(watch.waitForFinished(10'000));
    EXPECT_EQ(watch.exitCode(), 0);
    EXPECT_EQ(watch.readAll(), "");
}

TEST_F(FinderSyncHostTest, InDriveGateAcceptsItemsOfWatchedFoldersOnly) {
    EXPECT_EQ(runHost({"in-drive", drive("Marketing/Plans/Q3 plan.pdf")}).exitCode, 0);
    EXPECT_EQ(runHost({"in-drive", "/etc/passwd", drive("Marketing")}).exitCode, 0);
    EXPECT_EQ(runHost({"in-drive", "/etc/passwd"}).exitCode, 1);
    EXPECT_EQ(runHost({"in-drive", base() + "x"}).exitCode, 1);
    EXPECT_EQ(runHost({"bogus"}).exitCode, 2);
}

TEST_F(FinderSyncHostTest, NautilusScriptsTakeTheSelectionFromTheEnvironment) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS",
                       drive("Marketing/Plans") + "\n" + drive("Marketing/Plans/Q3 plan.pdf") +
                           "\n");
    const int before = clipboard.texts.size();
    EXPECT_EQ(runHost({"nautilus-script", "copy-link", "/script/path"}, environment).exitCode, 0);
    ASSERT_EQ(clipboard.texts.size(), before + 1);
    EXPECT_EQ(clipboard.text(), "https://ws.example.com/files/Plans\n"
                                "https://ws.example.com/view/Plans/Q3%20plan.pdf");
    // The URI list wins: it can carry a name with a newline in it.
    makeFile("Marketing/two\nlines");
    environment.insert(
        "NAUTILUS_SCRIPT_SELECTED_URIS",
        QUrl::fromLocalFile(drive("Marketing/two\nlines")).toString(QUrl::FullyEncoded) + "\n");
    EXPECT_EQ(runHost({"nautilus-script", "copy-link", "/script/path"}, environment).exitCode, 0);
    EXPECT_EQ(clipboard.text(), "https://ws.example.com/view/two%0Alines");
}

TEST_F(FinderSyncHostTest, WithoutAnInstanceClipboardTheKeeperIsAskedAndItsFailureReported) {
    // An instance without a clipboard (a headless one) answers "unknown command"; with no
    // desktop session the keeper cannot take over either, and says so.
    startInstance(false);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    const HostResult result = runHost({"copy-link", drive("Marketing/Plans")}, environment);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("no desktop session to hold the clipboard"))
        << result.err.constData();
    EXPECT_TRUE(clipboard.texts.isEmpty());
}

} // namespace
