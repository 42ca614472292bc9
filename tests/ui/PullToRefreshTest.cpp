// The pull gesture: a finger dragging the list down from its top asks for a refresh; a short
// wobble, a pull from further down the list and a mouse drag do not.

#include "support/QtTestSupport.h"
#include "ui/PullToRefresh.h"

#include <gtest/gtest.h>
#include <QListWidget>
#include <QPointingDevice>
#include <QScrollBar>
#include <QSignalSpy>

namespace pressling::ui {
namespace {

class PullToRefreshTest : public ::testing::Test {
protected:
    PullToRefreshTest() {
        for (int i = 0; i < 200; ++i) list.addItem(QStringLiteral("Article %1").arg(i));
        list.resize(300, 400);
        list.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    // One finger down at y, dragged to y + distance in steps, then lifted.
    void pull(int y, int distance) {
        QWidget* viewport = list.viewport();
        QTest::touchEvent(viewport, touchScreen).press(0, QPoint(150, y), viewport);
        for (int step = 1; step <= 4; ++step) {
            QTest::touchEvent(viewport, touchScreen)
                .move(0, QPoint(150, y + distance * step / 4), viewport);
        }
        QTest::touchEvent(viewport, touchScreen).release(0, QPoint(150, y + distance), viewport);
    }

    QListWidget list;
    PullToRefresh* gesture = new PullToRefresh(&list, 60);
    QSignalSpy requested{gesture, &PullToRefresh::refreshRequested};
    // Made once the application exists, and registered with it for the rest of the run.
    QPointingDevice* touchScreen = sharedTouchScreen();

private:
    static QPointingDevice* sharedTouchScreen() {
        static QPointingDevice* device = QTest::createTouchDevice();
        return device;
    }
};

TEST_F(PullToRefreshTest, aLongEnoughPullAtTheTopAsksOnce) {
    pull(20, 120);
    EXPECT_EQ(requested.count(), 1);
}

TEST_F(PullToRefreshTest, aShortPullDoesNot) {
    pull(20, 30);
    EXPECT_EQ(requested.count(), 0);
}

TEST_F(PullToRefreshTest, aPullWithTheListScrolledDownDoesNot) {
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum() / 2);
    pull(20, 120);
    EXPECT_EQ(requested.count(), 0);
}

TEST_F(PullToRefreshTest, aMouseDragDoesNot) {
    QWidget* viewport = list.viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(150, 20));
    QTest::mouseMove(viewport, QPoint(150, 140));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(150, 140));
    EXPECT_EQ(requested.count(), 0);
}

}  // namespace
}  // namespace pressling::ui
