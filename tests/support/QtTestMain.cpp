// main() of the suites that need a QApplication: the screens, the main queue on Qt's event
// loop, the web view.
//
// gtest_discover_tests runs the binary with --gtest_list_tests at build time, where there may
// be no display at all: listing never creates the application. Running, the suites use the
// offscreen platform and the Madrid time zone unless told otherwise, and a data folder of their
// own, so that nothing reaches the user's data even through the process-wide default stores.

#include "support/Fixtures.h"
#include "ui/QtMainQueue.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The suites' dates are written for this zone.
    ::setenv("TZ", "Europe/Madrid", 0);
    // Chromium's sandbox refuses root; a normal user keeps it.
    if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    const pressling::test::TemporaryDirectory dataFolder;
    ::setenv("PRESSLING_DATA_DIR", dataFolder.path().c_str(), 1);
    ::setenv("PRESSLING_CATALOG",
             ("sqlite:" + (dataFolder.path() / "catalog.sqlite").string()).c_str(), 1);

    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    pressling::ui::QtMainQueue::install();
    return RUN_ALL_TESTS();
}
