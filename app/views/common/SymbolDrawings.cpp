#include "app/views/common/SymbolDrawings.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <functional>

namespace SymbolDrawings {

namespace {

using Drawing = std::function<void(QPainter&, const QColor&)>;

QPen pen(const QColor& color, double width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Everything drawn inside `cut` erases what is under it instead of painting.
void cut(QPainter& p, const std::function<void()>& shapes) {
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    shapes();
    p.restore();
}

QPainterPath circle(QPointF centre, double radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath rounded(double x, double y, double w, double h, double r) {
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, w, h), r, r);
    return path;
}

void arrow(QPainter& p, bool up, double top, double bottom, double spread) {
    const double tip = up ? top : bottom;
    const double step = up ? spread : -spread;
    p.drawLine(QPointF(12, top), QPointF(12, bottom));
    p.drawPolyline(QPolygonF(
        {QPointF(12 - spread, tip + step), QPointF(12, tip), QPointF(12 + spread, tip + step)}));
}

void driveOutline(QPainter& p, const QColor& c) {
    p.setPen(pen(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2.8, 6.8, 18.4, 10.4), 2.6, 2.6);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(17.2, 13.6), 1.2, 1.2);
}

void driveFilled(QPainter& p, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(2, 6, 20, 12), 3, 3);
    cut(p, [&] { p.drawEllipse(QPointF(17.2, 13.6), 1.3, 1.3); });
}

void warningFilled(QPainter& p, const QColor& c) {
    p.setPen(pen(c, 2.4));
    p.setBrush(c);
    p.drawPolygon(QPolygonF({QPointF(12, 3.2), QPointF(21.6, 20), QPointF(2.4, 20)}));
    cut(p, [&] {
        p.setPen(pen(c, 2.2));
        p.drawLine(QPointF(12, 9.2), QPointF(12, 13.8));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(12, 17), 1.3, 1.3);
    });
}

void circleArrowFilled(QPainter& p, const QColor& c, bool up) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12, 12), 10, 10);
    cut(p, [&] {
        p.setPen(pen(c, 2.1));
        arrow(p, up, 6.8, 17.2, 4.2);
    });
}

void circleArrowOutline(QPainter& p, const QColor& c, bool up) {
    p.setPen(pen(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 12), 9.2, 9.2);
    p.setPen(pen(c, 1.8));
    arrow(p, up, 7.2, 16.8, 3.8);
}

void puzzlePiece(QPainter& p, const QColor& c) {
    const QPainterPath piece = rounded(3.5, 8.5, 13, 13, 2)
                                   .united(circle(QPointF(10, 7.3), 3))
                                   .united(circle(QPointF(17.6, 15), 3));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(piece);
}

void pointingHand(QPainter& p, const QColor& c) {
    QPainterPath hand = rounded(6.8, 1.8, 4.4, 13, 2.2)
                            .united(rounded(10.2, 7.6, 4, 8, 2))
                            .united(rounded(13.4, 8.6, 4, 8, 2))
                            .united(rounded(16.4, 10, 3.6, 7, 1.8))
                            .united(rounded(6.8, 11, 13.2, 11, 4));
    QTransform thumb;
    thumb.translate(7.8, 15.5);
    thumb.rotate(35);
    hand = hand.united(thumb.map(rounded(-6.5, -2, 7.5, 4, 2)));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(hand);
}

void link(QPainter& p, const QColor& c) {
    p.save();
    p.translate(12, 12);
    p.rotate(-45);
    p.setPen(pen(c, 1.9));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(-10, -3.4, 11.6, 6.8), 3.4, 3.4);
    p.drawRoundedRect(QRectF(-1.6, -3.4, 11.6, 6.8), 3.4, 3.4);
    p.restore();
}

void compass(QPainter& p, const QColor& c) {
    p.setPen(pen(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 12), 9.4, 9.4);
    p.setPen(pen(c, 1.0));
    p.setBrush(c);
    p.drawPolygon(QPolygonF({QPointF(16.4, 7.6), QPointF(13.4, 13.4), QPointF(10.6, 10.6)}));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(QPolygonF({QPointF(7.6, 16.4), QPointF(10.6, 10.6), QPointF(13.4, 13.4)}));
}

void gear(QPainter& p, const QColor& c) {
    QPolygonF outline;
    for (int tooth = 0; tooth < 8; ++tooth) {
        const double centre = tooth * 45.0;
        for (const auto& [offset, radius] : {std::pair{-17.0, 7.9}, std::pair{-9.0, 10.4},
                                             std::pair{9.0, 10.4}, std::pair{17.0, 7.9}}) {
            const double a = qDegreesToRadians(centre + offset);
            outline << QPointF(12 + radius * std::cos(a), 12 + radius * std::sin(a));
        }
    }
    p.setPen(pen(c, 0.8));
    p.setBrush(c);
    p.drawPolygon(outline);
    cut(p, [&] {
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(12, 12), 3.4, 3.4);
    });
}

void cross(QPainter& p, const QColor& c) {
    p.setPen(pen(c, 2.0));
    p.drawLine(QPointF(6.5, 6.5), QPointF(17.5, 17.5));
    p.drawLine(QPointF(17.5, 6.5), QPointF(6.5, 17.5));
}

void trayArrowOutline(QPainter& p, const QColor& c) {
    p.setPen(pen(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(8, 9.5), QPointF(4.8, 9.5), QPointF(4.8, 20.6),
                              QPointF(19.2, 20.6), QPointF(19.2, 9.5), QPointF(16, 9.5)}));
    p.setPen(pen(c, 1.8));
    arrow(p, false, 2.8, 15, 3.6);
}

void trayArrowFilled(QPainter& p, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(4, 9, 16, 12.5), 2.6, 2.6);
    cut(p, [&] {
        p.setPen(pen(c, 2.1));
        arrow(p, false, 2.8, 15.6, 3.8);
    });
    p.save();
    p.setClipRect(QRectF(0, 0, 24, 9));
    p.setPen(pen(c, 2.1));
    arrow(p, false, 2.8, 15.6, 3.8);
    p.restore();
}

void checkFilled(QPainter& p, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12, 12), 10, 10);
    cut(p, [&] {
        p.setPen(pen(c, 2.2));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(7.2, 12.4), QPointF(10.6, 15.8), QPointF(16.9, 8.9)}));
    });
}

void arcWithHead(QPainter& p, const QColor& c, double start, double sweep) {
    const QRectF ring(4.2, 4.2, 15.6, 15.6);
    QPainterPath arc;
    arc.arcMoveTo(ring, start);
    arc.arcTo(ring, start, sweep);
    p.setPen(pen(c, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arc);
    const double end = qDegreesToRadians(start + sweep);
    const QPointF tip(12 + 7.8 * std::cos(end), 12 - 7.8 * std::sin(end));
    const QPointF along(-std::sin(end), -std::cos(end)); // counter-clockwise on screen
    const QPointF outward(std::cos(end), -std::sin(end));
    p.setPen(pen(c, 1.0));
    p.setBrush(c);
    p.drawPolygon(QPolygonF({tip + along * 3.0, tip + outward * 2.8, tip - outward * 2.8}));
}

void circlePath(QPainter& p, const QColor& c) {
    arcWithHead(p, c, 25, 125);
    arcWithHead(p, c, 205, 125);
}

void plainArrow(QPainter& p, const QColor& c, bool up) {
    p.setPen(pen(c, 1.9));
    arrow(p, up, 4.5, 19.5, 5.2);
}

void folder(QPainter& p, const QColor& c) {
    QPainterPath path;
    path.moveTo(3, 6.5);
    path.lineTo(3, 18.2);
    path.quadTo(3, 19.5, 4.3, 19.5);
    path.lineTo(19.7, 19.5);
    path.quadTo(21, 19.5, 21, 18.2);
    path.lineTo(21, 8.8);
    path.quadTo(21, 7.5, 19.7, 7.5);
    path.lineTo(11.4, 7.5);
    path.lineTo(9.4, 5.2);
    path.lineTo(4.3, 5.2);
    path.quadTo(3, 5.2, 3, 6.5);
    p.setPen(pen(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.drawLine(QPointF(3, 10.2), QPointF(21, 10.2));
}

void globe(QPainter& p, const QColor& c) {
    p.setPen(pen(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 12), 9.4, 9.4);
    p.save();
    p.setClipPath(circle(QPointF(12, 12), 9.4));
    p.setPen(pen(c, 1.3));
    p.drawEllipse(QPointF(12, 12), 4.2, 9.4);
    p.drawLine(QPointF(2, 12), QPointF(22, 12));
    p.drawLine(QPointF(2, 7.4), QPointF(22, 7.4));
    p.drawLine(QPointF(2, 16.6), QPointF(22, 16.6));
    p.restore();
}

void cloud(QPainter& p, const QColor& c) {
    const QPainterPath shape = circle(QPointF(8.4, 13.8), 4.2)
                                   .united(circle(QPointF(13, 10.6), 5.2))
                                   .united(circle(QPointF(17.4, 14.4), 3.8))
                                   .united(rounded(4.2, 12.4, 17, 6.2, 3.1));
    p.setPen(pen(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape.simplified());
}

void power(QPainter& p, const QColor& c) {
    QPainterPath arc;
    const QRectF ring(4, 4.6, 16, 16);
    arc.arcMoveTo(ring, 58);
    arc.arcTo(ring, 58, -296);
    p.setPen(pen(c, 1.9));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arc);
    p.drawLine(QPointF(12, 2.6), QPointF(12, 11.4));
}

const QHash<QString, Drawing>& table() {
    static const QHash<QString, Drawing> drawings{
        {"externaldrive", driveOutline},
        {"externaldrive.fill", driveFilled},
        {"exclamationmark.triangle.fill", warningFilled},
        {"arrow.down.circle.fill",
         [](QPainter& p, const QColor& c) { circleArrowFilled(p, c, false); }},
        {"arrow.up.circle.fill",
         [](QPainter& p, const QColor& c) { circleArrowFilled(p, c, true); }},
        {"arrow.down.circle",
         [](QPainter& p, const QColor& c) { circleArrowOutline(p, c, false); }},
        {"puzzlepiece.extension.fill", puzzlePiece},
        {"hand.point.up.left.fill", pointingHand},
        {"link", link},
        {"safari", compass},
        {"gearshape", gear},
        {"gear", gear},
        {"xmark", cross},
        {"square.and.arrow.down", trayArrowOutline},
        {"square.and.arrow.down.fill", trayArrowFilled},
        {"checkmark.circle.fill", checkFilled},
        {"arrow.triangle.2.circlepath", circlePath},
        {"arrow.up", [](QPainter& p, const QColor& c) { plainArrow(p, c, true); }},
        {"arrow.down", [](QPainter& p, const QColor& c) { plainArrow(p, c, false); }},
        {"folder", folder},
        {"globe", globe},
        {"cloud", cloud},
        {"power", power},
    };
    return drawings;
}

} // namespace

bool draw(QPainter& painter, const QString& symbol, const QRectF& box, const QColor& color) {
    const auto found = table().constFind(symbol);
    if (found == table().constEnd())
        return false;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.topLeft());
    painter.scale(box.width() / 24.0, box.height() / 24.0);
    (*found)(painter, color);
    painter.restore();
    return true;
}

QStringList symbols() {
    QStringList names = table().keys();
    names.sort();
    return names;
}

} // namespace SymbolDrawings
