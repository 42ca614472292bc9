// The pull gesture: only a finger dragging the list far enough down from its top refreshes.

#include "support/QtTestSupport.h"
#include "ui/PullToRefresh.h"

#include <gtest/gtest.h>
#include <QListWidget>
#include <QPointingDevice>
#include <QScrollBar>
#include <QSignalSpy>

namespace pressling::ui {
namespace {

TEST(PullToRefreshTest, onlyAFingerPullingFarEnoughFromTheTopAsks) {
    static QPointingDevice* const finger = QTest::createTouchDevice();  // lives with the app
    const struct {
        const char* why;
        bool scrolledDown, touch;
        int distance, requests;
    } rows[] = {
        {"a long pull at the top", false, true, 120, 1},
        {"the threshold", false, true, 60, 1},
        {"a short pull", false, true, 59, 0},
        {"the list scrolled", true, true, 120, 0},
        {"a mouse drag", false, false, 120, 0},
    };
    for (const auto& row : rows) {
        QListWidget list;
        for (int i = 0; i < 200; ++i) list.addItem(QString::number(i));
        list.show();
        QSignalSpy requested(new PullToRefresh(&list, 60), &PullToRefresh::refreshRequested);
        if (row.scrolledDown) list.verticalScrollBar()->setValue(100);
        QWidget* view = list.viewport();
        const QPoint start(50, 20), end(50, 20 + row.distance);
        if (row.touch) {
            QTest::touchEvent(view, finger).press(0, start, view);
            for (int step = 1; step <= 4; ++step)
                QTest::touchEvent(view, finger).move(0, start + (end - start) * step / 4, view);
            QTest::touchEvent(view, finger).release(0, end, view);
        } else {
            QTest::mousePress(view, Qt::LeftButton, {}, start);
            QTest::mouseMove(view, end);
            QTest::mouseRelease(view, Qt::LeftButton, {}, end);
        }
        EXPECT_EQ(requested.count(), row.requests) << row.why;
    }
}

}  // namespace
}  // namespace pressling::ui
