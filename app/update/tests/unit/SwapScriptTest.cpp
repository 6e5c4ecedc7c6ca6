#include "app/update/SwapScript.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

SwapScript script() {
    return {4242,
            "/home/ann/Apps/Kelvane",
            "/tmp/KelvaneUpdate-7/Kelvane",
            "/tmp/KelvaneUpdate-7",
            "/tmp/Kelvane-update-9.tar.gz",
            {"--headless", "--ca-certificates", "/home/ann/my ca.pem"}};
}

} // namespace

TEST(SwapScript, IsTheScriptLineByLineWithEveryValueQuoted) {
    const QStringList lines = script().text().split('\n');
    const QStringList expected{
        "#!/bin/bash",
        "# Written by Kelvane's updater. Waits for the app to quit, swaps the",
        "# bundle, and starts the new one.",
        "for _ in $(seq 1 150); do",
        " /bin/ps -p 4242 >/dev/null 2>&1 || break",
        " /bin/sleep 0.2",
        "done",
        "/bin/rm -rf \"/home/ann/Apps/.Kelvane-update\"",
        "/bin/cp -a \"/tmp/KelvaneUpdate-7/Kelvane\" \"/home/ann/Apps/.Kelvane-update\" || exit 1",
        "/bin/chmod -R u+w \"/home/ann/Apps/.Kelvane-update\" 2>/dev/null",
        "/bin/rm -rf \"/home/ann/Apps/Kelvane\"",
        "/bin/mv \"/home/ann/Apps/.Kelvane-update\" \"/home/ann/Apps/Kelvane\" || exit 1",
        "/bin/chmod -R u+w \"/tmp/KelvaneUpdate-7\" 2>/dev/null; /bin/rm -rf "
        "\"/tmp/KelvaneUpdate-7\" 2>/dev/null",
        "/bin/rm -f \"/tmp/Kelvane-update-9.tar.gz\"",
        "/bin/rmdir \"/tmp/KelvaneUpdate-7\" 2>/dev/null",
        "/usr/bin/setsid -f \"/home/ann/Apps/Kelvane/bin/kelvane\" \"--headless\" "
        "\"--ca-certificates\" \"/home/ann/my ca.pem\" </dev/null",
        "/bin/rm -f \"$0\"",
        "",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(script().unsafeValue(), std::nullopt);
}

TEST(SwapScript, RefusesValuesTheShellWouldRead) {
    for (const QString& bad : {QString("/home/a\"b/Kelvane"), QString("/home/$USER/Kelvane"),
                               QString("/home/`id`/Kelvane"), QString("/home/a\\b/Kelvane"),
                               QString("/home/a\nb/Kelvane"), QString("/home/a\tb/Kelvane")}) {
        SwapScript s = script();
        s.currentBundle = bad;
        EXPECT_EQ(s.unsafeValue(), bad) << bad.toStdString();
    }
    SwapScript s = script();
    s.package = "/tmp/$(rm -rf ~).tar.gz";
    EXPECT_EQ(s.unsafeValue(), s.package);
    s = script();
    s.relaunchArguments.append("`reboot`");
    EXPECT_EQ(s.unsafeValue(), "`reboot`");
    s = script();
    s.unpackedFolder = "/tmp/a\"; rm -rf ~; \"";
    EXPECT_EQ(s.unsafeValue(), s.unpackedFolder);
    // Blanks, quotes of the other kind and non-ASCII are fine between double quotes.
    s = script();
    s.currentBundle = QString::fromUtf8("/home/ann/My Apps/J'ai été/Kelvane");
    EXPECT_EQ(s.unsafeValue(), std::nullopt);
    EXPECT_EQ(SwapScript::stagingBundle(s.currentBundle),
              QString::fromUtf8("/home/ann/My Apps/J'ai été/.Kelvane-update"));
}
