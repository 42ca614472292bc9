#include "app/RemoveShownWeb.h"

#include "flows/RemoveFeed.h"
#include "platform/Log.h"
#include "subscriptions/StoredWebs.h"

#include <algorithm>
#include <cassert>

namespace pressling::app {

ShownWebRemoval removeShownWeb(const std::vector<Web>& shown, std::size_t position,
                               KeyValueStore& listStore, ArticleStore& articleStore) {
    assert(position < shown.size());
    const Web& web = shown[position];
    const auto same = [&web](const Web& other) {
        return other.url == web.url && other.title == web.title;
    };
    auto occurrence = std::count_if(shown.begin(), shown.begin() + std::ptrdiff_t(position), same);
    const std::vector<Web> stored = loadWebs(listStore);
    const auto found = std::find_if(stored.begin(), stored.end(), [&](const Web& other) {
        return same(other) && occurrence-- == 0;
    });
    if (found == stored.end()) return ShownWebRemoval::gone;
    auto removed = removeWeb(std::size_t(found - stored.begin()), listStore, articleStore);
    if (!removed) {
        log::warning("\"" + web.title + "\" was not removed: " + removed.error().message);
        return ShownWebRemoval::failed;
    }
    return ShownWebRemoval::removed;
}

}  // namespace pressling::app
