// Feed catalog latency on a catalog of 100 000 generated feeds, per backend:
//   CatalogSearch/<backend>/3_letters   "sci": in a fifth of the feeds (science, conscious...)
//   CatalogSearch/<backend>/10_letters  "photograph": in a sixth (photography, photographer)
//   CatalogSearch/<backend>/3_rare      "q7z": in none, so the whole index is consulted
//   CatalogSearch/<backend>/10_rare     "ghost town": in none
//   CatalogSearch/<backend>/4_all       "feed": in every feed's url
//   CatalogSearch/<backend>/8_some      "sunday s": in about one feed in a hundred
//   CatalogSearch/<backend>/1_letter    "e": in nearly every feed
//   CatalogSearch/<backend>/2_rare      "zq": in none, and too short for a trigram index
//   CatalogSave/<backend>               upsert of a feed already in the catalog
// Each reports, besides Google Benchmark's mean time per call, the median and 90th percentile
// of the individual calls (median_ms, p90_ms) and how many feeds matched in the whole catalog.
//
// The SQLite catalog is a new file in a temporary folder (seeded as usual, then filled in one
// transaction). The PostgreSQL catalog runs only when PRESSLING_TEST_POSTGRES names a server
// (scripts/start-test-postgres.sh); it gets its own schema, dropped at the end.
//
//   eval "$(scripts/start-test-postgres.sh)"
//   build/bench/catalog_bench --benchmark_min_time=2

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "subscriptions/CatalogDatabase.h"
#include "subscriptions/SqliteCatalog.h"

namespace {

using pressling::CatalogDatabase;
using pressling::CatalogRecord;

constexpr int kFeeds = 100'000;

// Words a feed's name and description are drawn from. Enough of them that a word is in a
// couple of percent of the feeds, as topic words are in a real catalog.
constexpr const char* kWords[] = {
    "daily",       "weekly",       "news",      "notes",     "journal",     "digest",
    "review",      "report",       "letters",   "science",   "scientific",  "conscious",
    "physics",     "biology",      "chemistry", "astronomy", "photography", "photographer",
    "design",      "architecture", "music",     "jazz",      "classical",   "film",
    "cinema",      "books",        "poetry",    "history",   "politics",    "economics",
    "markets",     "finance",      "startup",   "software",  "programming", "compilers",
    "databases",   "linux",        "kernel",    "security",  "privacy",     "networks",
    "cloud",       "mobile",       "android",   "gaming",    "travel",      "food",
    "cooking",     "recipes",      "gardening", "climate",   "energy",      "ocean",
    "mountain",    "city",         "local",     "world",     "global",      "european",
    "asian",       "african",      "american",  "open",      "source",      "free",
    "independent", "public",       "radio",     "podcast",   "video",       "stories",
    "essays",      "ideas",        "culture",   "art",       "craft",       "makers",
    "hardware",    "robots",       "space",     "rockets",   "health",      "medicine",
    "fitness",     "running",      "cycling",   "football",  "chess",       "mathematics",
    "statistics",  "data",         "visual",    "maps",      "language",    "translation",
    "education",   "teaching",     "research",  "lab",       "university",  "students",
    "community",   "village",      "garden",    "forest",    "river",       "harbor",
    "station",     "studio",       "workshop",  "gallery",   "museum",      "library",
    "archive",     "almanac",      "chronicle", "gazette",   "herald",      "courier",
    "tribune",     "observer",     "monitor",   "signal",    "beacon",      "compass",
    "atlas",       "northern",     "southern",  "eastern",   "western",     "midnight",
    "morning",     "evening",      "sunday",
};
constexpr std::size_t kWordCount = std::size(kWords);

std::vector<CatalogRecord> generateFeeds() {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> word(0, kWordCount - 1);
    std::uniform_int_distribution<int> aboutLength(6, 12);
    std::vector<CatalogRecord> feeds;
    feeds.reserve(kFeeds);
    for (int i = 0; i < kFeeds; ++i) {
        std::string name = kWords[word(random)];
        name[0] = char(name[0] - 'a' + 'A');
        name += std::string(" ") + kWords[word(random)] + " " + std::to_string(i);
        std::string about;
        for (int w = aboutLength(random); w > 0; --w) {
            about += kWords[word(random)];
            if (w > 1) about += ' ';
        }
        const std::string url = "https://" + std::string(kWords[word(random)]) + std::to_string(i) +
                                ".example.org/feed.xml";
        feeds.push_back(CatalogRecord{url, name, about, url});
    }
    return feeds;
}

const std::vector<CatalogRecord>& feeds() {
    static const std::vector<CatalogRecord> generated = generateFeeds();
    return generated;
}

std::size_t matchesInCatalog(std::string_view text) {
    std::size_t count = 0;
    for (const auto& feed : feeds()) {
        if (feed.name->find(text) != std::string::npos ||
            feed.about->find(text) != std::string::npos ||
            feed.url->find(text) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

[[noreturn]] void die(const std::string& message) {
    std::fprintf(stderr, "catalog_bench: %s\n", message.c_str());
    std::exit(1);
}

// --- SQLite --------------------------------------------------------------------------------------

struct SqliteSetup {
    std::filesystem::path folder;
    std::unique_ptr<CatalogDatabase> catalog;

    SqliteSetup() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "catalog-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) die("cannot make a temporary folder");
        folder = pattern;
        const auto file = folder / "catalog.sqlite";
        auto opened = CatalogDatabase::open("sqlite:" + file.string());
        if (!opened) die(opened.error().message());
        catalog = std::move(*opened);
        fill(file);
    }
    ~SqliteSetup() {
        catalog.reset();
        std::filesystem::remove_all(folder);
    }

    // One transaction straight into the table; the catalog's triggers index each row.
    static void fill(const std::filesystem::path& file) {
        sqlite3* db = nullptr;
        if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) die("cannot open " + file.string());
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO feed (url, name, about) VALUES (?1, ?2, ?3)", -1,
                           &insert, nullptr);
        for (const auto& feed : feeds()) {
            sqlite3_bind_text(insert, 1, feed.url->c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 2, feed.name->c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 3, feed.about->c_str(), -1, SQLITE_STATIC);
            if (sqlite3_step(insert) != SQLITE_DONE) die(sqlite3_errmsg(db));
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        if (sqlite3_exec(db, "COMMIT; ANALYZE", nullptr, nullptr, nullptr) != SQLITE_OK) {
            die(sqlite3_errmsg(db));
        }
        sqlite3_close(db);
    }
};

// --- PostgreSQL ----------------------------------------------------------------------------------

struct PostgresSetup {
    std::string serverUrl;
    std::string schema = "catalog_bench_" + std::to_string(::getpid());
    std::unique_ptr<CatalogDatabase> catalog;

    explicit PostgresSetup(std::string url) : serverUrl(std::move(url)) {
        run("CREATE EXTENSION IF NOT EXISTS pg_trgm SCHEMA public");
        run("CREATE SCHEMA " + schema);
        const std::string catalogUrl = serverUrl +
                                       (serverUrl.find('?') == std::string::npos ? "?" : "&") +
                                       "options=-c%20search_path%3D" + schema + "%2Cpublic";
        auto opened = CatalogDatabase::open(catalogUrl);
        if (!opened) die(opened.error().message());
        catalog = std::move(*opened);
        // The first call connects and creates the table and functions.
        if (auto first = catalog->search("x"); !first) die(first.error().message());
        fill();
    }
    ~PostgresSetup() {
        catalog.reset();
        run("DROP SCHEMA " + schema + " CASCADE");
    }

    void run(const std::string& sql) const {
        PGconn* connection = PQconnectdb(serverUrl.c_str());
        if (PQstatus(connection) != CONNECTION_OK) die(PQerrorMessage(connection));
        PGresult* result = PQexec(connection, sql.c_str());
        if (PQresultStatus(result) != PGRES_COMMAND_OK) die(PQerrorMessage(connection));
        PQclear(result);
        PQfinish(connection);
    }

    // COPY is the quick way in; the generated text holds no tab, newline or backslash to escape.
    void fill() const {
        PGconn* connection = PQconnectdb(serverUrl.c_str());
        if (PQstatus(connection) != CONNECTION_OK) die(PQerrorMessage(connection));
        const std::string copy = "COPY " + schema + ".feed (url, name, about) FROM STDIN";
        PGresult* started = PQexec(connection, copy.c_str());
        if (PQresultStatus(started) != PGRES_COPY_IN) die(PQerrorMessage(connection));
        PQclear(started);
        std::string line;
        for (const auto& feed : feeds()) {
            line = *feed.url + '\t' + *feed.name + '\t' + *feed.about + '\n';
            if (PQputCopyData(connection, line.data(), int(line.size())) != 1) {
                die(PQerrorMessage(connection));
            }
        }
        if (PQputCopyEnd(connection, nullptr) != 1) die(PQerrorMessage(connection));
        PGresult* finished = PQgetResult(connection);
        if (PQresultStatus(finished) != PGRES_COMMAND_OK) die(PQerrorMessage(connection));
        PQclear(finished);
        PQclear(PQexec(connection, ("ANALYZE " + schema + ".feed").c_str()));
        PQfinish(connection);
    }
};

// --- Measurements --------------------------------------------------------------------------------

void reportLatencies(benchmark::State& state, std::vector<double>& milliseconds) {
    if (milliseconds.empty()) return;
    std::sort(milliseconds.begin(), milliseconds.end());
    state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
    state.counters["p90_ms"] = milliseconds[milliseconds.size() * 9 / 10];
}

void searchBenchmark(benchmark::State& state, CatalogDatabase* catalog, std::string text) {
    std::vector<double> milliseconds;
    std::size_t returned = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto found = catalog->search(text);
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        if (!found) {
            state.SkipWithError(found.error().message().c_str());
            return;
        }
        returned = found->size();
        benchmark::DoNotOptimize(found);
    }
    reportLatencies(state, milliseconds);
    state.counters["returned"] = double(returned);
    state.counters["matching"] = double(matchesInCatalog(text));
}

void saveBenchmark(benchmark::State& state, CatalogDatabase* catalog) {
    std::vector<double> milliseconds;
    std::size_t next = 0;
    for (auto _ : state) {
        auto feed = feeds()[(next++ * 7919) % feeds().size()];
        feed.about = *feed.about + " updated";
        const auto start = std::chrono::steady_clock::now();
        auto saved = catalog->save(feed);
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        if (!saved) {
            state.SkipWithError(saved.error().message().c_str());
            return;
        }
    }
    reportLatencies(state, milliseconds);
}

void registerBackend(const std::string& backend, CatalogDatabase* catalog) {
    const std::pair<const char*, const char*> queries[] = {
        {"3_letters", "sci"}, {"10_letters", "photograph"},
        {"3_rare", "q7z"},    {"10_rare", "ghost town"},
        {"4_all", "feed"},    {"8_some", "sunday s"},
        {"1_letter", "e"},    {"2_rare", "zq"}};
    for (const auto& [label, text] : queries) {
        benchmark::RegisterBenchmark(("CatalogSearch/" + backend + "/" + label).c_str(),
                                     searchBenchmark, catalog, std::string(text))
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark(("CatalogSave/" + backend).c_str(), saveBenchmark, catalog)
        ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    std::fprintf(stderr, "catalog_bench: generating and loading %d feeds...\n", kFeeds);
    SqliteSetup sqlite;
    registerBackend("sqlite", sqlite.catalog.get());

    std::unique_ptr<PostgresSetup> postgres;
    if (const char* url = std::getenv("PRESSLING_TEST_POSTGRES"); url != nullptr && *url != '\0') {
        postgres = std::make_unique<PostgresSetup>(url);
        registerBackend("postgresql", postgres->catalog.get());
    } else {
        std::fprintf(stderr,
                     "catalog_bench: PRESSLING_TEST_POSTGRES is not set; PostgreSQL skipped\n");
    }

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
