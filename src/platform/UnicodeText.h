#pragma once

#include <string_view>

namespace pressling {

// text without the Unicode White_Space characters (space, tab, line breaks, U+00A0 no-break
// space, U+2028, U+3000, ...) at both ends. text must be UTF-8; the result views into it.
std::string_view trimWhiteSpace(std::string_view text);

}  // namespace pressling
