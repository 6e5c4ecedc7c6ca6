#pragma once

#include <QImage>
#include <QString>

// Where the status item shows its helm and tooltip: the desktop's tray, or a double in tests.
class TraySurface {
public:
    virtual ~TraySurface() = default;
    virtual void showIcon(const QImage& image) = 0;
    virtual void showToolTip(const QString& text) = 0;
};
