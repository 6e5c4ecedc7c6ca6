#include "app/import/ImportProgressModel.h"
#include "app/import/ImportState.h"
#include "app/import/ImportText.h"
#include "app/import/SyncInvocation.h"
#include "app/import/SyncLog.h"
#include "app/import/SyncMetrics.h"
#include "app/shell/StatusSnapshot.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <QJsonObject>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

using namespace std::chrono_literals;

// A scrape as the engine serves it: comments, other families, labelled lines with several
// labels, unlabelled lines and Go's number forms.
const QByteArray kScrape = "# HELP juicefs_sync_scanned Scanned objects\n"
                           "# TYPE juicefs_sync_scanned counter\n"
                           "juicefs_sync_scanned{cmd=\"sync\",pid=\"42\"} 120\n"
                           "juicefs_sync_handled{cmd=\"sync\",pid=\"42\"} 20\n"
                           "juicefs_sync_copied 5\n"
                           "juicefs_sync_copied_bytes{cmd=\"sync\",pid=\"42\"} 1.2345678e+07\n"
                           "juicefs_sync_go_gc_duration_seconds{cmd=\"sync\",pid=\"42\",quantile="
                           "\"0.5\"} 4.75e-05\n"
                           "juicefs_sync_failed{cmd=\"sync\",pid=\"42\"} not-a-number\n"
                           "promhttp_metric_handler_requests_in_flight 1\n"
                           "juicefs_used_space{vol_name=\"x\"} 99\n"
                           "\n";

ImportProgressModel::TimePoint at(std::chrono::milliseconds ms) {
    return ImportProgressModel::TimePoint{} + 1h + ms;
}

SyncMetrics::Values sample(double scanned, double handled, double bytes, double pending = 0) {
    return {{"juicefs_sync_scanned", scanned},
            {"juicefs_sync_handled", handled},
            {"juicefs_sync_copied_bytes", bytes},
            {"juicefs_sync_pending", pending}};
}

} // namespace

TEST(SyncMetricsTest, ReadsOnlyLabelledSyncLinesOfARealScrape) {
    const auto values = SyncMetrics::parse(kScrape);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->value("juicefs_sync_scanned"), 120);
    EXPECT_EQ(values->value("juicefs_sync_handled"), 20);
    EXPECT_EQ(values->value("juicefs_sync_copied_bytes"), 12345678);
    EXPECT_FALSE(values->contains("juicefs_sync_copied")) << "unlabelled lines are ignored";
    EXPECT_FALSE(values->contains("juicefs_sync_failed")) << "a value that is no number";
    EXPECT_FALSE(values->contains("juicefs_used_space"));
    EXPECT_FALSE(values->contains("promhttp_metric_handler_requests_in_flight"));
    // A later line of the same name wins; a body that is not UTF-8 is no sample at all.
    EXPECT_EQ(SyncMetrics::parse("juicefs_sync_copied{a=\"1\"} 1\njuicefs_sync_copied{a=\"2\"} 7")
                  ->value("juicefs_sync_copied"),
              7);
    EXPECT_FALSE(SyncMetrics::parse("juicefs_sync_copied{a=\"1\"} 1\n\xff\xfe"));
    EXPECT_TRUE(SyncMetrics::parse("<html>garbage</html>")->isEmpty());
}

TEST(ImportProgressModelTest, CountsScanningAndTheEtaRule) {
    ImportProgressModel model;
    model.begin(at(0ms));
    EXPECT_FALSE(model.apply({}, {}, at(1s))) << "an empty sample changes nothing";

    auto p = model.apply(*SyncMetrics::parse(kScrape), {}, at(1s));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->scanned, 120);
    EXPECT_EQ(p->handled, 20);
    EXPECT_FALSE(p->scanning) << "no pending metric";
    EXPECT_EQ(p->copied, 0);
    EXPECT_TRUE(model.apply(sample(120, 20, 0, 1), {}, at(1s))->scanning);
    EXPECT_FALSE(model.apply(sample(20, 20, 0, 1), {}, at(1s))->scanning);

    EXPECT_FALSE(model.apply(sample(100, 8, 0), {}, at(10s))->eta);
    const auto eta = model.apply(sample(100, 9, 0), {}, at(9s))->eta;
    ASSERT_TRUE(eta);
    EXPECT_DOUBLE_EQ(*eta, 9.0 / 9 * 91);
    EXPECT_FALSE(model.apply(sample(9, 9, 0), {}, at(9s))->eta) << "nothing left";
    EXPECT_FALSE(ImportProgressModel().apply(sample(100, 50, 0), {}, at(9s))->eta)
        << "no start time";
}

TEST(ImportProgressModelTest, BlendsTheRateThirtySeventyOverSamplesHalfASecondApart) {
    ImportProgressModel model;
    model.begin(at(0ms));
    ImportProgress shown;
    shown = *model.apply(sample(10, 1, 4000), shown, at(400ms));
    EXPECT_EQ(shown.rate, 0) << "0.4 s after the start is too soon";
    shown = *model.apply(sample(10, 2, 10000), shown, at(1000ms));
    EXPECT_DOUBLE_EQ(shown.rate, 10000.0) << "the first rate is the raw one";
    shown = *model.apply(sample(10, 3, 12000), shown, at(1400ms));
    EXPECT_DOUBLE_EQ(shown.rate, 10000.0) << "too soon again: unchanged";
    shown = *model.apply(sample(10, 4, 30000), shown, at(3000ms));
    EXPECT_DOUBLE_EQ(shown.rate, 0.3 * 10000 + 0.7 * 10000);
    shown = *model.apply(sample(10, 5, 50000), shown, at(4000ms));
    EXPECT_DOUBLE_EQ(shown.rate, 0.3 * 20000 + 0.7 * 10000);
    shown = *model.apply(sample(10, 5, 100), shown, at(5000ms));
    EXPECT_DOUBLE_EQ(shown.rate, 0.7 * 13000) << "bytes going down count as no progress";

    EXPECT_EQ(ImportProgressModel::toCount(std::nan("")), 0);
    EXPECT_EQ(ImportProgressModel::toCount(-5), 0);
    EXPECT_EQ(ImportProgressModel::toCount(1e300), qint64(9007199254740992.0));
    EXPECT_EQ(ImportProgressModel::toCount(41.9), 41);
}

TEST(SyncInvocationTest, BuildsTheCommandLineInItsOrderWithTheUrlOnlyInTheEnvironment) {
    const Filespace team{"fs-team", "Team", "postgres://user:pw@db/team", "team", "Team"};
    EXPECT_EQ(SyncInvocation::destinationName("/home/u/Photos", std::nullopt), "Photos");
    EXPECT_EQ(SyncInvocation::destinationName("/home/u/Photos", QString("Sub/Dir")), "Sub/Dir");
    EXPECT_EQ(SyncInvocation::destinationName("/", std::nullopt), "");
    const QStringList args =
        SyncInvocation::arguments(34567, SyncInvocation::sourceArgument("/home/u/Photos"),
                                  SyncInvocation::destinationArgument("team", "Photos"));
    EXPECT_EQ(args, QStringList({"sync", "-p", "32", "--update", "--metrics", "127.0.0.1:34567",
                                 "/home/u/Photos/", "jfs://team/Photos/"}));
    EXPECT_EQ(SyncInvocation::sourceArgument("/home/u/Photos/"), "/home/u/Photos/");
    const QProcessEnvironment env = SyncInvocation::environment(team, QProcessEnvironment());
    EXPECT_EQ(env.value("team"), team.metadataPublicURL);
    EXPECT_FALSE(args.join(' ').contains("postgres"));

    // What a URL would misread is escaped; everything else goes as it is.
    EXPECT_EQ(SyncInvocation::destinationArgument("team", "My Photos #1 ?x 100% a:b@c"),
              "jfs://team/My Photos %231 %3Fx 100%25 a%3Ab%40c/");
    EXPECT_EQ(SyncInvocation::destinationArgument("team", "line\nfeed caf\u00e9"),
              QString("jfs://team/line%0Afeed caf\u00e9/"));
    EXPECT_EQ(SyncInvocation::sourceArgument("/home/u/-dash 'q'"), "/home/u/-dash 'q'/");
    EXPECT_EQ(SyncInvocation::sourceArgument("/home/u/Meeting 10:30"),
              "file:///home/u/Meeting 10%3A30/");
    EXPECT_EQ(SyncInvocation::sourceArgument("/home/u/#1"), "file:///home/u/%231/");

    EXPECT_FALSE(SyncInvocation::volumeNameProblem("team"));
    EXPECT_FALSE(SyncInvocation::volumeNameProblem("my-team-2"));
    for (const char* bad :
         {"", "ab", "Team", "PATH", "a=b", "x/y", "team ", "-team", "te_am", "ld_preload"})
        EXPECT_TRUE(SyncInvocation::volumeNameProblem(bad)) << bad;
}

TEST(ImportTextTest, FormatsSizesDurationsAndTheImportLine) {
    EXPECT_EQ(ImportText::formatBytes(0), "0 KB");
    EXPECT_EQ(ImportText::formatBytes(1536), "2 KB");
    EXPECT_EQ(ImportText::formatBytes(5 << 20), "5 MB");
    EXPECT_EQ(ImportText::formatBytes(qint64(3) << 29), "1.5 GB");
    EXPECT_EQ(ImportText::formatDuration(0.2), "1 sec");
    EXPECT_EQ(ImportText::formatDuration(59.4), "59 sec");
    EXPECT_EQ(ImportText::formatDuration(90), "2 min");
    EXPECT_EQ(ImportText::formatDuration(3600 + 59), "1 hr");
    EXPECT_EQ(ImportText::formatDuration(2 * 3600 + 5 * 60 + 30), "2 hr 5 min");

    ImportProgress p{.scanned = 120,
                     .handled = 20,
                     .copied = 18,
                     .failed = 0,
                     .copiedBytes = 3 << 20,
                     .rate = 1 << 20,
                     .eta = 75,
                     .scanning = true};
    EXPECT_EQ(ImportText::importLine(p), "20 of 120+ files · 3 MB · 1 MB/s · about 1 min left");
    p = {.scanned = 4,
         .handled = 4,
         .copied = 2,
         .failed = 2,
         .copiedBytes = 0,
         .rate = 0,
         .eta = std::nullopt,
         .scanning = false};
    EXPECT_EQ(ImportText::importLine(p), "4 of 4 files · 2 failed");

    EXPECT_EQ(ImportText::describe(ImportState::finished(2000, 0, 5 << 20, 3.2)),
              "Import complete: 2000 files · 5 MB · 3 sec");
    EXPECT_EQ(ImportText::describe(ImportState::finished(10, 2, 1 << 20, 61)),
              "Import finished with errors: 10 files · 1 MB · 1 min, 2 failed");
    EXPECT_EQ(ImportText::describe(ImportState::failed("juicefs sync exited 1. x")),
              "Import failed: juicefs sync exited 1. x");
    EXPECT_EQ(ImportText::describe(ImportState::cancelled()), "Import cancelled");
    EXPECT_EQ(ImportText::title(ImportState::idle()), "");
}

TEST(ImportTextTest, SurvivesFiguresNoCounterShouldHave) {
    const double inf = std::numeric_limits<double>::infinity();
    for (const double v : {std::nan(""), inf, -inf, 1e300, -1e300, 9.3e18}) {
        const ImportProgress p{.scanned = 1,
                               .handled = 0,
                               .copied = 0,
                               .failed = 0,
                               .copiedBytes = 0,
                               .rate = v,
                               .eta = v,
                               .scanning = false};
        EXPECT_TRUE(ImportText::importLine(p).startsWith("0 of 1 files"));
        EXPECT_FALSE(ImportText::formatDuration(v).isEmpty());
        EXPECT_TRUE(ImportText::describe(ImportState::finished(1, 0, 1, v)).startsWith("Import"));
    }
    EXPECT_EQ(ImportText::formatDuration(1e300), "277777777 hr 46 min");
    // What an instance answers is rendered whatever it holds.
    const QJsonObject snapshot{{"signedIn", true},
                               {"import", QJsonObject{{"state", "running"},
                                                      {"source", "/s"},
                                                      {"filespace", "Team"},
                                                      {"progress", QJsonObject{{"scanned", 1e300},
                                                                               {"handled", -5},
                                                                               {"rate", 1e308},
                                                                               {"eta", -1e308}}}}}};
    EXPECT_TRUE(
        StatusSnapshot::renderText(snapshot).contains("Import of /s into Team: Importing: "));
}

TEST(ImportStateTest, TravelsAsJsonAndBack) {
    const ImportProgress p{.scanned = 3,
                           .handled = 2,
                           .copied = 1,
                           .failed = 1,
                           .copiedBytes = 9,
                           .rate = 4.5,
                           .eta = 12,
                           .scanning = true};
    for (const ImportState& s :
         {ImportState::idle(), ImportState::running(p), ImportState::finished(1, 2, 3, 4.5),
          ImportState::failed("why"), ImportState::cancelled()})
        EXPECT_EQ(importStateFromJson(toJson(s)), s) << kindName(s.kind()).toStdString();
    EXPECT_EQ(importStateFromJson({{"state", "weird"}}), ImportState::idle());
}

TEST(SyncLogTest, TakesTheLastThreeLinesAndTheClosingSummary) {
    TestHome home;
    const QString path = home.file("import.log");
    EXPECT_EQ(SyncLog::tail(path), "") << "no log: empty";
    EXPECT_FALSE(SyncLog::summary(path));
    QFile log(path);
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write("only line\n");
    log.flush();
    EXPECT_EQ(SyncLog::tail(path), "only line");
    log.write("\n<INFO>: Found: 2000, skipped: 3, copied: 1997 (3.1 MiB), failed: 2 [x.cpp:1]\n"
              "<FATAL>: Failed to handle 2 objects\n");
    log.close();
    EXPECT_EQ(SyncLog::tail(path),
              "only line <INFO>: Found: 2000, skipped: 3, copied: 1997 (3.1 MiB), failed: 2 "
              "[x.cpp:1] <FATAL>: Failed to handle 2 objects");
    const auto summary = SyncLog::summary(path);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->copied, 1997);
    EXPECT_EQ(summary->failed, 2);
    EXPECT_EQ(summary->approximateBytes, qint64(3.1 * (1 << 20)));
}
