#pragma once

#include <nlohmann/json.hpp>

namespace pressling::cli {

// Keys in the order they were added, as every command prints them.
using Json = nlohmann::ordered_json;

// json on one line of stdout. Feed text reaches us as UTF-8 from the XML parser, but a stored
// title need not be: what is not UTF-8 becomes U+FFFD rather than failing the command.
void printJson(const Json& json);

}  // namespace pressling::cli
