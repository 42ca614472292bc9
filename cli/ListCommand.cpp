#include "ListCommand.h"

#include "Printable.h"
#include "Usage.h"

#include "subscriptions/StoredWebs.h"

#include <iostream>

namespace pressling::cli {

int runListCommand(std::span<const std::string_view> arguments) {
    if (!arguments.empty()) return usageError("list takes no arguments", kListUsage);
    const auto webs = loadWebs();
    for (std::size_t i = 0; i < webs.size(); ++i) {
        std::cout << i + 1 << '\t' << printable(webs[i].title) << '\t' << printable(webs[i].url);
        if (webs[i].error.value_or(false)) std::cout << "\terror";
        std::cout << '\n';
    }
    return 0;
}

}  // namespace pressling::cli
