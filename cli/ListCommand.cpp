#include "ListCommand.h"

#include "Json.h"
#include "Printable.h"

#include "subscriptions/StoredWebs.h"

#include <iostream>

namespace pressling::cli {

int runListCommand(bool json) {
    const auto webs = loadWebs();
    if (json) {
        Json list = Json::array();
        for (std::size_t i = 0; i < webs.size(); ++i) {
            list.push_back({{"position", i + 1},
                            {"title", webs[i].title},
                            {"url", webs[i].url},
                            {"error", webs[i].error ? Json(*webs[i].error) : Json(nullptr)}});
        }
        printJson(list);
        return 0;
    }
    for (std::size_t i = 0; i < webs.size(); ++i) {
        std::cout << i + 1 << '\t' << printable(webs[i].title) << '\t' << printable(webs[i].url);
        if (webs[i].error.value_or(false)) std::cout << "\terror";
        std::cout << '\n';
    }
    return 0;
}

}  // namespace pressling::cli
