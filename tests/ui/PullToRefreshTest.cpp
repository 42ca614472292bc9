// The pull gesture: only a finger dragging the list far enough down from its top refreshes.

#include "support/QtTestSupport.h"
#include "ui/PullToRefresh.h"

#include <QListWidget>
#include <QScrollBar>

#include <tuple>

namespace pressling::ui {
namespace {

TEST(PullToRefreshTest, onlyAFingerPullingFarEnoughFromTheTopAsks) {
    for (const auto& [why, scrolled, touch, distance, requests] : {
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
            test::touchDrag(view, start, end, 4);
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
