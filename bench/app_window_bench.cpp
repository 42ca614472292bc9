// The window with a long subscription list: the time from main() to the sidebar's first paint,
// and from a "willUpdateWeb" (one more subscription) to the sidebar rebuilt and painted again.
// The feeds live on a loopback server of this process (every seventh answers 404, so the
// sidebar marks it), the data in a temporary folder; the window runs on the offscreen platform.
// Prints the first paint, then the median and the slowest of 20 updates.
//
//   app_window_bench [--subscriptions=N]
//   app_window_bench --subscriptions=14 --screenshot=FILE [--dark] [--links]
//
// With --screenshot it instead opens the first article, waits for its page, and saves the
// window (or, with --links, the subscriptions screen over it) as FILE.

#include "app/AppDelegate.h"
#include "app/LinksTableViewController.h"
#include "app/SceneDelegate.h"
#include "app/SidebarViewController.h"
#include "flows/AddFeed.h"
#include "platform/KeyValueStore.h"
#include "reading/ArticleListModel.h"
#include "reading/DetailViewController.h"
#include "reading/MasterViewController.h"
#include "store/ArticleStore.h"
#include "subscriptions/StoredWebs.h"
#include "ui/Appearance.h"
#include "ui/Localized.h"
#include "ui/QtMainQueue.h"

#include <fmt/format.h>
#include <httplib.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace pressling;

constexpr std::array<const char*, 14> kNames{
    "Ars Technica", "BBC News",      "Daring Fireball", "Hacker News", "kottke.org",
    "LWN.net",      "NASA Breaking", "Nature",          "OSNews",      "Planet Debian",
    "Quanta",       "The Register",  "The Verge",       "xkcd"};

std::string title(std::size_t i) {
    return i < kNames.size() ? kNames[i] : fmt::format("{} {}", kNames[i % kNames.size()], i);
}

std::string feedDocument(const std::string& name, const std::string& path, int port) {
    std::string items;
    for (int i = 1; i <= 5; ++i) {
        items += fmt::format(
            "<item><title>The {1}th story of the day, number {0}</title>"
            "<link>http://127.0.0.1:{2}/page{0}/{1}</link>"
            "<description>What happened on the {1}th, and why it matters.</description>"
            "<pubDate>Mon, 07 Dec 2026 {3:02}:{4:02}:00 GMT</pubDate></item>",
            path, i, port, 8 + i, (std::stoul(path) * 7 + std::size_t(i) * 11) % 60);
    }
    return fmt::format(
        R"(<?xml version="1.0" encoding="UTF-8"?><rss version="2.0"><channel><title>{}</title>)"
        "<description>About it</description>{}</channel></rss>",
        name, items);
}

bool waitFor(const std::function<bool()>& done, int milliseconds = 60000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

class PaintProbe final : public QObject {
public:
    explicit PaintProbe(QWidget* viewport) { viewport->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
};

std::string option(int argc, char** argv, const char* name, const char* fallback) {
    const std::string prefix = std::string("--") + name + "=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) {
            return argv[i] + prefix.size();
        }
    }
    return fallback;
}

bool flag(int argc, char** argv, const char* name) {
    return std::any_of(argv + 1, argv + argc,
                       [&](const char* arg) { return std::string("--") + name == arg; });
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    const std::size_t count = std::stoul(option(argc, argv, "subscriptions", "1000"));
    const std::string screenshot = option(argc, argv, "screenshot", "");

    httplib::Server server;
    const int port = server.bind_to_any_port("127.0.0.1");
    server.Get(R"(/feed/(.*))",
               [port](const httplib::Request& request, httplib::Response& response) {
                   const std::string path = request.matches[1];
                   response.set_content(feedDocument(title(std::stoul(path)), path, port),
                                        "application/rss+xml");
               });
    server.Get(R"(/page(.*))", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content(
            fmt::format("<html><body style='font-family:sans-serif;margin:2em'><h1>{}</h1><p>"
                        "The page of the article, as its site shows it.</p></body></html>",
                        request.path),
            "text/html");
    });
    std::thread serving([&server] { server.listen_after_bind(); });

    const auto folder = std::filesystem::temp_directory_path() /
                        fmt::format("pressling-window-bench-{}", ::getpid());
    std::filesystem::create_directories(folder);
    KeyValueStore list(folder / "kvstore.sqlite");
    std::vector<Web> webs;
    for (std::size_t i = 0; i < count; ++i) {
        const bool failing = i % 7 == 3;
        webs.push_back(
            {title(i), fmt::format("http://127.0.0.1:{}/{}/{}", port, failing ? "gone" : "feed", i),
             std::nullopt});
    }
    saveWebs(webs, list);
    auto articles = ArticleStore::open(folder / "CDModel.sqlite");
    if (!articles) return 1;

    QApplication application(argc, argv);
    ui::QtMainQueue::install();
    ui::installTranslations();
    ui::applyColorScheme(application,
                         flag(argc, argv, "dark") ? ui::ColorScheme::dark : ui::ColorScheme::light);
    int status = 0;
    {
        app::AppDelegate delegate(**articles, list);
        delegate.didFinishLaunching({});
        app::SceneDelegate* scene = delegate.sceneDelegate();
        app::SidebarViewController* sidebar = scene->sidebarViewController();
        reading::MasterViewController* master = scene->masterViewController();
        delegate.window()->resize(1280, 760);
        auto* probe = new PaintProbe(sidebar->collectionView()->viewport());
        waitFor([&] { return probe->painted; });
        const auto finished = [&] { return master->refreshesInFlight() == 0; };
        if (screenshot.empty()) {
            std::printf("%zu subscriptions: sidebar painted %lld ms after main() began\n", count,
                        static_cast<long long>(sinceMain.elapsed()));
            std::vector<double> updates;
            for (int i = 0; i < 20; ++i) {
                waitFor(finished);
                webs.push_back(
                    {fmt::format("Added feed {}", i),
                     fmt::format("http://127.0.0.1:{}/feed/{}", port, count + std::size_t(i)),
                     std::nullopt});
                saveWebs(webs, list);
                probe->painted = false;
                QElapsedTimer timer;
                timer.start();
                NotificationCenter::defaultCenter().post(std::string(kWillUpdateWebNotification));
                sidebar->collectionView()->viewport()->repaint();
                updates.push_back(timer.nsecsElapsed() / 1e6);
            }
            std::sort(updates.begin(), updates.end());
            std::printf(
                "willUpdateWeb to the sidebar rebuilt and painted: median %.2f ms, "
                "slowest %.2f ms (20 updates)\n",
                updates[updates.size() / 2], updates.back());
        } else {
            waitFor(finished);
            QCoreApplication::processEvents();
            reading::DetailViewController* detail = scene->detailViewController();
            master->showDetail(master->model().index(0, 0, master->model().index(0, 0)));
            bool loaded = false;
            QObject::connect(detail, &reading::DetailViewController::navigationFinished,
                             [&] { loaded = true; });
            waitFor([&] { return loaded; }, 20000);
            QWidget* shown = delegate.window();
            if (flag(argc, argv, "links")) {
                master->manageFeedsAction()->trigger();
                shown = delegate.window()->findChild<app::LinksTableViewController*>();
            }
            QTimer::singleShot(300, [] {});
            waitFor([] { return false; }, 400);  // let the page and the sheet paint
            status = shown->grab().save(QString::fromStdString(screenshot)) ? 0 : 1;
        }
        waitFor(finished);
    }
    server.stop();
    serving.join();
    std::filesystem::remove_all(folder);
    return status;
}
