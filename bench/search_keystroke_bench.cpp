// Typing into the article list's search field over 100 000 stored articles: for each keystroke,
// the time from the text's change to the list repainted (the search's refetch, the model's
// reset, the view's layout and paint), without and with a feed filter. Prints the median and
// the slowest of the 20 keystrokes that type "solar power industry", one by one, into an
// empty field. The store is a CDModel.sqlite under the temporary folder (5 000 feeds of 20
// articles, titles of real words); the list runs on the offscreen platform.
//
//   search_keystroke_bench [--articles=N]

#include "platform/KeyValueStore.h"
#include "reading/ArticleListModel.h"
#include "reading/MasterViewController.h"
#include "store/ArticleOperations.h"
#include "store/ArticleStore.h"
#include "ui/QtMainQueue.h"

#include <fmt/format.h>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTreeView>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

using namespace pressling;

constexpr std::array<const char*, 32> kWords{
    "solar",   "power",    "industry", "market", "river",  "policy",  "energy",  "garden",
    "science", "football", "election", "music",  "health", "climate", "train",   "city",
    "school",  "ocean",    "wind",     "price",  "report", "bank",    "village", "storm",
    "museum",  "software", "farm",     "court",  "space",  "film",    "bridge",  "festival"};
constexpr const char* kTyped = "solar power industry";

std::string feedURL(std::size_t feed) { return fmt::format("http://127.0.0.1:1/feed{}", feed); }

std::unique_ptr<ArticleStore> seed(const std::filesystem::path& folder, std::size_t articles) {
    auto store = ArticleStore::open(folder / "CDModel.sqlite");
    if (!store) std::abort();
    const Date start = std::chrono::time_point_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now() - std::chrono::hours(24 * 365 * 3));
    for (std::size_t i = 0; i < articles; ++i) {
        const std::size_t feed = i % 5000;
        BlogPost post;
        post.blogLink = feedURL(feed);
        post.web = fmt::format("Feed number {}", feed);
        // Every 97th title holds the whole phrase; the others mix the words.
        post.title = i % 97 == 0 ? fmt::format("Solar power industry news {}", i)
                                 : fmt::format("The {} and the {} of {}", kWords[i % 32],
                                               kWords[(i / 32) % 32], kWords[(i * 7 + 3) % 32]);
        post.desc = fmt::format("<p>What happened to the {} today.</p>", kWords[(i / 5) % 32]);
        post.link = Url::parse(fmt::format("https://feed{}.example/{}", feed, i));
        post.pubDate = start + std::chrono::minutes(14 * i);
        post.sectionDate = makeSectionDate(*post.pubDate);
        (*store)->insert(post);
    }
    if (!(*store)->save()) std::abort();
    // As a store that has been open a while: its search index holds every article.
    if (!(*store)->finishIndexing()) std::abort();
    return std::move(*store);
}

void typePhrase(reading::MasterViewController& list, const char* what) {
    list.searchField()->clear();
    std::vector<double> keystrokes;
    QElapsedTimer timer;
    for (const char* c = kTyped; *c != '\0'; ++c) {
        timer.start();
        list.searchField()->insert(QString(QChar(*c)));
        list.tableView()->viewport()->repaint();
        keystrokes.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::vector<double> sorted = keystrokes;
    std::sort(sorted.begin(), sorted.end());
    std::printf("%s: %zu keystrokes, median %.1f ms, slowest %.1f ms (", what, sorted.size(),
                sorted[sorted.size() / 2], sorted.back());
    for (std::size_t i = 0; i < keystrokes.size(); ++i)
        std::printf("%s%.0f", i == 0 ? "" : " ", keystrokes[i]);
    std::printf(" ms); %zu articles found at the end\n", list.model().fetchedObjectCount());
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t articles = 100000;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--articles=", 11) == 0)
            articles = std::strtoul(argv[i] + 11, nullptr, 10);
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    ui::QtMainQueue::install();
    const auto folder = std::filesystem::temp_directory_path() /
                        fmt::format("pressling-search-bench-{}", ::getpid());
    std::filesystem::create_directories(folder);
    {
        auto store = seed(folder, articles);
        KeyValueStore subscriptions(folder / "kvstore.sqlite");  // none: the refresh ends at once
        reading::MasterViewController list(*store, RefreshOptions{.listStore = &subscriptions});
        list.resize(480, 800);
        list.show();
        while (list.refreshesInFlight() > 0) QCoreApplication::processEvents();
        std::printf("%zu articles\n", list.model().fetchedObjectCount());
        typePhrase(list, "no feed filter");
        list.searchField()->clear();
        list.setFilter(feedURL(7));
        typePhrase(list, "feed filter");
    }
    std::filesystem::remove_all(folder);
    return 0;
}
