#include "app/shell/StatusSnapshot.h"
#include "app/update/UpdateError.h"
#include "app/update/UpdateState.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

// The "Updates:" line `kelvane status` prints for an instance whose updater is in this state.
QString updatesLine(const UpdateState& state) {
    QJsonObject update = state.toJson();
    update.insert("currentVersion", "0.1.0");
    update.insert("currentBuild", "1");
    const QString text = StatusSnapshot::renderText({{"signedIn", true}, {"update", update}});
    const qsizetype at = text.indexOf("Updates: ");
    return at < 0 ? QString() : text.mid(at).section('\n', 0, 0);
}

} // namespace

TEST(UpdateStatusLine, SaysWhatTheUpdaterKnowsBesideTheRunningBuild) {
    const UpdateRelease release{"0.2.0", "2", QUrl("https://x.test/K.tar.gz"), {}};
    EXPECT_EQ(updatesLine(UpdateState{}), "Updates: Kelvane 0.1.0 (1)");
    EXPECT_EQ(updatesLine(UpdateState{UpdateState::Kind::upToDate}),
              "Updates: Kelvane 0.1.0 (1), up to date");
    EXPECT_EQ(updatesLine(UpdateState::available(release)),
              "Updates: Kelvane 0.1.0 (1); 0.2.0 (2) is available");
    EXPECT_EQ(
        updatesLine(UpdateState::failed(UpdateError(UpdateError::Kind::wrongTeam).description())),
        "Updates: Kelvane 0.1.0 (1); the last update attempt failed: The downloaded "
        "update is signed by a different developer.");
    EXPECT_EQ(updatesLine(UpdateState{UpdateState::Kind::installing}),
              "Updates: Kelvane 0.1.0 (1); update installing");
    // An instance without an updater section prints no such line.
    EXPECT_FALSE(StatusSnapshot::renderText({{"signedIn", true}}).contains("Updates:"));
}
