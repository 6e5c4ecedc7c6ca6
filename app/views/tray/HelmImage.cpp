#include "app/views/tray/HelmImage.h"

#include "app/views/tray/HelmTone.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace HelmImage {

namespace {

constexpr qreal kLineWidth = 1.4;

void drawWheel(QPainter& p, const QRectF& r, const QColor& color, double rotation) {
    const QPointF c = r.center();
    const qreal radius = 0.44 * std::min(r.width(), r.height());
    const qreal hub = 0.28 * radius;
    QPen pen(color, kLineWidth);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, radius, radius);
    for (int k = 0; k < 8; ++k) {
        const double a = rotation + k * std::numbers::pi / 4;
        const QPointF direction(std::cos(a), std::sin(a));
        p.drawLine(c + 1.4 * hub * direction, c + (radius - 0.7) * direction);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(c, hub, hub);
}

void drawBadge(QPainter& p, const QRectF& r) {
    const qreal x0 = r.right() - 5.4;
    const qreal y0 = r.bottom() - 5.4;
    p.setPen(Qt::NoPen);
    // A clear ring first, so the badge stands apart from the ring and spokes under it.
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(x0 - 0.7, y0 - 0.7, 6.0, 6.0));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setBrush(HelmColors::kBlue);
    p.drawEllipse(QRectF(x0, y0, 4.6, 4.6));
}

} // namespace

QImage make(const QColor& color, double rotation, bool syncing, qreal devicePixelRatio) {
    const int pixels = int(std::lround(kPointSize * devicePixelRatio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn with y growing upward, as the helm's geometry is given.
    p.translate(0, kPointSize);
    p.scale(1, -1);
    const QRectF r(0, 0, kPointSize, kPointSize);
    drawWheel(p, r, color, rotation);
    if (syncing)
        drawBadge(p, r);
    return image;
}

} // namespace HelmImage
