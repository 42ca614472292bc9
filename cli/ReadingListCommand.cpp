#include "ReadingListCommand.h"

#include "Printable.h"
#include "Usage.h"

#include "readinglist/ReadingList.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <iostream>

namespace pressling::cli {
namespace {

int fail(const ReadingListError& error) {
    std::cerr << "pressling-cli: " << error.message << '\n';
    return 1;
}

int printItems(const ReadingList& list) {
    auto items = list.items();
    if (!items) return fail(items.error());
    for (const ReadingListItem& item : *items) {
        const auto added = std::chrono::system_clock::to_time_t(item.dateAdded);
        std::cout << fmt::format("{:%Y-%m-%d %H:%M}", fmt::localtime(added)) << '\t'
                  << printable(item.title) << '\t' << printable(item.url) << '\t'
                  << printable(item.previewText) << '\n';
    }
    return 0;
}

}  // namespace

int runReadingListCommand(std::span<const std::string_view> arguments) {
    auto list = ReadingList::defaultReadingList();
    if (!list) return fail(list.error());
    if (arguments.empty()) return printItems(*list);

    const std::string_view action = arguments[0];
    if (action == "add") {
        std::optional<std::string_view> url, title;
        for (std::size_t i = 1; i < arguments.size(); ++i) {
            if (arguments[i] == "--title") {
                if (++i == arguments.size() || title) {
                    return usageError("add needs one --title TITLE", kReadingListUsage);
                }
                title = arguments[i];
            } else if (!url && !arguments[i].starts_with("--")) {
                url = arguments[i];
            } else {
                return usageError("unexpected " + std::string(arguments[i]), kReadingListUsage);
            }
        }
        if (!url || !title || title->empty()) {
            return usageError("add needs a URL and a --title", kReadingListUsage);
        }
        const auto parsed = Url::parse(*url);
        if (!parsed) return usageError(std::string(*url) + " is not a URL", kReadingListUsage);
        if (auto added = list->addReadingListItem(*parsed, std::string(*title), ""); !added) {
            if (added.error().kind == ReadingListError::Kind::invalidURL) {
                return usageError(added.error().message, kReadingListUsage);
            }
            return fail(added.error());
        }
        return printItems(*list);
    }
    if (action == "remove") {
        if (arguments.size() != 2) return usageError("remove needs one URL", kReadingListUsage);
        auto removed = list->removeItem(arguments[1]);
        if (!removed) return fail(removed.error());
        if (!*removed) {
            std::cerr << "pressling-cli: " << printable(arguments[1])
                      << " is not on the reading list\n";
            printItems(*list);
            return 1;
        }
        return printItems(*list);
    }
    return usageError("unknown reading-list action " + std::string(action), kReadingListUsage);
}

}  // namespace pressling::cli
