#pragma once

#include <string>
#include <string_view>

namespace pressling::cli {

// text as it can safely go into one field of a line of output: feed titles and addresses come
// from strangers, and a line break would forge a row, a tab a field, an escape sequence the
// terminal's state. Control characters become visible escapes: \n, \r, \t, \xNN for the other
// C0 controls and DEL, \u0080 to \u009f for the C1 controls; a backslash becomes \\ so that
// none of these can be faked; a byte that is not part of valid UTF-8 becomes \xNN. Everything
// else is kept as it is.
std::string printable(std::string_view text);

}  // namespace pressling::cli
