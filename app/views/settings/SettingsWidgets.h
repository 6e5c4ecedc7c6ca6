#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class QWidget;

// Small pieces the settings window's tabs share.
namespace SettingsWidgets {

// A section's caption in small bold type.
QLabel* heading(const QString& text, QWidget* parent);
// A label for a path: shown whole in the tooltip, cut in the middle when it does not fit.
QLabel* pathLabel(QWidget* parent);
void setPath(QLabel* label, const QString& path);

} // namespace SettingsWidgets

// A rounded panel a little lighter than the window, holding one card's content.
class CardFrame : public QFrame {
    Q_OBJECT
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent* event) override;
};
