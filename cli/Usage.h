#pragma once

#include <iostream>
#include <string_view>

namespace pressling::cli {

// Reports wrong arguments of one command on stderr and gives its exit status, 2.
inline int usageError(std::string_view problem, std::string_view usage) {
    std::cerr << "pressling-cli: " << problem << "\nusage: pressling-cli " << usage << '\n';
    return 2;
}

}  // namespace pressling::cli
