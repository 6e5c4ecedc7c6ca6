#pragma once

#include "platform/FileViewer.h"

// The file manager reached over D-Bus (org.freedesktop.FileManager1); when none answers, the
// folder is opened with xdg-open instead.
class FreedesktopFileViewer : public FileViewer {
public:
    void openFolder(const QString& path) override;
    void selectItem(const QString& path) override;

private:
    static void call(const QString& method, const QString& path, const QString& fallbackFolder);
    static void openWithDesktop(const QString& folder);
};
