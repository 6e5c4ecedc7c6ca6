// Saves what an X display shows: `kelvane_screengrab OUT.png [X Y W H [SCALE]]`, run with
// DISPLAY set. Tests and scripts/screenshots.sh use it; it never ships.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2 && args.size() != 6 && args.size() != 7) {
        std::fputs("usage: kelvane_screengrab OUT.png [X Y W H [SCALE]]\n", stderr);
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 1;
    QImage image = screen->grabWindow(0).toImage();
    if (args.size() >= 6)
        image = image.copy(args[2].toInt(), args[3].toInt(), args[4].toInt(), args[5].toInt());
    if (args.size() == 7) {
        const int scale = args[6].toInt();
        image = image.scaled(image.size() * scale, Qt::KeepAspectRatio, Qt::FastTransformation);
    }
    return image.save(args[1]) ? 0 : 1;
}
