// main() of the suites that need a QApplication. Listing (gtest_discover_tests, at build time,
// maybe without a display) never creates one. Running, the suites use the offscreen platform,
// the Madrid zone their dates are written for, and a data folder of their own, so nothing
// reaches the user's data even through the process-wide default stores.

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
