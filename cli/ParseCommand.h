#pragma once

#include <span>
#include <string_view>

namespace pressling::cli {

inline constexpr std::string_view kParseUsage = "parse [--check] [--url URL] SOURCE";

// `pressling-cli parse`: reads one feed document from a file or an http(s) URL and prints one
// JSON object on stdout. Returns the process exit status: 0 on success (and in checking mode
// whatever the document holds), 1 when the document cannot be had or read, 2 on wrong
// arguments (after a usage line on stderr).
int runParseCommand(std::span<const std::string_view> arguments);

}  // namespace pressling::cli
