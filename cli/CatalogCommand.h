#pragma once

#include "subscriptions/CKFeed.h"

#include <functional>
#include <string>
#include <string_view>

namespace pressling::cli {

// How the command searches: CKFeed::search, whose contract (the completion on the main queue,
// exactly once) another search must keep.
using CatalogSearch = std::function<void(std::string text, CKFeed::SearchCompletion completion)>;

// `pressling-cli catalog search TEXT`: the catalog's feeds whose name, description or URL
// contain TEXT (any letter case), sorted by name, at most 50; one per line, name, description
// and URL separated by tabs, each as printable() shows it. Returns the exit status: 0 (also
// for no match), 1 when the catalog cannot be searched.
int runCatalogCommand(std::string text, const CatalogSearch& search = CKFeed::search);

}  // namespace pressling::cli
