#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

// What the file manager tells the extension and what the extension tells it back: the folders
// whose items get the extension's menu, and the items the user right-clicked (the paths the
// file manager passed, as bytes, so names that are not UTF-8 survive).
class FinderSyncController : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    QSet<QString> directoryURLs() const { return directories_; }
    void setDirectoryURLs(const QSet<QString>& folders);

    QList<QByteArray> selectedItemURLs() const { return selection_; }
    void setSelectedItemURLs(const QList<QByteArray>& items) { selection_ = items; }

    // Whether an item lies inside one of the folders (or is one of them).
    bool covers(const QByteArray& item) const;

signals:
    void directoryURLsChanged();

private:
    QSet<QString> directories_;
    QList<QByteArray> selection_;
};
