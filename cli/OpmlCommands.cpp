#include "OpmlCommands.h"

#include "MainLoop.h"
#include "Usage.h"
#include "flows/AddFeed.h"
#include "platform/DispatchGroup.h"
#include "platform/GlobalQueue.h"
#include "subscriptions/Opml.h"
#include "subscriptions/StoredWebs.h"

#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>

namespace pressling::cli {
namespace {

// Every check is bounded by the download limits; this only keeps a fault from hanging.
constexpr std::chrono::minutes kImportTimeLimit{30};

}  // namespace

int runImportCommand(std::span<const std::string_view> arguments) {
    if (arguments.size() != 1) return usageError("import needs one OPML file", kImportUsage);
    const std::string path(arguments[0]);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "pressling-cli: cannot read " << path << '\n';
        return 1;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const auto feeds = readOpml(bytes.str());
    if (!feeds) {
        std::cerr << "pressling-cli: " << path << ": " << feeds.error() << '\n';
        return 1;
    }

    RunLoop& loop = mainLoop();
    std::mutex mutex;
    std::vector<std::string> failures(feeds->size());
    std::size_t failed = 0;
    DispatchGroup group;
    for (std::size_t i = 0; i < feeds->size(); ++i) {
        group.enter();
        globalAsync([&, i] {
            const OpmlFeed& feed = (*feeds)[i];
            std::string failure;
            if (const auto url = Url::parse(feed.xmlUrl); !url || !url->isHttpOrHttps()) {
                failure = "not an http or https address";
            } else if (auto added = addRSS(*url); !added) {
                failure = added.error().message;
            }
            if (!failure.empty()) {
                std::lock_guard lock(mutex);
                failures[i] = std::move(failure);
                ++failed;
            }
            group.leave();
        });
    }
    bool done = false;
    group.notify([&] { done = true; });
    if (!loop.runUntil([&] { return done; }, kImportTimeLimit)) {
        std::cerr << "pressling-cli: the import did not finish\n";
        return 1;
    }
    for (std::size_t i = 0; i < feeds->size(); ++i) {
        if (failures[i].empty()) continue;
        const OpmlFeed& feed = (*feeds)[i];
        std::cout << "failed: " << (feed.title.empty() ? feed.xmlUrl : feed.title) << " ("
                  << feed.xmlUrl << "): " << failures[i] << '\n';
    }
    std::cout << "Imported " << feeds->size() - failed << " of " << feeds->size() << " feeds\n";
    finishBackgroundWork();
    return failed == 0 ? 0 : 1;
}

int runExportCommand(std::span<const std::string_view> arguments) {
    if (arguments.size() > 1) return usageError("export takes at most one file", kExportUsage);
    const std::string document = writeOpml(loadWebs());
    if (arguments.empty()) {
        std::cout << document;
        return 0;
    }
    const std::string path(arguments[0]);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << document;
    out.close();
    if (!out) {
        std::cerr << "pressling-cli: cannot write " << path << '\n';
        return 1;
    }
    return 0;
}

}  // namespace pressling::cli
