// pressling: the reader application.
//
//   pressling [--phone] [--dark | --light] [--data-dir DIR] [FEED-URL...]
//
// Without --dark or --light it takes the desktop's colour scheme. While one runs on a data
// folder, a second launch on the same folder hands its addresses to it and exits.

#include "app/AppDelegate.h"
#include "app/SceneDelegate.h"
#include "app/SingleInstance.h"
#include "platform/DataFolder.h"
#include "platform/KeyValueStore.h"
#include "platform/Version.h"
#include "reading/MasterViewController.h"
#include "store/PersistentContainer.h"
#include "ui/Appearance.h"
#include "ui/Localized.h"
#include "ui/Platform.h"
#include "ui/QtMainQueue.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Seconds since this process started, from the kernel's record (clock ticks since boot).
double secondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // The fields after the command name, which may hold spaces, start after its ')'.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec + now.tv_nsec / 1e9 - std::stod(field) / ::sysconf(_SC_CLK_TCK);
}

std::string peakResidentSet() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) return line.substr(6);
    }
    return "?";
}

// PRESSLING_BENCHMARK=first-paint: prints the time from the process's start to the end of the
// list's first paint and the peak memory of this process, then quits. PRESSLING_BENCHMARK=scroll
// then also scrolls the list from top to bottom a page at a time, painting each page, and
// prints the slowest and the median page (a page that crosses into an unread batch reads it).
class BenchmarkProbe final : public QObject {
public:
    BenchmarkProbe(QAbstractScrollArea* list, bool scroll)
        : QObject(list), list_(list), scroll_(scroll) {
        list->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched == list_->viewport() && !painted_) {
            painted_ = true;
            QTimer::singleShot(0, this, [this] { report(); });
        }
        return false;
    }

private:
    void report() {
        std::printf("first paint: %.0f ms after the process started\n",
                    secondsSinceProcessStart() * 1000);
        std::printf("peak resident set at first paint:%s\n", peakResidentSet().c_str());
        if (scroll_) scrollToBottom();
        std::fflush(stdout);
        QCoreApplication::quit();
    }

    void scrollToBottom() {
        QScrollBar* bar = list_->verticalScrollBar();
        std::vector<double> pages;
        QElapsedTimer timer;
        for (;;) {
            timer.start();
            list_->viewport()->repaint();
            pages.push_back(timer.nsecsElapsed() / 1e6);
            if (bar->value() >= bar->maximum()) break;
            bar->setValue(bar->value() + bar->pageStep());
        }
        std::sort(pages.begin(), pages.end());
        std::printf("scrolled %zu pages: slowest %.2f ms, median %.2f ms\n", pages.size(),
                    pages.back(), pages[pages.size() / 2]);
        std::printf("peak resident set after scrolling:%s\n", peakResidentSet().c_str());
    }

    QAbstractScrollArea* list_;
    bool scroll_;
    bool painted_ = false;
};

int usage() {
    std::fputs("usage: pressling [--phone] [--dark | --light] [--data-dir DIR] [FEED-URL...]\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("pressling %s\n", std::string(pressling::presslingVersion()).c_str());
        return 0;
    }
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM")) {
        std::fputs(
            "pressling: there is no display to open a window on (neither DISPLAY nor "
            "WAYLAND_DISPLAY is set).\n"
            "  pressling-cli refresh and pressling-cli articles show the same articles in a "
            "terminal; QT_QPA_PLATFORM=offscreen runs the application without a screen.\n",
            stderr);
        return 1;
    }
    // Chromium's sandbox cannot run as root, and Qt WebEngine stops the whole process rather
    // than start without it unless told to. A normal user keeps the sandbox.
    if (::geteuid() == 0 && !isSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }

    QApplication::setApplicationName("Pressling");
    QApplication::setDesktopFileName("pressling");
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);

    bool phone = false;
    std::optional<pressling::ui::ColorScheme> scheme;
    QStringList urls;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == "--phone") {
            phone = true;
        } else if (argument == "--dark") {
            scheme = pressling::ui::ColorScheme::dark;
        } else if (argument == "--light") {
            scheme = pressling::ui::ColorScheme::light;
        } else if (argument == "--data-dir") {
            if (++i == arguments.size()) return usage();
            pressling::setDataFolderOverride(arguments[i].toStdString());
        } else if (argument == "--help" || argument == "-h") {
            usage();
            return 0;
        } else if (argument.startsWith("--")) {
            return usage();
        } else {
            urls << argument;
        }
    }

    const auto folder = pressling::dataFolder();
    if (!folder) {
        std::fprintf(stderr, "pressling: %s\n", folder.error().c_str());
        return 1;
    }
    pressling::app::SingleInstance instance(*folder);
    if (instance.start(urls) == pressling::app::SingleInstance::Role::handedOver) return 0;

    pressling::ui::QtMainQueue::install();
    pressling::ui::installTranslations();
    if (!scheme) {
        const char* gtkTheme = std::getenv("GTK_THEME");
        scheme = pressling::ui::systemColorScheme(QApplication::palette(),
                                                  gtkTheme != nullptr ? gtkTheme : "");
    }
    pressling::ui::applyColorScheme(application, *scheme);
    const QScreen* screen = QApplication::primaryScreen();
    if (phone || (screen != nullptr && screen->availableSize().width() < 600)) {
        pressling::ui::setUserInterfaceIdiom(pressling::ui::UserInterfaceIdiom::phone);
    }

    pressling::app::AppDelegate delegate(pressling::persistentContainer(),
                                         pressling::KeyValueStore::defaultStore());
    delegate.didFinishLaunching(urls);
    QObject::connect(&instance, &pressling::app::SingleInstance::launched, &delegate,
                     [&delegate](const QStringList& handed) { delegate.openURLs(handed); });
    if (const char* benchmark = std::getenv("PRESSLING_BENCHMARK"); benchmark != nullptr) {
        new BenchmarkProbe(delegate.sceneDelegate()->masterViewController()->tableView(),
                           std::strcmp(benchmark, "scroll") == 0);
    }
    return application.exec();
}
