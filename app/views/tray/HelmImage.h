#pragma once

#include <QColor>
#include <QImage>

// The ship's helm the tray shows: ring, eight spokes with round caps and a hub, turned by
// rotation (radians, counter-clockwise), with a blue badge in the top-right corner while data
// moves. Drawn for an 18-point square at the given device pixel ratio (36 × 36 pixels at 2).
namespace HelmImage {

inline constexpr qreal kPointSize = 18.0;

QImage make(const QColor& color, double rotation, bool syncing, qreal devicePixelRatio);

} // namespace HelmImage
