// The article store under a large library: 100 000 stored articles (generated from a fixed
// seed: 5 000 feeds of 20 articles, one every ~14 minutes over ~3 years, 400-900 byte HTML
// bodies with some non-ASCII text) in a CDModel.sqlite under the temporary folder.
//
//   FirstScreen/warm          a new FetchedResultsController on the open store: performFetch,
//                             every section name and count, then the first 40 rows
//   FirstScreen/freshOpen     the same, opening the store file first (the page cache of the
//                             process is cold, the system's is warm): the list at launch
//   Search/<needle>           the first screen of a controller searching title, desc and web
//   SaveArticles/new50        saveArticles of 50 new entries of a stored feed: 50 inserted,
//                             the cap cuts 30 of them and 20 stored ones, one save
//   SaveArticles/unchanged50  saveArticles of a feed's 50 entries that are all stored already
//
// Extra flags: --articles=N (default 100000), --keep_store=PATH to write the store there and
// keep it. Every Google Benchmark flag works as usual.

#include "store/ArticleOperations.h"
#include "store/ArticleStore.h"
#include "store/FetchedResultsController.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace pressling;
using namespace std::chrono_literals;

constexpr std::size_t kArticlesPerFeed = 20;
constexpr std::size_t kFirstScreenRows = 40;

// SplitMix64: the same numbers from every standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return std::size_t(next() % n); }

private:
    std::uint64_t state_;
};

constexpr std::array<std::string_view, 24> kWords = {
    "release", "kernel",  "école",  "compiler", "garden",  "Straße", "review", "weekly",
    "notes",   "update",  "design", "café",     "morning", "launch", "open",   "source",
    "privacy", "network", "Tokyo",  "日本",     "patch",   "travel", "recipe", "podcast"};

std::string words(Random& random, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i) text += ' ';
        text += kWords[random.below(kWords.size())];
    }
    return text;
}

std::string body(Random& random) {
    std::string html;
    const std::size_t paragraphs = 2 + random.below(3);
    for (std::size_t p = 0; p < paragraphs; ++p) {
        html += "<p>" + words(random, 14 + random.below(14)) +
                " <a href=\"https://example.org/?a=1&amp;b=2\">more</a> — " + words(random, 6) +
                "</p>";
    }
    return html;
}

std::string feedUrl(std::size_t feed) {
    return fmt::format("https://feed{}.example.org/rss.xml", feed);
}

// Writes articles rows to a new store at file, in one save.
void generateStore(const std::filesystem::path& file, std::size_t articles) {
    std::filesystem::remove(file);
    auto opened = ArticleStore::open(file);
    if (!opened) {
        std::fprintf(stderr, "%s\n", opened.error().message.c_str());
        std::exit(1);
    }
    ArticleStore& store = **opened;
    Random random(20240611);
    const Date newest = Date(std::chrono::milliseconds(1'718'000'000'000));  // June 2024
    for (std::size_t i = 0; i < articles; ++i) {
        const std::size_t feed = i % (articles / kArticlesPerFeed);
        const Date pubDate = newest - 14min * i + std::chrono::milliseconds(random.below(60'000));
        BlogPost post;
        post.blogLink = feedUrl(feed);
        post.desc = body(random);
        post.link = Url::parse(fmt::format("https://feed{}.example.org/post/{}", feed, i));
        post.pubDate = pubDate;
        post.sectionDate = makeSectionDate(pubDate);
        post.title = words(random, 4 + random.below(5)) + fmt::format(" #{}", i);
        post.web = fmt::format("Feed {} {}", feed, kWords[feed % kWords.size()]);
        store.insert(std::move(post));
    }
    if (auto saved = store.save(); !saved) {
        std::fprintf(stderr, "%s\n", saved.error().message.c_str());
        std::exit(1);
    }
    // The search index, as the store's own thread would build it once saves pause.
    const auto started = std::chrono::steady_clock::now();
    if (auto indexed = store.finishIndexing(); !indexed) {
        std::fprintf(stderr, "%s\n", indexed.error().message.c_str());
        std::exit(1);
    }
    std::printf("search index built in %.1f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
}

struct Fixture {
    std::filesystem::path file;
    std::unique_ptr<ArticleStore> store;
    std::size_t articles = 0;
};
Fixture* gFixture = nullptr;

// The first screen as the list asks for it: sections with names and counts, then rows until
// kFirstScreenRows are on screen.
void readFirstScreen(benchmark::State& state, FetchedResultsController& controller) {
    if (auto fetched = controller.performFetch(); !fetched) {
        state.SkipWithError(fetched.error().message.c_str());
        return;
    }
    std::size_t names = 0;
    for (std::size_t s = 0; s < controller.numberOfSections(); ++s) {
        names += controller.sectionName(s).size() + controller.numberOfObjects(s);
    }
    benchmark::DoNotOptimize(names);
    std::size_t shown = 0;
    for (std::size_t s = 0; s < controller.numberOfSections() && shown < kFirstScreenRows; ++s) {
        for (std::size_t r = 0; r < controller.numberOfObjects(s) && shown < kFirstScreenRows;
             ++r, ++shown) {
            auto post = controller.objectAt({s, r});
            if (!post) {
                state.SkipWithError(post.error().message.c_str());
                return;
            }
            benchmark::DoNotOptimize(post->title);
        }
    }
    state.counters["sections"] = double(controller.numberOfSections());
    state.counters["results"] = double(controller.fetchedObjectCount());
    state.counters["batches"] = double(controller.loadedBatchCount());
}

void firstScreenWarm(benchmark::State& state) {
    for (auto _ : state) {
        FetchedResultsController controller(*gFixture->store);
        readFirstScreen(state, controller);
    }
}

void firstScreenFreshOpen(benchmark::State& state) {
    for (auto _ : state) {
        auto store = ArticleStore::open(gFixture->file);
        if (!store) {
            state.SkipWithError(store.error().message.c_str());
            return;
        }
        FetchedResultsController controller(**store);
        readFirstScreen(state, controller);
    }
}

void search(benchmark::State& state, std::string needle) {
    for (auto _ : state) {
        FetchedResultsController controller(*gFixture->store, ArticlePredicate::searching(needle));
        readFirstScreen(state, controller);
    }
}

std::vector<Article> feedEntries(std::size_t feed, std::size_t count, std::size_t round) {
    std::vector<Article> entries;
    const Date start = Date(std::chrono::milliseconds(1'718'000'000'000)) + 1h * round;
    for (std::size_t i = 0; i < count; ++i) {
        entries.push_back(Article{
            .title = fmt::format("Round {} entry {}", round, i),
            .description = "<p>New entry with an école and a café</p>",
            .web = fmt::format("Feed {} {}", feed, kWords[feed % kWords.size()]),
            .blogLink = feedUrl(feed),
            .link = *Url::parse(fmt::format("https://feed{}.example.org/r{}/{}", feed, round, i)),
            .pubDate = start + 1min * i,
        });
    }
    return entries;
}

void saveNewEntries(benchmark::State& state) {
    std::size_t round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto entries = feedEntries(7, 50, ++round);
        state.ResumeTiming();
        if (auto saved = saveArticles(entries, *gFixture->store); !saved) {
            state.SkipWithError(saved.error().message.c_str());
            return;
        }
    }
}

void saveUnchangedEntries(benchmark::State& state) {
    const auto entries = feedEntries(11, 50, 0);
    if (auto saved = saveArticles(entries, *gFixture->store); !saved) {
        state.SkipWithError(saved.error().message.c_str());
        return;
    }
    for (auto _ : state) {
        if (auto saved = saveArticles(entries, *gFixture->store); !saved) {
            state.SkipWithError(saved.error().message.c_str());
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t articles = 100'000;
    std::filesystem::path keep;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with("--articles=")) {
            articles = std::stoul(std::string(argument.substr(11)));
        } else if (argument.starts_with("--keep_store=")) {
            keep = argument.substr(13);
        } else {
            rest.push_back(argv[i]);
        }
    }
    int restCount = int(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data())) return 1;
    if (articles < kArticlesPerFeed) articles = kArticlesPerFeed;

    Fixture fixture;
    fixture.articles = articles;
    fixture.file = keep.empty() ? std::filesystem::temp_directory_path() /
                                      fmt::format("pressling-store-bench-{}.sqlite", ::getpid())
                                : keep;
    const auto started = std::chrono::steady_clock::now();
    generateStore(fixture.file, articles);
    const auto generated = std::chrono::steady_clock::now() - started;
    auto opened = ArticleStore::open(fixture.file);
    if (!opened) {
        std::fprintf(stderr, "%s\n", opened.error().message.c_str());
        return 1;
    }
    fixture.store = std::move(*opened);
    gFixture = &fixture;
    std::printf("store: %zu articles, %.1f MB, generated in %.1f s\n", articles,
                double(std::filesystem::file_size(fixture.file)) / 1e6,
                std::chrono::duration<double>(generated).count());
    std::fflush(stdout);

    benchmark::RegisterBenchmark("FirstScreen/warm", firstScreenWarm)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("FirstScreen/freshOpen", firstScreenFreshOpen)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    // A common word, a rare one, an upper-case accented one, one letter, and no match at all;
    // then three letters most articles contain, three letters of about 1 100 titles, and ten
    // letters of one feed's name.
    for (const char* needle :
         {"kernel", "#4242", "ÉCOLE", "k", "zzzz", "ker", "#42", "Feed 1234 "}) {
        benchmark::RegisterBenchmark((std::string("Search/") + needle).c_str(), search,
                                     std::string(needle))
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::RegisterBenchmark("SaveArticles/new50", saveNewEntries)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("SaveArticles/unchanged50", saveUnchangedEntries)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fixture.store.reset();
    if (keep.empty()) {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(fixture.file.string() + suffix);
        }
    }
    return 0;
}
