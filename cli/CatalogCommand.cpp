#include "CatalogCommand.h"

#include "MainLoop.h"
#include "Usage.h"
#include "subscriptions/CKFeed.h"

#include <iostream>

namespace pressling::cli {
namespace {

// Longer than any database time-out below it: the catalog reports its own failures first.
constexpr std::chrono::seconds kSearchTimeLimit{60};

// Tabs and line breaks inside a field would break the one-line-per-feed output.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

}  // namespace

int runCatalogCommand(std::span<const std::string_view> arguments) {
    if (arguments.size() != 2 || arguments[0] != "search") {
        return usageError("catalog needs a search text", kCatalogUsage);
    }
    std::optional<std::expected<std::vector<RSSData>, CatalogError>> result;
    CKFeed::search(std::string(arguments[1]), [&](auto outcome) { result = std::move(outcome); });
    if (!mainLoop().runUntil([&] { return result.has_value(); }, kSearchTimeLimit)) {
        std::cerr << "pressling-cli: the catalog did not answer within "
                  << kSearchTimeLimit.count() << " s\n";
        return 1;
    }
    if (!*result) {
        std::cerr << "pressling-cli: cannot search the catalog: " << result->error().message()
                  << '\n';
        return 1;
    }
    for (const RSSData& feed : **result) {
        std::cout << oneLine(feed.name) << '\t' << oneLine(feed.description) << '\t'
                  << feed.url.absoluteString() << '\n';
    }
    return 0;
}

}  // namespace pressling::cli
