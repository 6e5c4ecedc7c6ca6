#include "app/views/PopoverWindow.h"

#include "app/views/Appearance.h"
#include "app/views/PopoverPlacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QStyleFactory>
#include <QVBoxLayout>

PopoverWindow::PopoverWindow(QWidget* parent) : QWidget(parent, Qt::Popup) {
    setFixedSize(kSize);
    setWindowTitle(QStringLiteral("Kelvane"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void PopoverWindow::setAppearance(AppearanceMode mode) {
    if (const auto palette = Appearance::paletteFor(mode)) {
        setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        setPalette(*palette);
    } else {
        setPalette(QGuiApplication::palette());
    }
    setAutoFillBackground(true);
}

void PopoverWindow::openFor(const QRect& iconGeometry) {
    if (factory_)
        setContent(factory_());
    const QPoint cursor = QCursor::pos();
    QScreen* screen = iconGeometry.isValid() ? QGuiApplication::screenAt(iconGeometry.center())
                                             : QGuiApplication::screenAt(cursor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), kSize);
    move(PopoverPlacement::origin(iconGeometry, cursor, available, kSize));
    show();
    raise();
    activateWindow();
    emit opened();
}

void PopoverWindow::setContent(QWidget* content) {
    if (content == content_)
        return;
    delete content_.data();
    content_ = content;
    if (content_) {
        layout()->addWidget(content_);
        // A child added to a window already showing stays hidden until shown.
        content_->show();
    }
}

bool PopoverWindow::closedJustNow() const {
    return sinceClose_.isValid() && sinceClose_.elapsed() < kReopenGuardMs;
}

void PopoverWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PopoverWindow::hideEvent(QHideEvent* event) {
    sinceClose_.start();
    QWidget::hideEvent(event);
    emit closed();
}
