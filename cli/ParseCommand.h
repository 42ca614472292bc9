#pragma once

#include <optional>
#include <string>

namespace pressling::cli {

struct ParseOptions {
    bool check = false;              // print the check's verdict instead of the entries
    std::optional<std::string> url;  // the address the document stands for (blogLink)
    std::string source;              // a file, or an http(s) URL to download
};

// `pressling-cli parse`: reads one feed document from a file or an http(s) URL and prints one
// JSON object on stdout. Returns the process exit status: 0 on success (and in checking mode
// whatever the document holds), 1 when the document cannot be had or read.
int runParseCommand(const ParseOptions& options);

}  // namespace pressling::cli
