#pragma once

#include <string_view>

namespace pressling {

// The version of this build of Pressling's programs ("0.1.0"), as the project declares it.
std::string_view presslingVersion();

}  // namespace pressling
