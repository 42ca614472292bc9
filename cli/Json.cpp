#include "Json.h"

#include <iostream>

namespace pressling::cli {

void printJson(const Json& json) {
    std::cout << json.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace pressling::cli
