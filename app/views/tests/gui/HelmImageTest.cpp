#include "app/views/tray/HelmImage.h"
#include "app/views/tests/support/Screenshots.h"
#include "app/views/tray/HelmTone.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace {

const QColor kInk(0x20, 0x20, 0x20);

// A pixel in 18-point, y-up coordinates (the helm's own) on a 2× image.
QColor at(const QImage& image, double x, double yUp) {
    const int px = int(std::floor(x * 2));
    const int py = int(std::floor((18 - yUp) * 2));
    return image.pixelColor(std::clamp(px, 0, image.width() - 1),
                            std::clamp(py, 0, image.height() - 1));
}

bool inked(const QColor& c) {
    return c.alpha() > 160;
}

// The point at radius r and angle a around the centre, y-up.
std::pair<double, double> polar(double r, double a) {
    return {9 + r * std::cos(a), 9 + r * std::sin(a)};
}

} // namespace

TEST(HelmImage, RingSpokesAndHubSitWhereTheGeometrySays) {
    const QImage image = HelmImage::make(kInk, 0, false, 2);
    ASSERT_EQ(image.size(), QSize(36, 36));
    EXPECT_EQ(image.devicePixelRatio(), 2);
    const double ringRadius = 0.44 * 18;
    // On the ring, between two spokes.
    auto [rx, ry] = polar(ringRadius, std::numbers::pi / 8);
    EXPECT_TRUE(inked(at(image, rx, ry)));
    // Halfway along the spoke at angle 0 and the one at 90 degrees.
    EXPECT_TRUE(inked(at(image, 9 + 4.5, 9)));
    EXPECT_TRUE(inked(at(image, 9, 9 + 4.5)));
    // Between spokes, inside the ring: empty.
    auto [ex, ey] = polar(4.5, std::numbers::pi / 8);
    EXPECT_EQ(at(image, ex, ey).alpha(), 0);
    // The hub is filled; the corners are clear.
    EXPECT_TRUE(inked(at(image, 9, 9)));
    EXPECT_EQ(at(image, 0.3, 0.3).alpha(), 0);
    EXPECT_EQ(at(image, 17.7, 17.7).alpha(), 0) << "no badge at rest";
}

TEST(HelmImage, RotationTurnsTheSpokesCounterClockwise) {
    const double quarterStep = std::numbers::pi / 8;
    const QImage turned = HelmImage::make(kInk, quarterStep, false, 2);
    auto [sx, sy] = polar(4.5, quarterStep);
    EXPECT_TRUE(inked(at(turned, sx, sy))) << "a spoke now lies at 22.5 degrees";
    EXPECT_EQ(at(turned, 9 + 4.5, 9).alpha(), 0) << "and none at 0";
    // Eight-fold symmetry: a turn by one spoke looks like no turn.
    EXPECT_EQ(HelmImage::make(kInk, std::numbers::pi / 4, false, 2).pixelColor(27, 18),
              HelmImage::make(kInk, 0, false, 2).pixelColor(27, 18));
}

TEST(HelmImage, TheBadgeIsBlueInTheTopRightCornerWithAClearRingAroundIt) {
    const QImage image = HelmImage::make(kInk, 0, true, 2);
    const double x0 = 18 - 5.4, y0 = 18 - 5.4;
    const QColor badge = at(image, x0 + 2.3, y0 + 2.3);
    EXPECT_EQ(badge.rgb(), HelmColors::kBlue.rgb());
    EXPECT_EQ(badge.alpha(), 255);
    // The gap between the badge (radius 2.3) and the punched circle (radius 3.0) is clear,
    // also where the ring passes under it.
    const double cx = x0 + 2.3, cy = y0 + 2.3;
    int clear = 0;
    for (int k = 0; k < 16; ++k) {
        const double a = k * std::numbers::pi / 8;
        if (at(image, cx + 2.75 * std::cos(a), cy + 2.75 * std::sin(a)).alpha() < 60)
            ++clear;
    }
    EXPECT_GE(clear, 14);
    // Where the ring passes through the clear circle (18.5 degrees off the badge's direction)
    // it is gone; on the far side it stays.
    auto [rx, ry] = polar(0.44 * 18, std::numbers::pi / 4 + 0.323);
    EXPECT_LT(at(image, rx, ry).alpha(), 60);
    EXPECT_TRUE(inked(at(HelmImage::make(kInk, 0, false, 2), rx, ry))) << "the ring is there";
    auto [lx, ly] = polar(0.44 * 18, 5 * std::numbers::pi / 4);
    EXPECT_TRUE(inked(at(image, lx, ly)));
    // Visually the corner is the top right: the top rows of the image hold the blue.
    EXPECT_EQ(image.pixelColor(31, 4).rgb(), HelmColors::kBlue.rgb());
}

TEST(HelmImage, DrawnAtTheDevicePixelRatio) {
    EXPECT_EQ(HelmImage::make(kInk, 0, false, 3).size(), QSize(54, 54));
    EXPECT_EQ(HelmImage::make(kInk, 0, false, 1.5).size(), QSize(27, 27));
    // Nothing is clipped: the ring keeps 0.38 points from the edges, the badge's punched
    // circle 0.1, so at 8x the outermost pixel rows and columns stay clear.
    for (const bool syncing : {false, true}) {
        const QImage big = HelmImage::make(kInk, 0.3, syncing, 8);
        int edgeInk = 0;
        for (int i = 0; i < big.width(); ++i)
            for (const QPoint p : {QPoint(i, 0), QPoint(i, big.height() - 1), QPoint(0, i),
                                   QPoint(big.width() - 1, i)})
                edgeInk += big.pixelColor(p).alpha() > 0;
        EXPECT_EQ(edgeInk, 0) << (syncing ? "with the badge" : "at rest");
    }
}

// Not a check: the pictures for people to look at (scripts/screenshots.sh collects them).
TEST(HelmImage, SavesEveryStateAsPictures) {
    const QPalette light;
    struct Shot {
        QString name;
        QColor color;
        double rotation;
        bool syncing;
    };
    const QList<Shot> shots{
        {"helm-signed-out", kInk, 0, false},
        {"helm-mounted", kInk, 0, false},
        {"helm-mounting", HelmColors::kOrange, 0, false},
        {"helm-error", HelmColors::kRed, 0, false},
        {"helm-syncing", kInk, 0.5, true},
        {"helm-syncing-on-dark", QColor(0xEE, 0xEE, 0xEE), 0.5, true},
    };
    // One sheet at 8× on a light and a dark panel, and each state as the tray gets it (2×).
    const int cell = 18 * 8 + 16;
    QImage sheet(cell * shots.size(), cell, QImage::Format_ARGB32);
    sheet.fill(Qt::transparent);
    QPainter sheetPainter(&sheet);
    for (int i = 0; i < shots.size(); ++i) {
        const Shot& s = shots[i];
        QImage helm = HelmImage::make(s.color, s.rotation, s.syncing, 8);
        helm.setDevicePixelRatio(1);
        ASSERT_TRUE(
            Screenshots::save(HelmImage::make(s.color, s.rotation, s.syncing, 2), s.name + ".png"));
        const bool dark = s.name.endsWith("on-dark");
        sheetPainter.fillRect(QRect(i * cell, 0, cell, cell),
                              dark ? QColor(0x2B, 0x2B, 0x2D) : QColor(0xEC, 0xEC, 0xEC));
        sheetPainter.drawImage(QPoint(i * cell + 8, 8), helm);
    }
    for (int k = 0; k < 4; ++k) {
        const double a = k * std::numbers::pi / 16;
        ASSERT_TRUE(Screenshots::save(HelmImage::make(kInk, a, true, 8),
                                      QString("helm-angle-%1.png").arg(k)));
    }
    sheetPainter.end();
    ASSERT_TRUE(Screenshots::save(sheet, "helm-states-8x.png"));
}
