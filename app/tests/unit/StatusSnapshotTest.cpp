#include "app/shell/StatusSnapshot.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <limits>

namespace {

QString activityLine(const QJsonObject& activity) {
    const QString text = StatusSnapshot::renderText({{"signedIn", true}, {"activity", activity}});
    const qsizetype at = text.indexOf("Activity: ");
    return at < 0 ? QString() : text.mid(at).trimmed();
}

QJsonObject fromText(const char* json) {
    return QJsonDocument::fromJson(json).object();
}

TEST(StatusSnapshotTest, PrintsHugeBacklogsAndEstimatesAsWhatTheyAre) {
    // An estimate of 95 years and a drive reporting ~200 TB staged.
    const QString eta = activityLine(fromText(R"({"uploadETA":3e9})"));
    EXPECT_TRUE(eta.contains(", about 833333 h left")) << eta.toStdString();
    const QString staged = activityLine(
        fromText(R"({"uploadBacklogBytes":2.2e14,"uploadRate":1.5e6,"uploadETA":146666666})"));
    EXPECT_TRUE(staged.contains("upload backlog 200.09 TiB at 1.43 MiB/s, about 40741 h left"))
        << staged.toStdString();
    const QString beyond = activityLine(fromText(R"({"uploadBacklogBytes":1e300,"uploadRate":1e19,)"
                                                 R"("uploading":1e300,"staging":-1e300})"));
    EXPECT_TRUE(beyond.contains("upload backlog 7.81 EiB at 7.81 EiB/s")) << beyond.toStdString();
    EXPECT_TRUE(beyond.contains("; 0 uploading, 0 staged")) << beyond.toStdString();
}

TEST(StatusSnapshotTest, ValuesThatAreNoSizeOrTimePrintAsNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const double bad : {nan, inf, -inf, -5.0}) {
        const QString line =
            activityLine({{"uploadBacklogBytes", bad}, {"uploadRate", bad}, {"uploadETA", bad}});
        EXPECT_TRUE(line.contains("upload backlog 0 bytes at 0 bytes/s;")) << line.toStdString();
        EXPECT_FALSE(line.contains("left")) << line.toStdString();
        EXPECT_FALSE(line.contains('-')) << line.toStdString();
    }
}

} // namespace
