#pragma once

#include <string_view>

namespace pressling::log {

// Console diagnostics that the user does not see on screen. Every layer writes them here, so
// they all reach stderr with one prefix and never interleave mid-line. Any thread.
void warning(std::string_view message);
void error(std::string_view message);

}  // namespace pressling::log
