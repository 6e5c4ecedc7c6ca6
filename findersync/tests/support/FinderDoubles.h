#pragma once

#include "platform/findersync/Pasteboard.h"
#include "platform/findersync/Workspace.h"

#include <QStringList>

// The desktop's side of FinderSync, recorded instead of touched.
struct RecordingPasteboard : Pasteboard {
    bool setString(const QString& text, QString*) override {
        strings.append(text);
        return true;
    }
    QStringList strings;
};

struct RecordingWorkspace : Workspace {
    bool openURL(const QString& url, QString*) override {
        opened.append(url);
        return true;
    }
    QStringList opened;
};
