// pressling: the reader application.
//
//   pressling [--phone] [--dark] [--data-dir DIR] [FEED-URL...]

#include "app/AppDelegate.h"
#include "platform/DataFolder.h"
#include "platform/KeyValueStore.h"
#include "store/PersistentContainer.h"
#include "ui/Localized.h"
#include "ui/Platform.h"
#include "ui/QtMainQueue.h"

#include <QApplication>
#include <QPalette>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x1C, 0x1C, 0x1E), base(0x12, 0x12, 0x14), text(0xEB, 0xEB, 0xF0);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x2C, 0x2C, 0x2E));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x0A, 0x84, 0xFF));
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x8E, 0x8E, 0x93));
    palette.setColor(QPalette::Mid, QColor(0x3A, 0x3A, 0x3C));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x8E, 0x8E, 0x93));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x8E, 0x8E, 0x93));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x8E, 0x8E, 0x93));
    return palette;
}

QPalette lightPalette() {
    QPalette palette = QApplication::style()->standardPalette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Window, QColor(0xF2, 0xF2, 0xF7));
    palette.setColor(QPalette::Link, QColor(0x00, 0x7A, 0xFF));
    palette.setColor(QPalette::Highlight, QColor(0x00, 0x7A, 0xFF));
    return palette;
}

int usage() {
    std::fputs("usage: pressling [--phone] [--dark] [--data-dir DIR] [FEED-URL...]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
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
    bool dark = false;
    QStringList urls;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == "--phone") {
            phone = true;
        } else if (argument == "--dark") {
            dark = true;
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

    pressling::ui::QtMainQueue::install();
    pressling::ui::installTranslations();
    application.setStyle(QStyleFactory::create("Fusion"));
    application.setPalette(dark ? darkPalette() : lightPalette());
    const QScreen* screen = QApplication::primaryScreen();
    if (phone || (screen != nullptr && screen->availableSize().width() < 600)) {
        pressling::ui::setUserInterfaceIdiom(pressling::ui::UserInterfaceIdiom::phone);
    }

    pressling::app::AppDelegate delegate(pressling::persistentContainer(),
                                         pressling::KeyValueStore::defaultStore());
    delegate.didFinishLaunching(urls);
    return application.exec();
}
