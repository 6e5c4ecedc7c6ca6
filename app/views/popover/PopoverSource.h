#pragma once

#include "app/views/popover/PopoverState.h"

#include <QObject>
#include <QUrl>

// Where the popover reads its state from and what it does itself (everything else goes to
// the delegate's commands). The application's source reads the components; tests use a fake.
class PopoverSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual PopoverState state() const = 0;
    virtual void cancelImport() = 0;
    // The drive in the file manager: the mount point's folder (or its parent while it does
    // not exist), or the file-provider root.
    virtual void openInFileManager() = 0;
    virtual void openWebBrowser(const QUrl& address) = 0;
    // The first-use tip was dismissed, for good.
    virtual void markOnboardingSeen() = 0;

signals:
    // Something the state is made of changed; at most once per turn of the event loop.
    void changed();
};
