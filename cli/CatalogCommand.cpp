#include "CatalogCommand.h"

#include "MainLoop.h"
#include "Printable.h"

#include <iostream>
#include <memory>

namespace pressling::cli {
namespace {

// Longer than any database time-out below it: the catalog reports its own failures first.
constexpr std::chrono::seconds kSearchTimeLimit{60};

}  // namespace

int runCatalogCommand(std::string text, const CatalogSearch& search) {
    // Shared with the completion, which may still come after the wait below has given up.
    using Outcome = std::optional<std::expected<std::vector<RSSData>, CatalogError>>;
    const auto result = std::make_shared<Outcome>();
    search(std::move(text), [result](auto outcome) { *result = std::move(outcome); });
    if (!mainLoop().runUntil([&] { return result->has_value(); }, kSearchTimeLimit)) {
        std::cerr << "pressling-cli: the catalog did not answer within " << kSearchTimeLimit.count()
                  << " s\n";
        return 1;
    }
    if (!**result) {
        std::cerr << "pressling-cli: cannot search the catalog: " << (*result)->error().message()
                  << '\n';
        return 1;
    }
    for (const RSSData& feed : ***result) {
        std::cout << printable(feed.name) << '\t' << printable(feed.description) << '\t'
                  << printable(feed.url.absoluteString()) << '\n';
    }
    return 0;
}

}  // namespace pressling::cli
