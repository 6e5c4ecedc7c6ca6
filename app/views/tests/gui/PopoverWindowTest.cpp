#include "app/views/PopoverWindow.h"
#include "app/views/tests/support/Screenshots.h"

#include <QLabel>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

TEST(PopoverWindow, BuildsItsContentAnewOnEveryOpenAndClosesOnEscape) {
    PopoverWindow popover;
    int built = 0;
    popover.setContentFactory([&built] {
        ++built;
        return new QLabel(QString("opened %1").arg(built));
    });
    popover.setAppearance(AppearanceMode::dark);
    popover.openFor(QRect(300, 0, 22, 24));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popover));
    EXPECT_EQ(popover.size(), QSize(280, 300));
    EXPECT_TRUE(popover.windowFlags() & Qt::Popup);
    EXPECT_EQ(built, 1);
    // Placed centred under the icon (the offscreen platform may add a small frame offset).
    EXPECT_LE((popover.geometry().topLeft() - QPoint(310 - 140, 28)).manhattanLength(), 4)
        << popover.geometry().x() << "," << popover.geometry().y();
    Screenshots::save(popover.grab().toImage(), "popover-window-dark.png");

    QTest::keyClick(&popover, Qt::Key_Escape);
    EXPECT_FALSE(popover.isVisible());
    EXPECT_TRUE(popover.closedJustNow());

    popover.openFor(QRect());
    EXPECT_EQ(built, 2);
    auto* label = qobject_cast<QLabel*>(popover.content());
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "opened 2");

    // The content is replaced in place while the window is open; the old widget goes.
    const QPointer<QWidget> old = popover.content();
    auto* replacement = new QLabel("signed in");
    popover.setContent(replacement);
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(popover.content(), replacement);
    EXPECT_EQ(replacement->parentWidget(), &popover);
    EXPECT_TRUE(replacement->isVisible());
    popover.close();
}
