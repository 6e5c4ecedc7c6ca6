#include "app/views/settings/SettingsWidgets.h"

#include "app/views/common/ToneLabel.h"
#include "app/views/common/ViewColors.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>

namespace {

// Elides its text in the middle to the width it is given.
class PathLabel : public ToneLabel {
public:
    explicit PathLabel(QWidget* parent) : ToneLabel(ViewColor::secondary, parent) {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setMinimumWidth(60);
    }
    void setPath(const QString& path) {
        path_ = path;
        setToolTip(path);
        fit();
    }
    QSize sizeHint() const override {
        return {fontMetrics().horizontalAdvance(path_), QLabel::sizeHint().height()};
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        fit();
    }

private:
    void fit() { setText(fontMetrics().elidedText(path_, Qt::ElideMiddle, width())); }
    QString path_;
};

} // namespace

namespace SettingsWidgets {

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new ToneLabel(ViewColor::secondary, parent);
    label->setText(text);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    font.setLetterSpacing(QFont::PercentageSpacing, 104);
    label->setFont(font);
    return label;
}

QLabel* pathLabel(QWidget* parent) {
    return new PathLabel(parent);
}

void setPath(QLabel* label, const QString& path) {
    static_cast<PathLabel*>(label)->setPath(path);
}

} // namespace SettingsWidgets

void CardFrame::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ViewColors::cardBackground(palette()));
    p.drawRoundedRect(QRectF(rect()), 8, 8);
    QFrame::paintEvent(event);
}
