#include "OpmlCommands.h"

#include "AtomicFile.h"
#include "MainLoop.h"
#include "Printable.h"
#include "flows/AddFeed.h"
#include "platform/DispatchGroup.h"
#include "platform/GlobalQueue.h"
#include "subscriptions/Opml.h"
#include "subscriptions/StoredWebs.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>

namespace pressling::cli {
namespace {

// What the checks write and the command reads. Owned together by the command and every
// callback, since a wait that times out returns while checks are still running.
struct Import {
    explicit Import(std::vector<OpmlFeed> list) : feeds(std::move(list)), failures(feeds.size()) {}
    const std::vector<OpmlFeed> feeds;
    std::mutex mutex;
    std::vector<std::string> failures;  // by feed; empty for a feed that was imported
    std::size_t failed = 0;
    DispatchGroup group;
    bool done = false;  // main queue only
};

// Why the feed at url was not imported, or "" when it was. A failed write is addRSS's own error;
// addRSS also succeeds without writing when another address holds the feed's title, so the list
// itself says whether the feed is in it.
std::string importFeed(const OpmlFeed& feed) {
    const auto url = Url::parse(feed.xmlUrl);
    if (!url || !url->isHttpOrHttps()) return "not an http or https address";
    if (auto added = addRSS(*url); !added) return added.error().message;
    const auto webs = readWebs();
    if (!webs) return webs.error();
    const bool listed = std::ranges::any_of(
        *webs, [&](const Web& web) { return web.url == url->absoluteString(); });
    return listed ? "" : "a subscription of the same title has another address";
}

}  // namespace

int runImportCommand(const std::string& path, std::chrono::milliseconds timeLimit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "pressling-cli: cannot read " << path << '\n';
        return 1;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    auto feeds = readOpml(bytes.str());
    if (!feeds) {
        std::cerr << "pressling-cli: " << path << ": " << feeds.error() << '\n';
        return 1;
    }

    const auto import = std::make_shared<Import>(std::move(*feeds));
    for (std::size_t i = 0; i < import->feeds.size(); ++i) {
        import->group.enter();
        globalAsync([import, i] {
            if (std::string failure = importFeed(import->feeds[i]); !failure.empty()) {
                std::lock_guard lock(import->mutex);
                import->failures[i] = std::move(failure);
                ++import->failed;
            }
            import->group.leave();
        });
    }
    import->group.notify([import] { import->done = true;
});
if (!mainLoop().runUntil([&] { return import->done; }, timeLimit)) {
    std::cerr << "pressling-cli: the import did not finish\n";
    return 1;
}
const std::size_t total = import->feeds.size();
for (std::size_t i = 0; i < total; ++i) {
    if (import->failures[i].empty()) continue;
    const OpmlFeed& feed = import->feeds[i];
    std::cout << "failed: " << printable(feed.title.empty() ? feed.xmlUrl : feed.title) << " ("
              << printable(feed.xmlUrl) << "): " << printable(import->failures[i]) << '\n';
}
std::cout << "Imported " << total - import->failed << " of " << total << " feeds\n";
finishBackgroundWork();
return import->failed == 0 ? 0 : 1;
}  // namespace pressling::cli

int runExportCommand(const std::optional<std::string>& file) {
    const auto webs = readWebs();
    if (!webs) {
        std::cerr << "pressling-cli: nothing exported: " << webs.error() << '\n';
        return 1;
    }
    const std::string document = writeOpml(*webs);
    if (!file) {
        std::cout << document << std::flush;
        return std::cout ? 0 : 1;
    }
    if (auto written = replaceFile(*file, document); !written) {
        std::cerr << "pressling-cli: " << written.error() << '\n';
        return 1;
    }
    return 0;
}

}  // namespace pressling::cli
