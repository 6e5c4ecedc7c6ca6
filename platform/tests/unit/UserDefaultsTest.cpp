#include "platform/UserDefaults.h"
#include "platform/SafeIniFormat.h"
#include "tests/support/TestHome.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

// The process's peak virtual size, which a single large allocation raises even when freed.
qint64 peakVirtualKb() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmPeak:"))
            return line.mid(7).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

void writeRaw(const QString& file, const QByteArray& text) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// One of every kind of value the programs store, and a few the INI syntax must escape.
QVariantMap samples() {
    return {
        {"kelvane_settings",
         QByteArray(R"({"apiURL":"http://h:1/api, x","mountPoint":"/home/zü"})")},
        {"kelvane_api_url", QString("  http://h/api  ")},
        {"kelvane_login_item_migrated", true},
        {"kelvane_onboarding_seen", false},
        {"kelvane_last_update_check", QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC)},
        {"list", QStringList{"a", "b, c"}},
        {"at", QString("@at")},
        {"group/sub", QString("Zürich ☃ \"quoted\" ;=")},
        {"lines", QString("a\nb\\c")},
        {"empty", QString()},
    };
}

void expectSame(const QVariant& written, const QVariant& read, const QString& key) {
    if (written.typeId() == QMetaType::QByteArray)
        EXPECT_EQ(read.toByteArray(), written.toByteArray()) << key.toStdString();
    else if (written.typeId() == QMetaType::Bool)
        EXPECT_EQ(read.toBool(), written.toBool()) << key.toStdString();
    else if (written.typeId() == QMetaType::QDateTime)
        EXPECT_EQ(read.toDateTime(), written.toDateTime()) << key.toStdString();
    else if (written.typeId() == QMetaType::QStringList)
        EXPECT_EQ(read.toStringList(), written.toStringList()) << key.toStdString();
    else
        EXPECT_EQ(read.toString(), written.toString()) << key.toStdString();
}

} // namespace

TEST(UserDefaults, ReadsWhatQtsIniFormatWroteAndWritesWhatItReads) {
    TestHome home;
    const QString older = home.file("older.conf");
    {
        QSettings qt(older, QSettings::IniFormat);
        const QVariantMap all = samples();
        for (auto it = all.begin(); it != all.end(); ++it)
            qt.setValue(it.key(), it.value());
    }
    UserDefaults fromOlder(older);
    const QVariantMap all = samples();
    for (auto it = all.begin(); it != all.end(); ++it)
        expectSame(it.value(), fromOlder.value(it.key()), it.key());
    EXPECT_EQ(fromOlder.data("kelvane_settings"), all["kelvane_settings"].toByteArray());

    const QString newer = home.file("newer.conf");
    UserDefaults ours(newer);
    for (auto it = all.begin(); it != all.end(); ++it)
        ASSERT_FALSE(ours.setValue(it.key(), it.value())) << it.key().toStdString();
    QSettings qt(newer, QSettings::IniFormat);
    for (auto it = all.begin(); it != all.end(); ++it)
        expectSame(it.value(), qt.value(it.key()), it.key());
    EXPECT_FALSE(ours.remove("list"));
    EXPECT_FALSE(UserDefaults(newer).value("list").isValid());
}

TEST(UserDefaults, AStreamedValueOfAnUnboundedTypeIsNeverDecoded) {
    TestHome home;
    const QString file = home.file("defaults.conf");
    // 68 bytes of a list that claims 4 294 967 280 elements, and the same behind the INI
    // syntax's quotes, escapes, list items and the date-time form; a plain value beside them.
    writeRaw(file, "[General]\n"
                   "kelvane_api_url=http://h:1/api\n"
                   "kelvane_settings=@Variant(\\0\\0\\0\\t\\0\\xff\\xff\\xff\\xf0)\n"
                   "quoted=\"@Var\"iant(\\0\\0\\0\\v\\0\\xff\\xff\\xff\\xf0)\n"
                   "escaped=\\x40Variant(\\0\\0\\0\\t\\0\\xff\\xff\\xff\\xf0)\n"
                   "listed=a, @Variant(\\0\\0\\0\\t\\0\\xff\\xff\\xff\\xf0)\n"
                   "dated=@DateTime(\\0\\0\\0\\t\\0\\xff\\xff\\xff\\xf0)\n");
    const qint64 before = peakVirtualKb();
    UserDefaults defaults(file);
    EXPECT_EQ(defaults.string("kelvane_api_url"), "http://h:1/api");
    EXPECT_FALSE(defaults.value("kelvane_settings").isValid());
    EXPECT_TRUE(defaults.data("kelvane_settings").isEmpty());
    for (const char* key : {"quoted", "escaped", "dated"})
        EXPECT_FALSE(defaults.value(key).isValid()) << key;
    const QVariantList listed = defaults.value("listed").toList();
    ASSERT_EQ(listed.size(), 2);
    EXPECT_FALSE(listed[1].isValid());
    EXPECT_LT(peakVirtualKb() - before, 64 * 1024) << "a few bytes must not cost hundreds of MB";

    // The next write keeps the plain values and drops the refused ones.
    ASSERT_FALSE(defaults.setValue("kelvane_onboarding_seen", true));
    EXPECT_EQ(UserDefaults(file).string("kelvane_api_url"), "http://h:1/api");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.readAll().contains("xff\\xff"));
}

TEST(UserDefaults, AStoredDateStillReadsAndAHugeFileReadsAsEmpty) {
    TestHome home;
    const QString file = home.file("defaults.conf");
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    QSettings(file, QSettings::IniFormat).setValue("kelvane_last_update_check", when);
    EXPECT_EQ(UserDefaults(file).value("kelvane_last_update_check").toDateTime(), when);

    writeRaw(file, "[General]\nkelvane_api_url=http://h/api\n" +
                       QByteArray(SafeIniFormat::kMaxFileBytes, ';'));
    EXPECT_FALSE(UserDefaults(file).value("kelvane_api_url").isValid());
}

TEST(UserDefaults, AWriteThatDoesNotReachTheFileSaysWhichFile) {
    TestHome home;
    const QString file = home.file("config/kelvane/defaults.conf");
    // A folder where the file should be stops root as well as anyone.
    ASSERT_TRUE(QDir().mkpath(file));
    UserDefaults defaults(file);
    const std::optional<WriteError> failure = defaults.setValue("kelvane_api_url", "http://h/api");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->place(), file);
    EXPECT_EQ(failure->description(), "Could not write " + file + ": it is a folder.");
    EXPECT_TRUE(defaults.remove("kelvane_api_url"));
}
