// Listing (at build time, maybe without a display) creates no QApplication. A data folder of
// the suites' own keeps the process-wide default stores away from the user's data.

#include "support/Fixtures.h"
#include "ui/QtMainQueue.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QApplication>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("TZ", "Europe/Madrid", 0);
    // Chromium's sandbox refuses root; a normal user keeps it.
    if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    const pressling::test::TemporaryDirectory data;
    ::setenv("PRESSLING_DATA_DIR", data.path().c_str(), 1);
    ::setenv("PRESSLING_CATALOG", ("sqlite:" + (data.path() / "catalog.sqlite").string()).c_str(),
             1);
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    pressling::ui::QtMainQueue::install();
    return RUN_ALL_TESTS();
}
