#pragma once

#include <QStringList>

class QWidget;

// What a person would call a broken layout, found by looking at the widgets: text cut off
// (a label or button smaller than its text needs), a widget sticking out of the window's
// width, and siblings of one layout lying over each other. Empty when all is well.
namespace LayoutCheck {
QStringList problems(QWidget& root);
} // namespace LayoutCheck
