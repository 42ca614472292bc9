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

TEST(PullToRefreshTest, onlyAFingerPullingFarEnoughFromTheTopAsks) {
    // Made once the application exists, and registered with it for the rest of the run.
    static QPointingDevice* const touchScreen = QTest::createTouchDevice();
    const struct {
        const char* why;
        bool scrolledDown, finger;
        int distance, requests;
    } rows[] = {
        {"a long pull at the top", false, true, 120, 1},
        {"exactly the threshold", false, true, 60, 1},
        {"a short pull", false, true, 59, 0},
        {"the list scrolled down", true, true, 120, 0},
        {"a mouse drag", false, false, 120, 0},
    };
    for (const auto& row : rows) {
        QListWidget list;
        for (int i = 0; i < 200; ++i) list.addItem(QStringLiteral("Article %1").arg(i));
        list.resize(300, 400);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        QSignalSpy requested(new PullToRefresh(&list, 60), &PullToRefresh::refreshRequested);
        if (row.scrolledDown) list.verticalScrollBar()->setValue(100);
        QWidget* viewport = list.viewport();
        const QPoint start(150, 20), end(150, 20 + row.distance);
        if (row.finger) {
            QTest::touchEvent(viewport, touchScreen).press(0, start, viewport);
            for (int step = 1; step <= 4; ++step) {
                QTest::touchEvent(viewport, touchScreen)
                    .move(0, start + (end - start) * step / 4, viewport);
            }
            QTest::touchEvent(viewport, touchScreen).release(0, end, viewport);
        } else {
            QTest::mousePress(viewport, Qt::LeftButton, {}, start);
            QTest::mouseMove(viewport, end);
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, end);
        }
        EXPECT_EQ(requested.count(), row.requests) << row.why;
    }
}

}  // namespace
}  // namespace pressling::ui
