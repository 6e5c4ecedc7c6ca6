#include "app/update/UpdateState.h"
#include "app/update/UpdateError.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

TEST(UpdateState, TravelsAsJsonBetweenInstanceAndCommandLine) {
    const UpdateRelease release{"1.5.0", "58", QUrl("https://x.test/K.tar.gz"),
                                QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC)};
    for (const UpdateState& state :
         {UpdateState::available(release), UpdateState::failed("it broke"), UpdateState{},
          UpdateState{UpdateState::Kind::installing}, UpdateState{UpdateState::Kind::upToDate}}) {
        EXPECT_EQ(UpdateState::fromJson(state.toJson()), state)
            << state.toJson().value("state").toString().toStdString();
    }
    EXPECT_EQ(UpdateState::fromJson({{"state", "nonsense"}}), UpdateState{});
}

TEST(UpdateState, ReportsAreTheApplicationsWords) {
    EXPECT_EQ(UpdateReport::afterCheck(UpdateState{UpdateState::Kind::upToDate}, "0.1.0", "1"),
              "You're up to date\nKelvane 0.1.0 (1) is the latest build.");
    const QString failed = UpdateError(UpdateError::Kind::noFeed).description();
    EXPECT_EQ(UpdateReport::afterCheck(UpdateState::failed(failed), "0.1.0", "1"),
              "Couldn't check for updates\nSign in first — updates come from your workspace's "
              "server.");
    EXPECT_EQ(UpdateReport::afterInstall(UpdateState::failed("The downloaded update's signature "
                                                             "didn't verify."),
                                         "0.1.0", "1"),
              "Update failed\nThe downloaded update's signature didn't verify.");
    EXPECT_TRUE(
        UpdateReport::afterCheck(
            UpdateState::available({"0.2.0", "2", QUrl("https://x.test/K"), {}}), "0.1.0", "1")
            .startsWith("Kelvane 0.2.0 is available\nYou're running 0.1.0 (1)."));
    EXPECT_TRUE(UpdateReport::afterInstall(UpdateState{UpdateState::Kind::installing}, "0.1.0", "1")
                    .startsWith("Kelvane is restarting"));
    EXPECT_EQ(UpdateError(UpdateError::Kind::notWritable, "/opt").description(),
              "Can't write to /opt — move Kelvane to your home folder and try again.");
}
