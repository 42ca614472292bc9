// The pull gesture: only a finger dragging the list far enough down from its top refreshes.

#include "support/QtTestSupport.h"
#include "ui/PullToRefresh.h"

#include <QListWidget>
#include <QPointingDevice>
#include <QScrollBar>

#include <tuple>

namespace pressling::ui {
namespace {

TEST(PullToRefreshTest, onlyAFingerPullingFarEnoughFromTheTopAsks) {
    static QPointingDevice* const finger = QTest::createTouchDevice();  // lives with the app
    for (const auto& [why, scrolled, touch, distance, requests] : {
             std::tuple{"a long pull at the top", false, true, 120, 1},
             std::tuple{"the threshold", false, true, 60, 1},
             std::tuple{"a short pull", false, true, 59, 0},
             std::tuple{"the list scrolled", true, true, 120, 0},
             std::tuple{"a mouse drag", false, false, 120, 0},
         }) {
        QListWidget list;
        for (int i = 0; i < 200; ++i) list.addItem(QString::number(i));
        list.show();
        QSignalSpy requested(new PullToRefresh(&list, 60), &PullToRefresh::refreshRequested);
        if (scrolled) list.verticalScrollBar()->setValue(100);
        QWidget* view = list.viewport();
        const QPoint start(50, 20), end(50, 20 + distance);
        if (touch) {
            QTest::touchEvent(view, finger).press(0, start, view);
            for (int step = 1; step <= 4; ++step)
                QTest::touchEvent(view, finger).move(0, start + (end - start) * step / 4, view);
            QTest::touchEvent(view, finger).release(0, end, view);
        } else {
            QTest::mousePress(view, Qt::LeftButton, {}, start);
            QTest::mouseMove(view, end);
            QTest::mouseRelease(view, Qt::LeftButton, {}, end);
        }
        EXPECT_EQ(requested.count(), requests) << why;
    }
}

}  // namespace
}  // namespace pressling::ui
