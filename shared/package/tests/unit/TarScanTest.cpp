#include "shared/package/tests/PackageTestKit.h"

#include "shared/package/TarScan.h"

#include "tests/support/QtPrinters.h"
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace PackageTestKit;

namespace {

TarHeader entry(const QByteArray& name, char type, qint64 size = 0, const QByteArray& link = {},
                unsigned mode = 0644) {
    TarHeader h;
    h.name = name;
    h.type = type;
    h.size = size;
    h.linkName = link;
    h.mode = mode;
    return h;
}

class TarScanTest : public ::testing::Test {
protected:
    // Why an archive with these entries (after a folder "Kelvane") is refused; "" when it is not.
    QString refusal(const std::function<void(TarGzWriter&)>& entries,
                    const TarScan::Limits& limits = {}) {
        const QString path =
            archive(dir_.filePath(QString::number(++count_) + ".tar.gz"), [&](TarGzWriter& tar) {
                tar.addDirectory("Kelvane", 0755);
                entries(tar);
            });
        return TarScan::scan(path, limits).problem;
    }
    QString refusalOfBytes(const QByteArray& bytes) {
        const QString path = dir_.filePath(QString::number(++count_) + ".bin");
        writeFile(path, bytes);
        return TarScan::scan(path).problem;
    }

    QTemporaryDir dir_;
    int count_ = 0;
};

} // namespace

TEST_F(TarScanTest, AcceptsFilesFoldersAndLinksThatStayInside) {
    const QString path = archive(dir_.filePath("good.tar.gz"), [](TarGzWriter& tar) {
        tar.addDirectory("Kelvane", 0755);
        tar.addDirectory("Kelvane/bin/", 0755);
        tar.addBytes("Kelvane/bin/kelvane", 0755, QByteArray(1500, 'k'));
        tar.addSymlink("Kelvane/bin/kelvane-link", "kelvane");
        tar.addSymlink("Kelvane/current", "bin/./kelvane");
        tar.addRaw(
            entry("Kelvane/bin/kelvane-hard", TarHeader::kHardLink, 0, "Kelvane/bin/kelvane"), {});
        tar.addBytes("./Kelvane/Info.json", 0644, "{}");
        tar.addBytes("Kelvane/share/deep/name", 0644, "implicit parents");
        tar.addDirectory("Kelvane/share", 0755); // named after its child: still one folder
    });
    const TarScan::Result result = TarScan::scan(path);
    EXPECT_TRUE(result.ok) << result.problem.toStdString();
    EXPECT_EQ(result.entries, 9);
    EXPECT_EQ(result.bytes, 1500 + 2 + 16);
}

TEST_F(TarScanTest, RefusesNamesThatLeaveOrRepeat) {
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addBytes("/etc/evil", 0644, "x"); }),
              "absolute name /etc/evil");
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addBytes("Kelvane/../../evil", 0644, "x"); }),
              "Kelvane/../../evil climbs out with ..");
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addDirectory("..", 0755); }), ".. climbs out with ..");
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addDirectory("./", 0755); }),
              "./ names the folder itself");
    EXPECT_EQ(refusal([](TarGzWriter& t) {
                  t.addBytes("Kelvane/a", 0644, "1");
                  t.addBytes("Kelvane/./a", 0644, "2");
              }),
              "Kelvane/a appears twice");
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addBytes("Kelvane/file/", 0644, "x"); }),
              "Kelvane/file/ ends in / but is no folder");
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addBytes("Kelvane/a\nb", 0644, "x"); }),
              "a name holds a control character");
}

TEST_F(TarScanTest, RefusesLinksLeavingAndWritingThroughLinks) {
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addSymlink("Kelvane/lib", "/usr/lib"); }),
              "the link Kelvane/lib leaves the folder");
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addSymlink("Kelvane/lib", "../.."); }),
              "the link Kelvane/lib leaves the folder");
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addSymlink("Kelvane/lib", ""); }),
              "the link Kelvane/lib leaves the folder");
    // A link that stays inside may still not be written through.
    EXPECT_EQ(refusal([](TarGzWriter& t) {
                  t.addSymlink("Kelvane/lib", "bin");
                  t.addBytes("Kelvane/lib/x", 0644, "x");
              }),
              "Kelvane/lib/x lies below something that is no folder");
    EXPECT_EQ(refusal([](TarGzWriter& t) {
                  t.addRaw(entry("Kelvane/hard", TarHeader::kHardLink, 0, "/etc/passwd"), {});
              }),
              "the hard link Kelvane/hard does not name an earlier file");
    EXPECT_EQ(refusal([](TarGzWriter& t) {
                  t.addRaw(entry("Kelvane/hard", TarHeader::kHardLink, 0, "Kelvane/later"), {});
                  t.addBytes("Kelvane/later", 0644, "x");
              }),
              "the hard link Kelvane/hard does not name an earlier file");
}

TEST_F(TarScanTest, RefusesDevicesOtherTypesAndSpecialModes) {
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addRaw(entry("Kelvane/null", '3'), {}); }),
              "Kelvane/null is a device");
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addRaw(entry("Kelvane/sda", '4'), {}); }),
              "Kelvane/sda is a device");
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addRaw(entry("Kelvane/fifo", '6'), {}); }),
              "Kelvane/fifo has entry type '6', which is not accepted");
    // pax and GNU long names would rename what follows behind the header's back.
    const QByteArray pax = "30 path=Kelvane/../../escape\n";
    EXPECT_EQ(
        refusal([&](TarGzWriter& t) { t.addRaw(entry("PaxHeaders/x", 'x', pax.size()), pax); }),
        "PaxHeaders/x has entry type 'x', which is not accepted");
    EXPECT_EQ(refusal([](TarGzWriter& t) { t.addRaw(entry("././@LongLink", 'L', 8), "../evil"); }),
              "@LongLink has entry type 'L', which is not accepted");
    EXPECT_EQ(refusal([](TarGzWriter& t) {
                  t.addRaw(entry("Kelvane/suid", TarHeader::kFile, 1, {}, 04755), "x");
              }),
              "Kelvane/suid has set-id or sticky bits");
    EXPECT_EQ(refusal([](TarGzWriter& t) {
                  t.addRaw(entry("Kelvane/dir", TarHeader::kDirectory, 4), "data");
              }),
              "Kelvane/dir has data though it is no file");
}

TEST_F(TarScanTest, BoundsTarBombsBeforeReadingTheirData) {
    TarScan::Limits limits;
    limits.maxEntries = 50;
    EXPECT_EQ(refusal(
                  [](TarGzWriter& t) {
                      for (int i = 0; i < 60; ++i)
                          t.addBytes("Kelvane/f" + QByteArray::number(i), 0644, {});
                  },
                  limits),
              "more than 50 entries");
    // The header alone says 3 GiB: refused there, the (absent) data is never inflated.
    EXPECT_EQ(refusal([](TarGzWriter& t) {
                  t.addRaw(entry("Kelvane/huge", TarHeader::kFile, qint64(3) << 30), "only this",
                           false);
              }),
              "more than 2147483648 bytes unpacked");
    QByteArray deep = "Kelvane";
    for (int i = 0; i < 40; ++i)
        deep += "/d";
    EXPECT_EQ(refusal([&](TarGzWriter& t) { t.addBytes(deep + "/f", 0644, "x"); }),
              QString::fromLatin1(deep) + "/f is more than 32 folders deep");
    // Zeros after the end marker are padding, up to a point.
    const QString padded = archive(dir_.filePath("padded.tar.gz"), [](TarGzWriter& t) {
        t.addDirectory("Kelvane", 0755);
        t.addRaw(entry("Kelvane/x", TarHeader::kFile, 0), QByteArray(3 * 10240, '\0'), false);
    });
    EXPECT_EQ(TarScan::scan(padded).problem, QString());
    limits = {};
    limits.maxTrailingBytes = 20 * 1024;
    EXPECT_EQ(TarScan::scan(padded, limits).problem,
              "too much padding after the end of the archive");
}

TEST_F(TarScanTest, RefusesDamagedTruncatedAndForeignArchives) {
    const QString good = archive(dir_.filePath("good.tar.gz"), [](TarGzWriter& t) {
        t.addDirectory("Kelvane", 0755);
        t.addBytes("Kelvane/data", 0644, PackageCrypto::randomBytes(200'000));
    });
    ASSERT_TRUE(TarScan::scan(good).ok);
    const QByteArray bytes = readAll(good);

    EXPECT_FALSE(refusalOfBytes(bytes.left(bytes.size() / 2)).isEmpty());
    QByteArray corrupt = bytes;
    for (qsizetype i = bytes.size() / 3; i < bytes.size() / 3 + 64; ++i)
        corrupt[i] = char(corrupt[i] ^ 0x5a);
    EXPECT_FALSE(refusalOfBytes(corrupt).isEmpty());
    EXPECT_EQ(refusalOfBytes(bytes + "trailing"), "data follows the compressed stream");
    EXPECT_EQ(refusalOfBytes(bytes + bytes), "data follows the compressed stream");
    EXPECT_EQ(refusalOfBytes("just some text, not gzip at all\n"),
              "the archive is not valid gzip data");
    EXPECT_EQ(refusalOfBytes({}), "the archive ends early");
    EXPECT_EQ(refusal([](TarGzWriter& t) {
                  t.addRaw(entry("Kelvane/x", TarHeader::kFile, 0),
                           QByteArray(1024, '\0') + QByteArray(512, 'z'), false);
              }),
              "data follows the end of the archive");

    // A header whose checksum is off, and one in the old GNU format.
    QByteArray block = *entry("Kelvane/x", TarHeader::kFile).encode();
    QByteArray wrongSum = block;
    wrongSum[0] = 'J';
    QByteArray why;
    EXPECT_FALSE(TarHeader::decode(wrongSum.constData(), &why));
    EXPECT_EQ(why, "a header's checksum is wrong");
    QByteArray gnu = block;
    gnu.replace(257, 8, QByteArray("ustar  \0", 8));
    // Recompute the checksum so only the format differs.
    unsigned sum = 0;
    for (int i = 0; i < 512; ++i)
        sum += (i >= 148 && i < 156) ? unsigned(' ') : unsigned(uchar(gnu[i]));
    gnu.replace(148, 8, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0' + ' ');
    EXPECT_FALSE(TarHeader::decode(gnu.constData(), &why));
    EXPECT_EQ(why, "a header is not in the POSIX ustar format");
}

TEST_F(TarScanTest, WritesTheSameBytesForTheSameEntries) {
    const auto entries = [](TarGzWriter& t) {
        t.addDirectory("Kelvane", 0755);
        t.addBytes("Kelvane/a", 0644, "same");
        t.addSymlink("Kelvane/b", "a");
        t.addBytes("Kelvane/" + QByteArray(120, 'n') + "/" + QByteArray(90, 'm'), 0644, "long");
    };
    const QByteArray first = readAll(archive(dir_.filePath("1.tar.gz"), entries));
    const QByteArray second = readAll(archive(dir_.filePath("2.tar.gz"), entries));
    EXPECT_EQ(first, second);
    EXPECT_TRUE(TarScan::scan(dir_.filePath("1.tar.gz")).ok);
    // A name no ustar header can hold is refused by the writer.
    TarGzWriter tar;
    QString error;
    ASSERT_TRUE(tar.open(dir_.filePath("3.tar.gz"), &error));
    EXPECT_FALSE(tar.addBytes(QByteArray(300, 'x'), 0644, "x"));
}
