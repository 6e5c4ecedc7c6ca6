#include "app/views/tests/screens/support/LayoutCheck.h"

#include "app/views/popover/MenuBarButton.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QWidget>

namespace LayoutCheck {

namespace {

QString nameOf(const QWidget* w) {
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return QStringLiteral("label \"%1\"").arg(label->text().left(40));
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        return QStringLiteral("button \"%1\"").arg(button->text());
    return QString::fromLatin1(w->metaObject()->className()) + " " + w->objectName();
}

// Whether the widget lies inside a scroll area's content (which may be taller than the
// window, but never wider).
bool isScrolled(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        if (qobject_cast<const QScrollArea*>(p))
            return true;
    }
    return false;
}

void checkText(const QWidget* w, QStringList& out) {
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->text().isEmpty() || !label->pixmap().isNull())
            return;
        if (label->wordWrap()) {
            const int needed = label->heightForWidth(label->width());
            if (needed > label->height() + 1)
                out << QStringLiteral("%1 is cut off: %2 px high, needs %3")
                           .arg(nameOf(w))
                           .arg(label->height())
                           .arg(needed);
        } else if (label->sizeHint().width() > label->width() + 1 &&
                   label->sizePolicy().horizontalPolicy() != QSizePolicy::Ignored) {
            out << QStringLiteral("%1 is cut off: %2 px wide, needs %3")
                       .arg(nameOf(w))
                       .arg(label->width())
                       .arg(label->sizeHint().width());
        }
        return;
    }
    if (const auto* row = qobject_cast<const MenuBarButton*>(w)) {
        if (row->sizeHint().width() > row->width() + 1)
            out << QStringLiteral("%1 is elided: %2 px wide, needs %3")
                       .arg(nameOf(w))
                       .arg(row->width())
                       .arg(row->sizeHint().width());
        return;
    }
    if (const auto* button = qobject_cast<const QPushButton*>(w)) {
        if (button->minimumSizeHint().width() > button->width() + 1)
            out << QStringLiteral("%1 is cut off").arg(nameOf(w));
    }
}

void checkBounds(const QWidget& root, const QWidget* w, QStringList& out) {
    const QRect inRoot(w->mapTo(&root, QPoint(0, 0)), w->size());
    if (inRoot.left() < -1 || inRoot.right() > root.width() + 1)
        out << QStringLiteral("%1 sticks out of the window's width (%2..%3 of %4)")
                   .arg(nameOf(w))
                   .arg(inRoot.left())
                   .arg(inRoot.right())
                   .arg(root.width());
    if (!isScrolled(w) && (inRoot.top() < -1 || inRoot.bottom() > root.height() + 1))
        out << QStringLiteral("%1 sticks out of the window's height").arg(nameOf(w));
}

void checkOverlaps(const QWidget* w, QStringList& out) {
    const QLayout* layout = w->layout();
    if (!layout)
        return;
    QList<const QWidget*> managed;
    for (const QObject* child : w->children()) {
        const auto* cw = qobject_cast<const QWidget*>(child);
        if (cw && cw->isVisible() && !cw->isWindow() && layout->indexOf(cw) >= 0)
            managed << cw;
    }
    for (qsizetype i = 0; i < managed.size(); ++i) {
        for (qsizetype j = i + 1; j < managed.size(); ++j) {
            const QRect overlap = managed[i]->geometry() & managed[j]->geometry();
            if (overlap.width() > 1 && overlap.height() > 1)
                out << QStringLiteral("%1 overlaps %2").arg(nameOf(managed[i]), nameOf(managed[j]));
        }
    }
}

void walk(QWidget& root, const QWidget* w, QStringList& out) {
    if (!w->isVisible())
        return;
    checkText(w, out);
    checkBounds(root, w, out);
    checkOverlaps(w, out);
    for (const QObject* child : w->children()) {
        const auto* cw = qobject_cast<const QWidget*>(child);
        if (cw && !cw->isWindow())
            walk(root, cw, out);
    }
}

} // namespace

QStringList problems(QWidget& root) {
    QStringList out;
    for (const QObject* child : root.children()) {
        const auto* cw = qobject_cast<const QWidget*>(child);
        if (cw && !cw->isWindow())
            walk(root, cw, out);
    }
    return out;
}

} // namespace LayoutCheck
