#include "app/update/Shell.h"
#include "shared/KelvaneError.h"
#include "shared/WaitForTask.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

// The updater's tool runner against real programs.
TEST(Shell, OutputIsStandardOutputThenStandardErrorAndIgnoresTheStatus) {
    const QString onlyErrors =
        WaitForTask::run(Shell::output("/bin/ls", {"/no/such/kelvane-file"}));
    EXPECT_TRUE(onlyErrors.contains("/no/such/kelvane-file")) << onlyErrors.toStdString();
    EXPECT_TRUE(onlyErrors.startsWith("/bin/ls:") || onlyErrors.startsWith("ls:"))
        << onlyErrors.toStdString();

    const QString both = WaitForTask::run(Shell::output("/bin/ls", {"/", "/no/such/kelvane-file"}));
    const qsizetype listing = both.indexOf("\nusr\n");
    const qsizetype complaint = both.indexOf("/no/such/kelvane-file");
    EXPECT_GE(listing, 0) << both.toStdString();
    EXPECT_GT(complaint, listing) << both.toStdString();

    // A stream that is not UTF-8 reads as empty.
    EXPECT_EQ(WaitForTask::run(Shell::output("/usr/bin/printf", {"\\377\\376"})), "");
}

TEST(Shell, SucceedsOnlyForStatusZeroAndDrainsTalkativeTools) {
    EXPECT_TRUE(WaitForTask::run(Shell::succeeds("/bin/true", {})));
    EXPECT_FALSE(WaitForTask::run(Shell::succeeds("/bin/false", {})));
    // Megabytes on both pipes, far past what a pipe holds, must not block the tool.
    EXPECT_TRUE(WaitForTask::run(Shell::succeeds("/usr/bin/head", {"-c", "8000000", "/dev/zero"})));
    QStringList missing;
    for (int i = 0; i < 20000; ++i)
        missing.append("/no/such/kelvane-file-" + QString::number(i));
    EXPECT_FALSE(WaitForTask::run(Shell::succeeds("/bin/ls", missing)));
    const QString complaints = WaitForTask::run(Shell::output("/bin/ls", missing));
    EXPECT_TRUE(complaints.contains("kelvane-file-19999")) << complaints.size();
}

TEST(Shell, AToolThatCannotStartThrowsAndOnePastItsLimitFails) {
    try {
        WaitForTask::run(Shell::succeeds("/no/such/tool", {}));
        ADD_FAILURE() << "a missing program started";
    } catch (const std::exception& e) {
        EXPECT_FALSE(describeError(e).isEmpty());
    }
    EXPECT_FALSE(WaitForTask::run(Shell::succeeds("/bin/sleep", {"600"}, 100ms)));
}
