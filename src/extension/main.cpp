// feedgrab: hands a feed's link to Pressling. It checks the link and subscribes to it without
// opening the reader; the reader sees the new feed the next time it reads the list.
//
//   feedgrab [--data-dir DIR] [URL]
//
// Without URL it takes the clipboard's link, or waits for one dropped on its window.

#include "extension/AddViewController.h"
#include "platform/DataFolder.h"
#include "platform/GlobalQueue.h"
#include "platform/KeyValueStore.h"
#include "platform/Version.h"
#include "ui/Localized.h"
#include "ui/QtMainQueue.h"

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App options{"Checks a feed's link and adds it to Pressling's subscriptions.", "feedgrab"};
    options.set_version_flag("--version", "feedgrab " + std::string(pressling::presslingVersion()));
    std::string folder;
    options.add_option("--data-dir", folder, "Work on the Pressling data in DIR")
        ->option_text("DIR");
    std::optional<std::string> link;
    options.add_option("URL", link,
                       "The feed's address; without it, the clipboard's, or one dropped on the "
                       "window");
    try {
        options.parse(argc, argv);
    } catch (const CLI::ParseError& problem) {
        // --help and --version end here too, with status 0; wrong arguments give 2.
        return options.exit(problem) == 0 ? 0 : 2;
    }

    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM")) {
        std::fputs(
            "feedgrab: there is no display to open a window on (neither DISPLAY nor "
            "WAYLAND_DISPLAY is set); pressling-cli add URL subscribes in a terminal.\n",
            stderr);
        return 1;
    }
    if (!folder.empty()) pressling::setDataFolderOverride(folder);

    QApplication::setApplicationName("feedgrab");
    QApplication::setApplicationVersion(QString::fromUtf8(pressling::presslingVersion()));
    QApplication::setDesktopFileName("feedgrab");
    QApplication application(argc, argv);
    QApplication::setWindowIcon(QIcon(":/icons/pressling-256.png"));
    pressling::ui::QtMainQueue::install();
    pressling::ui::installTranslations();

    pressling::extension::AddViewController window(pressling::KeyValueStore::defaultStore());
    // The outcome on the terminal too, for a feedgrab started from one.
    QObject::connect(&window, &pressling::extension::AddViewController::resultShown,
                     [](const QString& title, const QString& info) {
                         std::cout << title.toStdString() << ": " << info.toStdString()
                                   << std::endl;
                     });
    window.show();
    window.viewDidLoad(link ? std::optional(QString::fromStdString(*link)) : std::nullopt);
    const int status = application.exec();
    // A finished check may still be saving its feed to the catalog.
    if (!window.isChecking()) (void)pressling::waitUntilGlobalQueueIdle(std::chrono::seconds(10));
    return status;
}
