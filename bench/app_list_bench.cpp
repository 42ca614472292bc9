// The article list's model and view over a large store: 100 000 articles (5 000 feeds of 20,
// one every ~14 minutes over ~3 years, so ~1 100 days) in a CDModel.sqlite under the temporary
// folder, on the offscreen platform.
//
//   ListOpen            ArticleListModel::create, a QTreeView set up as the list sets it up
//                       (uniform rows, every day expanded), and the first screen's 40 rows
//                       read through data(): what opening the window costs
//   ListReload          reloadData(): what the list pays for each save of a refresh (the
//                       objects-did-change path redraws every row, keeping the selection)
//   ListRefetchSame     refetchIfChanged() when nothing changed: the clean-up at every window
//                       activation
//
// Extra flags: --articles=N (default 100000); --seed-only=DIR writes the articles into
// DIR/CDModel.sqlite and subscribes their 5 000 feeds in DIR/kvstore.sqlite (on a closed
// loopback port, so a refresh fails at once and the clean-up keeps every article), then exits:
// a data folder for `pressling --data-dir DIR`. Every Google Benchmark flag works as usual.

#include "reading/ArticleListModel.h"
#include "store/ArticleOperations.h"
#include "store/ArticleStore.h"
#include "subscriptions/StoredWebs.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <unistd.h>
#include <QApplication>
#include <QTreeView>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

using namespace pressling;

std::size_t gArticles = 100000;
std::filesystem::path gFolder;
std::unique_ptr<ArticleStore> gStore;

std::string feedURL(std::size_t feed) { return fmt::format("http://127.0.0.1:1/feed{}", feed); }

void seed() {
    std::filesystem::create_directories(gFolder);
    auto store = ArticleStore::open(gFolder / "CDModel.sqlite");
    if (!store) std::abort();
    gStore = std::move(*store);
    const Date start = std::chrono::time_point_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now() - std::chrono::hours(24 * 365 * 3));
    for (std::size_t i = 0; i < gArticles; ++i) {
        const std::size_t feed = i % 5000;
        BlogPost post;
        post.blogLink = feedURL(feed);
        post.web = fmt::format("Feed number {}", feed);
        post.title = fmt::format("Article {} of a feed that writes about many things", i);
        post.desc = "<p>Body</p>";
        post.link = Url::parse(fmt::format("https://feed{}.example/{}", feed, i));
        post.pubDate = start + std::chrono::minutes(14 * i);
        post.sectionDate = makeSectionDate(*post.pubDate);
        gStore->insert(post);
    }
    if (!gStore->save()) std::abort();
}

void setUpView(QTreeView& view, reading::ArticleListModel& model) {
    view.setUniformRowHeights(true);
    view.setHeaderHidden(true);
    view.setRootIsDecorated(false);
    view.setItemsExpandable(false);
    view.setModel(&model);
    view.expandAll();
}

void ListOpen(benchmark::State& state) {
    for (auto _ : state) {
        auto model = reading::ArticleListModel::create(*gStore);
        if (!model) std::abort();
        QTreeView view;
        setUpView(view, **model);
        int rows = 0;
        const QModelIndex today = (*model)->index(0, 0);
        for (int r = 0; r < (*model)->rowCount(today) && rows < 40; ++r, ++rows) {
            benchmark::DoNotOptimize(
                (*model)->index(r, 0, today).data(reading::ArticleListModel::DateTextRole));
            benchmark::DoNotOptimize(
                (*model)->index(r, 0, today).data(reading::ArticleListModel::TitleRole));
        }
    }
}
BENCHMARK(ListOpen)->Unit(benchmark::kMillisecond);

void ListReload(benchmark::State& state) {
    auto model = reading::ArticleListModel::create(*gStore);
    if (!model) std::abort();
    QTreeView view;
    setUpView(view, **model);
    for (auto _ : state) (*model)->reloadData();
}
BENCHMARK(ListReload)->Unit(benchmark::kMillisecond);

void ListRefetchSame(benchmark::State& state) {
    auto model = reading::ArticleListModel::create(*gStore);
    if (!model) std::abort();
    for (auto _ : state) benchmark::DoNotOptimize((*model)->refetchIfChanged());
}
BENCHMARK(ListRefetchSame)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--articles=", 11) == 0)
            gArticles = std::strtoul(argv[i] + 11, nullptr, 10);
    }
    gFolder =
        std::filesystem::temp_directory_path() / fmt::format("pressling-app-bench-{}", ::getpid());
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--seed-only=", 12) == 0) {
            gFolder = argv[i] + 12;
            seed();
            std::vector<Web> webs;
            for (std::size_t feed = 0; feed < 5000; ++feed) {
                webs.push_back(
                    Web{fmt::format("Feed number {}", feed), feedURL(feed), std::nullopt});
            }
            KeyValueStore list(gFolder / "kvstore.sqlite");
            saveWebs(webs, list);
            return 0;
        }
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    QApplication application(argc, argv);
    seed();
    benchmark::RunSpecifiedBenchmarks();
    gStore.reset();
    std::filesystem::remove_all(gFolder);
    return 0;
}
