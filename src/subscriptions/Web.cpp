#include "subscriptions/Web.h"

#include "platform/UnicodeText.h"

#include <algorithm>
#include <numeric>

namespace pressling {
namespace {

// UTF-8 preserves code-point order under byte comparison, and std::string compares its bytes
// as unsigned char, so this is code-point order.
bool nfcLess(const std::string& a, const std::string& b) { return a < b; }

}  // namespace

bool operator==(const Web& a, const Web& b) {
    return a.error == b.error && canonicallyEqual(a.title, b.title) &&
           canonicallyEqual(a.url, b.url);
}

bool titleLess(const Web& a, const Web& b) {
    return nfcLess(normalizedNFC(a.title), normalizedNFC(b.title));
}

void sortByTitle(std::vector<Web>& webs) {
    std::vector<std::string> keys;
    keys.reserve(webs.size());
    for (const Web& web : webs) keys.push_back(normalizedNFC(web.title));
    std::vector<std::size_t> order(webs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return nfcLess(keys[a], keys[b]); });
    std::vector<Web> sorted;
    sorted.reserve(webs.size());
    for (std::size_t index : order) sorted.push_back(std::move(webs[index]));
    webs = std::move(sorted);
}

}  // namespace pressling
