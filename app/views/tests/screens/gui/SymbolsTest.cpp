#include "app/views/common/Symbols.h"
#include "app/views/common/Appearance.h"
#include "app/views/common/SymbolDrawings.h"
#include "app/views/tests/screens/support/QtPrinters.h"
#include "app/views/tests/screens/support/Screenshots.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Pixels that carry ink, and how many of them are the tint.
struct Ink {
    int painted = 0;
    int tinted = 0;
};

Ink inkOf(const QPixmap& pixmap, const QColor& tint) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 128)
                continue;
            ++ink.painted;
            if (qAbs(c.red() - tint.red()) < 8 && qAbs(c.green() - tint.green()) < 8 &&
                qAbs(c.blue() - tint.blue()) < 8)
                ++ink.tinted;
        }
    }
    return ink;
}

// A one-icon theme in a folder: index.theme and a PNG for the name.
void writeTheme(const QString& root, const QString& iconName) {
    const QString dir = root + "/kelvane-test/16x16/actions";
    QDir().mkpath(dir);
    QFile index(root + "/kelvane-test/index.theme");
    index.open(QIODevice::WriteOnly);
    index.write("[Icon Theme]\nName=kelvane-test\nDirectories=16x16/actions\n\n"
                "[16x16/actions]\nSize=16\nType=Fixed\n");
    index.close();
    QImage square(16, 16, QImage::Format_ARGB32);
    square.fill(Qt::black);
    square.save(dir + "/" + iconName + ".png");
}

} // namespace

TEST(Symbols, EverySymbolHasAThemeNameAndItsOwnDrawing) {
    EXPECT_EQ(Symbols::all(), SymbolDrawings::symbols());
    const QColor tint(0xFF, 0x3B, 0x30);
    QPixmap sheet(Symbols::all().size() * 40, 40);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    int x = 4;
    for (const QString& symbol : Symbols::all()) {
        SCOPED_TRACE(symbol.toStdString());
        EXPECT_FALSE(Symbols::themeNames(symbol).isEmpty());
        if (QIcon::themeName().isEmpty()) {
            EXPECT_EQ(Symbols::source(symbol), Symbols::Source::bundled);
        }
        for (const qreal ratio : {1.0, 2.0}) {
            const QPixmap icon = Symbols::pixmap(symbol, 16, tint, ratio);
            ASSERT_FALSE(icon.isNull());
            EXPECT_EQ(icon.size(), QSize(16, 16) * ratio);
            const Ink ink = inkOf(icon, tint);
            EXPECT_GT(ink.painted, int(12 * ratio * ratio)) << "the drawing shows";
            EXPECT_LT(ink.painted, int(16 * 16 * ratio * ratio * 0.8)) << "not a solid block";
            EXPECT_GT(ink.tinted * 10, ink.painted * 9) << "drawn in the tint";
        }
        painter.drawPixmap(x, 4, Symbols::pixmap(symbol, 32, Qt::black, 2.0));
        x += 40;
    }
    painter.end();
    sheet.save(Screenshots::folder() + "/symbols.png");
    EXPECT_TRUE(Symbols::pixmap("no.such.symbol", 16, tint, 1.0).isNull());
}

TEST(Symbols, TheDesktopsIconThemeComesFirstAndIsTinted) {
    QTemporaryDir themes;
    writeTheme(themes.path(), "folder");
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeName = QIcon::themeName();
    QIcon::setThemeSearchPaths({themes.path()});
    QIcon::setThemeName("kelvane-test");
    EXPECT_EQ(Symbols::source("folder"), Symbols::Source::theme);
    EXPECT_EQ(Symbols::source("globe"), Symbols::Source::bundled) << "the theme has no globe";
    const QColor tint(0x00, 0x7A, 0xFF);
    const Ink ink = inkOf(Symbols::pixmap("folder", 16, tint, 1.0), tint);
    EXPECT_EQ(ink.painted, 16 * 16) << "the theme's square, not the drawing";
    EXPECT_EQ(ink.tinted, ink.painted);
    QIcon::setThemeName(QString());
    EXPECT_EQ(Symbols::source("folder"), Symbols::Source::bundled) << "no theme: the drawing";
    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(themeName);
}

TEST(Appearance, LightDarkAndTheDesktopsChoice) {
    EXPECT_FALSE(Appearance::isDark(Appearance::lightPalette()));
    EXPECT_TRUE(Appearance::isDark(Appearance::darkPalette()));
    const QPalette light = Appearance::lightPalette();
    const QPalette dark = Appearance::darkPalette();
    using Appearance::paletteFor;
    EXPECT_EQ(paletteFor(AppearanceMode::light, true, dark), light);
    EXPECT_EQ(paletteFor(AppearanceMode::dark, false, light), dark);
    // System: the desktop's stated preference wins, else the platform's own palette decides.
    EXPECT_EQ(paletteFor(AppearanceMode::system, true, light), dark);
    EXPECT_EQ(paletteFor(AppearanceMode::system, false, dark), light);
    EXPECT_EQ(paletteFor(AppearanceMode::system, std::nullopt, dark), dark);
    EXPECT_EQ(paletteFor(AppearanceMode::system, std::nullopt, light), light);
    EXPECT_EQ(light.color(QPalette::Highlight), QColor(0x00, 0x7A, 0xFF));

    QLabel window;
    Appearance::apply(window, AppearanceMode::dark, std::nullopt);
    EXPECT_TRUE(Appearance::isDark(window.palette()));
    Appearance::apply(window, AppearanceMode::light, true);
    EXPECT_FALSE(Appearance::isDark(window.palette()));
}
