#pragma once

#include "store/ArticleStore.h"

#include <string_view>

namespace pressling {

// The file name of the process's article store, in the data folder (see DataFolder.h).
inline constexpr std::string_view kArticleStoreFileName = "CDModel.sqlite";

// The process's article store: kArticleStoreFileName in the data folder, opened (and created
// if missing) on the first call, then the same store for the rest of the process. Main thread
// only, like the store.
//
// A store that cannot be opened (no data folder, a corrupt or foreign file, a file written by a
// newer version) stops the process: "Unresolved error " followed by the error's description,
// ", " and its details, which name the file, go to stderr, and the process exits with
// EXIT_FAILURE without running destructors or dumping core. The file is left as it was.
//
// Code that must use another store (tests, a tool on a given file) opens it with
// ArticleStore::open and passes it to the operations' ArticleStore& overloads.
ArticleStore& persistentContainer();

}  // namespace pressling
