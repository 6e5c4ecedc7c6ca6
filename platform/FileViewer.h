#pragma once

#include <QString>

// The desktop's file manager, as far as revealing items needs it; a fake stands in for tests.
class FileViewer {
public:
    virtual ~FileViewer() = default;
    // Shows the folder's content.
    virtual void openFolder(const QString& path) = 0;
    // Shows the item selected in its parent folder, also when nothing exists there yet.
    virtual void selectItem(const QString& path) = 0;
};
