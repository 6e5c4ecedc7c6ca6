#pragma once

#include "platform/TextClipboard.h"

#include <QObject>

class QClipboard;

// The application's general clipboard (QGuiApplication::clipboard()). It reports when another
// program takes the clipboard over, which on X11 is the end of what this process put there.
class QtTextClipboard : public QObject, public TextClipboard {
    Q_OBJECT
public:
    explicit QtTextClipboard(QClipboard& clipboard, QObject* parent = nullptr);
    void setText(const QString& text) override;
    // Whether the text set last is what the clipboard holds, as far as this process can tell.
    bool holdsText() const;

signals:
    void lost();

private:
    void check();

    QClipboard& clipboard_;
    QString text_;
    bool holding_ = false;
};
