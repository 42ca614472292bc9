#include "store/PersistentContainer.h"

#include "platform/DataFolder.h"
#include "platform/Log.h"

#include <fmt/format.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace pressling {
namespace {

// Without its store the application has nothing to show and nowhere to put what it downloads;
// carrying on would only hide the cause. _Exit: other threads may still be running, and
// static destructors must not pull their state away from under them.
[[noreturn]] void stopWithUnresolvedError(const StoreError& error) {
    log::error(fmt::format("Unresolved error {}, {}", error.description(), error.message));
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}

std::unique_ptr<ArticleStore> openPersistentStore() {
    auto folder = dataFolder();
    if (!folder) stopWithUnresolvedError(StoreError{StoreError::Kind::openFailed, folder.error()});
    auto store = ArticleStore::open(*folder / kArticleStoreFileName);
    if (!store) stopWithUnresolvedError(store.error());
    return std::move(*store);
}

}  // namespace

ArticleStore& persistentContainer() {
    // Never destroyed: work queued for the main thread may reach it while the process exits.
    static ArticleStore* const store = openPersistentStore().release();
    return *store;
}

}  // namespace pressling
