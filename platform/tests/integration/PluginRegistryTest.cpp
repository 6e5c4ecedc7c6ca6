#include "platform/PluginRegistry.h"
#include "app/tests/mountsupport/ReadOnlyFolder.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "tests/support/FileManagerDesk.h"
#include "tests/support/TestHome.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const QString kId = PluginRegistry::kIdentifier;

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class PluginRegistryTest : public ::testing::Test {
protected:
    // pluginkit -m's lines reduced to "mark file-manager".
    QStringList listed() {
        const auto output = registry().run({"-m", "-i", kId});
        EXPECT_TRUE(output.has_value());
        QStringList lines;
        for (const QString& line : output->split('\n', Qt::SkipEmptyParts)) {
            EXPECT_TRUE(line.contains(kId + "(")) << line.toStdString();
            lines.append(line.left(1) + " " + line.section('\t', 1, 1));
        }
        return lines;
    }
    PluginRegistry registry() const { return PluginRegistry(desk.options()); }
    QString program() const { return home.path() + "/Kelvane/bin/kelvane-findersync"; }
    QString thunarFile() const { return Paths::thunarActionsFile(); }

    TestHome home;
    FileManagerDesk desk;
};

TEST_F(PluginRegistryTest, InstallsListsSwitchesOffInEachFileManagerAndSwitchesBackOn) {
    EXPECT_EQ(registry().run({"-m", "-i", kId}), QString());
    EXPECT_EQ(registry().run({"-a", program()}), QString());
    EXPECT_EQ(listed(), (QStringList{"+ dolphin", "+ nautilus", "+ nemo", "+ thunar"}));

    // Each file manager's own switch, as its settings write it; switched-off lines come first.
    ASSERT_TRUE(AtomicFile::write(Paths::dolphinMenuSwitches(),
                                  "[Show]\nark=false\nkelvaneCopyLink=false\n\n[Other]\nx=1\n"));
    EXPECT_EQ(listed(), (QStringList{"- dolphin", "+ nautilus", "+ nemo", "+ thunar"}));
    const QString script = Paths::nautilusScriptsDir() + "/Kelvane/Copy Kelvane Link";
    ASSERT_TRUE(QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    FileManagerDesk::gsettings({"set", "org.nemo.plugins", "disabled-actions",
                                "['other.nemo_action', 'kelvane-open-on-web.nemo_action']"});
    QByteArray uca = readAll(thunarFile());
    for (const char* type : {"\t<directories/>\n", "\t<audio-files/>\n", "\t<image-files/>\n",
                             "\t<other-files/>\n", "\t<text-files/>\n", "\t<video-files/>\n"})
        uca.replace(type, "");
    ASSERT_TRUE(AtomicFile::write(thunarFile(), uca));
    EXPECT_EQ(listed(), (QStringList{"- dolphin", "- nautilus", "- nemo", "- thunar"}));

    // Installing again (every launch does) leaves the user's switches as they are.
    registry().install(program());
    EXPECT_EQ(listed(), (QStringList{"- dolphin", "- nautilus", "- nemo", "- thunar"}));

    EXPECT_EQ(registry().run({"-e", "use", "-i", kId}), QString());
    EXPECT_EQ(listed(), (QStringList{"+ dolphin", "+ nautilus", "+ nemo", "+ thunar"}));
    // Only our switches changed.
    EXPECT_EQ(readAll(Paths::dolphinMenuSwitches()), "[Show]\nark=false\n\n[Other]\nx=1\n");
    EXPECT_EQ(FileManagerDesk::gsettings({"get", "org.nemo.plugins", "disabled-actions"}),
              "['other.nemo_action']");
    EXPECT_EQ(registry().run({"-x"}), std::nullopt);
    EXPECT_EQ(registry().run({"-m", "-i", "com.other"}), std::nullopt);
}

TEST_F(PluginRegistryTest, ActionFilesRunThisInstallationAndHaveTheModesTheirFileManagersNeed) {
    const QString odd = home.path() + "/Kel vane's \"%x\"/bin/kelvane-findersync";
    ASSERT_TRUE(registry().install(odd).isEmpty());
    const auto executable = [](const QString& path) { return QFileInfo(path).isExecutable(); };
    for (const QString& dir : Paths::dolphinServiceMenuDirs()) {
        for (const char* name :
             {"/kelvane-findersync.desktop", "/kelvane-findersync-several.desktop"}) {
            EXPECT_TRUE(executable(dir + name)) << (dir + name).toStdString();
        }
    }
    const QByteArray single =
        readAll(Paths::dolphinServiceMenuDirs().first() + "/kelvane-findersync.desktop");
    const QByteArray exec = "Exec=\"" + QFile::encodeName(home.path()) +
                            "/Kel vane's \\\\\"%%x\\\\\"/bin/kelvane-findersync\" copy-link %U\n";
    EXPECT_TRUE(single.contains(exec)) << single.constData();
    EXPECT_TRUE(single.contains("X-KDE-MaxNumberOfUrls=1\n"));
    EXPECT_TRUE(single.contains("Name=Copy Kelvane Link\n"));
    EXPECT_TRUE(
        readAll(Paths::dolphinServiceMenuDirs().first() + "/kelvane-findersync-several.desktop")
            .contains("Name=Copy Kelvane Links\n"));

    const QString script = Paths::nautilusScriptsDir() + "/Kelvane/Open in Kelvane on the Web";
    EXPECT_TRUE(executable(script));
    EXPECT_EQ(readAll(script), "#!/usr/bin/env -S '" + QFile::encodeName(home.path()) +
                                   "/Kel vane\\'s \"%x\"/bin/kelvane-findersync' "
                                   "nautilus-script open-on-web\n");

    const QByteArray nemo = readAll(Paths::nemoActionsDir() + "/kelvane-copy-links.nemo_action");
    EXPECT_TRUE(nemo.contains("Selection=m\n"));
    EXPECT_TRUE(nemo.contains("Conditions=exec <kelvane-in-drive>;\n"));
    EXPECT_TRUE(nemo.contains("Exec='" + QFile::encodeName(home.path()) +
                              "/Kel vane'\\\\''s \"%x\"/bin/kelvane-findersync' copy-link %U\n"))
        << nemo.constData();
    EXPECT_TRUE(executable(Paths::nemoActionsDir() + "/kelvane-in-drive"));

    QByteArray uca = readAll(thunarFile());
    EXPECT_TRUE(uca.contains("<command>'" + QFile::encodeName(home.path()) +
                             "/Kel vane'\\''s &quot;%x&quot;/bin/kelvane-findersync' copy-link "
                             "%U</command>"))
        << uca.constData();
    // Switching Thunar back on finds the program in the entry itself.
    uca.replace("\t<directories/>\n", "").replace("\t<other-files/>\n", "");
    uca.replace("\t<audio-files/>\n", "").replace("\t<image-files/>\n", "");
    uca.replace("\t<text-files/>\n", "").replace("\t<video-files/>\n", "");
    ASSERT_TRUE(AtomicFile::write(thunarFile(), uca));
    EXPECT_TRUE(registry().switchOn().isEmpty());
    EXPECT_EQ(readAll(thunarFile())
                  .count("<command>'" + QFile::encodeName(home.path()) + "/Kel vane'\\''s"),
              2);
}

TEST_F(PluginRegistryTest, OnlyFileManagersThatArePresentGetActions) {
    desk.absent("dolphin");
    desk.absent("nemo");
    registry().install(program());
    EXPECT_EQ(listed(), (QStringList{"+ nautilus", "+ thunar"}));
    EXPECT_FALSE(QFileInfo::exists(Paths::nemoActionsDir()));
    EXPECT_FALSE(QFileInfo::exists(Paths::dolphinServiceMenuDirs().first()));
    EXPECT_EQ(registry().managementFolder(), Paths::nautilusScriptsDir() + "/Kelvane");
}

TEST_F(PluginRegistryTest, ThunarsOtherActionsAreKeptByteForByteAndOursNeverDoubled) {
    const QByteArray before =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- mine -->\n<actions>\n"
        "<action>\n\t<icon>utilities-terminal</icon>\n\t<name>Terminal \xC3\xA9 &amp; co</name>\n"
        "\t<unique-id>1521317528494802-1</unique-id>\n\t<command>exo-open %f</command>\n"
        "\t<description></description>\n\t<patterns>*</patterns>\n\t<directories/>\n"
        "</action>\n  <action><name>x</name><unique-id>2</unique-id></action>\n</actions>\n";
    ASSERT_TRUE(AtomicFile::write(thunarFile(), before));
    registry().install(program());
    registry().install(program() + "2");
    const QByteArray after = readAll(thunarFile());
    const qsizetype ours = after.indexOf("<action>\n\t<icon>insert-link");
    ASSERT_GT(ours, 0);
    EXPECT_EQ(after.left(ours), before.left(before.indexOf("</actions>")));
    EXPECT_TRUE(after.endsWith("</action>\n</actions>\n"));
    EXPECT_EQ(after.count("<unique-id>com.30814qv.kelvane.findersync.copy-link</unique-id>"), 1);
    EXPECT_EQ(after.count("kelvane-findersync2' copy-link %U"), 1);
    EXPECT_EQ(after.count("kelvane-findersync' copy-link"), 0);

    // An empty list written as <actions/> takes ours too.
    ASSERT_TRUE(AtomicFile::write(thunarFile(), "<actions/>\n"));
    registry().install(program());
    EXPECT_EQ(listed().last(), "+ thunar");
}

TEST_F(PluginRegistryTest, MalformedUcaAndReadOnlyFoldersAreReportedAndLeftAlone) {
    for (const QByteArray& broken :
         {QByteArray("<actions><action><name>x</name></actions>"), QByteArray(""),
          QByteArray("<menu/>"), QByteArray("not xml at all")}) {
        ASSERT_TRUE(AtomicFile::write(thunarFile(), broken));
        const QStringList problems = registry().install(program());
        ASSERT_EQ(problems.size(), 1) << broken.constData();
        EXPECT_TRUE(problems.first().startsWith("thunar: ")) << problems.first().toStdString();
        EXPECT_TRUE(problems.first().contains("left as it is"));
        EXPECT_EQ(readAll(thunarFile()), broken);
        EXPECT_EQ(listed(), (QStringList{"+ dolphin", "+ nautilus", "+ nemo"}));
    }

    QFile::remove(thunarFile());
    ASSERT_TRUE(QDir().mkpath(Paths::nemoActionsDir()));
    for (const QString& file : QDir(Paths::nemoActionsDir()).entryList(QDir::Files))
        QFile::remove(Paths::nemoActionsDir() + "/" + file);
    ReadOnlyFolder locked(Paths::nemoActionsDir());
    if (!locked.active())
        GTEST_SKIP() << "cannot make a folder read-only here";
    const QStringList problems = registry().install(program());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems.first().startsWith("nemo: cannot write "))
        << problems.first().toStdString();
    EXPECT_EQ(listed(), (QStringList{"+ dolphin", "+ nautilus", "+ thunar"}));
}

} // namespace
