#include "fileprovider/PinStore.h"
#include "platform/AtomicFile.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

QByteArray pinFileBytes() {
    QFile f(PinStore::pinFile());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(PinStore, KeepsASortedArrayAndUnpinningAnAbsentPathChangesNothing) {
    TestHome home;
    EXPECT_TRUE(
        PinStore::configDir().endsWith("/.var/app/com.30814qv.kelvane.fileprovider/data/Kelvane"));
    EXPECT_FALSE(PinStore::isPinned("/b")) << "no file: nothing pinned";

    PinStore::setPinned(true, "/b");
    PinStore::setPinned(true, "/a");
    EXPECT_EQ(pinFileBytes(), R"(["/a","/b"])");
    PinStore::setPinned(true, "/a");
    PinStore::setPinned(false, "/c");
    EXPECT_EQ(pinFileBytes(), R"(["/a","/b"])");
    EXPECT_TRUE(PinStore::isPinned("/a"));
    EXPECT_FALSE(PinStore::isPinned("/a/"));

    PinStore::setPinned(false, "/a");
    EXPECT_EQ(pinFileBytes(), R"(["/b"])");
}

TEST(PinStore, AFileOfAnotherShapeMeansNothingPinnedUntilTheNextWriteReplacesIt) {
    TestHome home;
    for (const QByteArray& bad :
         {QByteArray(R"({"/a":true})"), QByteArray(R"(["/a",3])"), QByteArray("not json")}) {
        AtomicFile::write(PinStore::pinFile(), bad);
        EXPECT_FALSE(PinStore::isPinned("/a")) << bad.toStdString();
    }
    AtomicFile::write(PinStore::pinFile(), R"({"/a":true})");
    PinStore::setPinned(true, "/z");
    EXPECT_EQ(pinFileBytes(), R"(["/z"])");
}

TEST(PinStore, ConcurrentChangesAreNeverLost) {
    TestHome home;
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 25; ++i)
                PinStore::setPinned(true, QStringLiteral("/t%1/%2").arg(t).arg(i));
        });
    }
    std::thread reader([] {
        for (int i = 0; i < 200; ++i)
            PinStore::isPinned("/t0/0");
    });
    for (std::thread& w : writers)
        w.join();
    reader.join();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 25; ++i)
            EXPECT_TRUE(PinStore::isPinned(QStringLiteral("/t%1/%2").arg(t).arg(i)));
}

} // namespace
