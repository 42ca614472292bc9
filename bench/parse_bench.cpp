// Parser throughput, next to the floor it sits on.
//
// For a ~5 MB RSS 2.0 document and a ~5 MB Atom document (bench/FeedGenerator, fixed seed):
//   FullParse/<doc>            bytes -> std::vector<Article> through RSSParser
//   XmlEventParserFloor/<doc>  our SAX layer with a handler whose three methods do nothing
//   LibXml2SaxFloor/<doc>      libxml2 alone: same context setup, empty SAX2 callbacks
// and, separately, the cost of one parseFeedDate call for each date form a feed uses.
//
// After the runs, a table relates each full parse to both floors (throughput ratio, CPU time).
// Extra flags: --feed_bytes=N changes the document size (default 5000000); every Google
// Benchmark flag works as usual.

#include "FeedGenerator.h"

#include "feedparse/FeedDate.h"
#include "feedparse/RSSParser.h"
#include "platform/XmlEventParser.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

using pressling::bench::FeedFormat;
using pressling::bench::FeedGenerator;
using pressling::bench::GeneratedFeed;

constexpr const char* kFeedUrl = "https://blog.example.org/feed.xml";

struct Document {
    std::string label;  // "rss", "atom"
    GeneratedFeed feed;
};

// ---------------------------------------------------------------------------------------------
// The three ways through one document.

void fullParse(benchmark::State& state, const Document& doc) {
    std::size_t articles = 0;
    for (auto _ : state) {
        // RSSParser takes its document by value; the copy is what any caller pays before
        // parsing starts, but it is not parsing, so it stays off the clock.
        state.PauseTiming();
        std::string bytes = doc.feed.document;
        state.ResumeTiming();

        pressling::RSSParser parser(std::move(bytes), kFeedUrl);
        auto result = parser.parse();
        if (!result) {
            state.SkipWithError(("parse failed: " + result.error().message()).c_str());
            return;
        }
        articles = result->size();
        benchmark::DoNotOptimize(result->data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * doc.feed.document.size()));
    state.SetItemsProcessed(std::int64_t(state.iterations() * articles));
    state.counters["articles"] = double(articles);
    if (articles != doc.feed.entryCount) {
        // Not an error for the timing, but the figure is not comparable with the floor's.
        const std::string label = std::to_string(articles) + " of " +
                                  std::to_string(doc.feed.entryCount) + " entries became articles";
        state.SetLabel(label.c_str());
    }
}

class EmptyHandler final : public pressling::XmlEventHandler {
public:
    void startElement(std::string_view) override {}
    void characters(std::string_view) override {}
    void endElement(std::string_view) override {}
};

void xmlEventParserFloor(benchmark::State& state, const Document& doc) {
    for (auto _ : state) {
        EmptyHandler handler;
        pressling::XmlEventParser parser(doc.feed.document);
        auto result = parser.parse(handler);
        if (!result) {
            state.SkipWithError(("parse failed: " + result.error().message).c_str());
            return;
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * doc.feed.document.size()));
}

void onStartElementNs(void*, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**,
                      int, int, const xmlChar**) {}
void onEndElementNs(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}
void onCharacters(void*, const xmlChar*, int) {}

// Built like XmlEventParser builds its context (memory context, SAX2 element callbacks,
// XML_PARSE_NONET) but with nothing behind the callbacks: what libxml2 itself costs.
bool rawLibxml2Parse(const std::string& document) {
    xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(document.data(), int(document.size()));
    if (ctxt == nullptr) return false;
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = onStartElementNs;
    sax.endElementNs = onEndElementNs;
    sax.characters = onCharacters;
    sax.ignorableWhitespace = onCharacters;
    sax.cdataBlock = onCharacters;
    *ctxt->sax = sax;
    xmlCtxtUseOptions(ctxt, XML_PARSE_NONET);
    const bool ok = xmlParseDocument(ctxt) == 0 && ctxt->wellFormed;
    if (ctxt->myDoc != nullptr) xmlFreeDoc(ctxt->myDoc);
    xmlFreeParserCtxt(ctxt);
    return ok;
}

void libxml2SaxFloor(benchmark::State& state, const Document& doc) {
    for (auto _ : state) {
        if (!rawLibxml2Parse(doc.feed.document)) {
            state.SkipWithError("libxml2 found the document not well-formed");
            return;
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * doc.feed.document.size()));
}

// ---------------------------------------------------------------------------------------------
// One date, each form parseFeedDate reads, in the order it tries them.

struct DateSample {
    const char* name;
    const char* text;
    bool readable;
};

constexpr DateSample kDateSamples[] = {
    {"rfc822-numeric", "Tue, 10 Jun 2003 04:00:00 +0000", true},  // form 1
    {"rfc822-gmt", "Tue, 10 Jun 2003 04:00:00 GMT", true},        // form 2
    {"iso8601-fraction", "2003-06-10T04:00:00.000+0000", true},   // form 3
    {"day-only", "2003/06/10", true},                             // form 4
    {"iso8601-z", "2003-06-10T04:00:00Z", true},                  // form 5
    {"iso8601-offset", "2003-06-10T04:00:00+02:00", true},        // form 5
    {"unreadable", "the tenth of June", false},                   // all five fail
};

void parseFeedDate(benchmark::State& state, const DateSample& sample) {
    const std::string_view text = sample.text;
    // Also builds this thread's formatters, so their one-off cost stays out of the loop.
    if (pressling::parseFeedDate(text).has_value() != sample.readable) {
        state.SkipWithError(sample.readable ? "date not read" : "nonsense read as a date");
        return;
    }
    for (auto _ : state) {
        auto date = pressling::parseFeedDate(text);
        benchmark::DoNotOptimize(date);
    }
    state.SetItemsProcessed(state.iterations());
}

// ---------------------------------------------------------------------------------------------
// Console output as usual, plus a closing table relating each full parse to its floors.

class RatioReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const double seconds =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.run_type == Run::RT_Aggregate) {
                // With --benchmark_repetitions the median stands for the runs, so that one
                // repetition slowed by other work on the machine does not move the ratio.
                if (run.aggregate_name == "median") medians_[run.run_name.str()] = seconds;
            } else {
                samples_[run.run_name.str()].push_back(seconds);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios(const std::vector<Document>& documents) const {
        bool header = false;
        for (const Document& doc : documents) {
            const double full = secondsFor("FullParse/" + doc.label);
            const double ownFloor = secondsFor("XmlEventParserFloor/" + doc.label);
            const double rawFloor = secondsFor("LibXml2SaxFloor/" + doc.label);
            if (full <= 0) continue;
            if (!header) {
                std::printf(
                    "\nFull parse against the SAX floors (CPU time; share of the floor's "
                    "throughput, higher is better):\n");
                header = true;
            }
            const double megabytes = double(doc.feed.document.size()) / 1e6;
            std::printf("  %-5s full %7.1f MB/s", doc.label.c_str(), megabytes / full);
            if (ownFloor > 0) {
                std::printf(" | XmlEventParser floor %7.1f MB/s -> %5.1f%%", megabytes / ownFloor,
                            100.0 * ownFloor / full);
            }
            if (rawFloor > 0) {
                std::printf(" | libxml2 floor %7.1f MB/s -> %5.1f%%", megabytes / rawFloor,
                            100.0 * rawFloor / full);
            }
            std::printf("\n");
        }
        std::fflush(stdout);
    }

private:
    double secondsFor(const std::string& name) const {
        if (auto median = medians_.find(name); median != medians_.end()) return median->second;
        auto found = samples_.find(name);
        if (found == samples_.end() || found->second.empty()) return 0;
        double sum = 0;
        for (double s : found->second) sum += s;
        return sum / double(found->second.size());
    }

    std::map<std::string, double> medians_;
    std::map<std::string, std::vector<double>> samples_;
};

// Takes --feed_bytes=N out of argv before Google Benchmark sees it.
std::size_t takeFeedBytes(int& argc, char** argv) {
    std::size_t bytes = 5'000'000;
    constexpr std::string_view kFlag = "--feed_bytes=";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with(kFlag)) {
            bytes = std::stoull(std::string(arg.substr(kFlag.size())));
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t feedBytes = takeFeedBytes(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    xmlInitParser();

    // Generated once, before any timing; the benchmarks only read them.
    static std::vector<Document> documents;
    const FeedGenerator generator;
    documents.push_back({"rss", generator.generate(FeedFormat::rss, feedBytes)});
    documents.push_back({"atom", generator.generate(FeedFormat::atom, feedBytes)});

    for (const Document& doc : documents) {
        const std::string& label = doc.label;
        benchmark::RegisterBenchmark(("FullParse/" + label).c_str(), fullParse, std::cref(doc))
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("XmlEventParserFloor/" + label).c_str(), xmlEventParserFloor,
                                     std::cref(doc))
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("LibXml2SaxFloor/" + label).c_str(), libxml2SaxFloor,
                                     std::cref(doc))
            ->Unit(benchmark::kMillisecond);
    }
    for (const DateSample& sample : kDateSamples) {
        benchmark::RegisterBenchmark((std::string("parseFeedDate/") + sample.name).c_str(),
                                     parseFeedDate, std::cref(sample))
            ->Unit(benchmark::kNanosecond);
    }

    for (const Document& doc : documents) {
        std::printf("%s document: %zu bytes, %zu entries\n", doc.label.c_str(),
                    doc.feed.document.size(), doc.feed.entryCount);
    }
    std::fflush(stdout);

    RatioReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color
                                                 : benchmark::ConsoleReporter::OO_None);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(documents);
    benchmark::Shutdown();
    return 0;
}
