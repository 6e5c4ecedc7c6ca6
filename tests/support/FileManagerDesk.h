#pragma once

#include "platform/PluginRegistry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The four file managers "installed" for a test: stand-in programs where the registry looks
// for them, and Nemo's settings schema compiled into a private folder with a key-file back end
// in the test's home, so gsettings reads and writes Nemo's switch as on a desktop.
class FileManagerDesk {
public:
    FileManagerDesk() {
        for (const char* name : {"dolphin", "nautilus", "nemo", "thunar"})
            present(name);
        const QString schemas = dir_.filePath("schemas");
        QDir().mkpath(schemas);
        QFile schema(schemas + "/org.nemo.plugins.gschema.xml");
        EXPECT_TRUE(schema.open(QIODevice::WriteOnly));
        schema.write("<schemalist><schema id=\"org.nemo.plugins\" path=\"/org/nemo/plugins/\">"
                     "<key name=\"disabled-actions\" type=\"as\"><default>[]</default></key>"
                     "</schema></schemalist>\n");
        schema.close();
        EXPECT_EQ(QProcess::execute("/usr/bin/glib-compile-schemas", {schemas}), 0);
        qputenv("GSETTINGS_SCHEMA_DIR", QFile::encodeName(schemas));
        qputenv("GSETTINGS_BACKEND", "keyfile");
    }
    ~FileManagerDesk() {
        qunsetenv("GSETTINGS_SCHEMA_DIR");
        qunsetenv("GSETTINGS_BACKEND");
    }

    void present(const QString& name) {
        QFile program(programs() + "/" + name);
        QDir().mkpath(programs());
        EXPECT_TRUE(program.open(QIODevice::WriteOnly));
        program.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    void absent(const QString& name) { QFile::remove(programs() + "/" + name); }

    PluginRegistry::Options options() const {
        PluginRegistry::Options options;
        options.programDirs = {programs()};
        return options;
    }

    // Nemo's own switch, written the way its preferences write it.
    static QByteArray gsettings(const QStringList& arguments) {
        QProcess tool;
        tool.start("/usr/bin/gsettings", arguments);
        EXPECT_TRUE(tool.waitForFinished(10'000));
        EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().constData();
        return tool.readAllStandardOutput().trimmed();
    }

private:
    QString programs() const { return dir_.filePath("bin"); }
    QTemporaryDir dir_;
};
