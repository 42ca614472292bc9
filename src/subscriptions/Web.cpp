#include "subscriptions/Web.h"

#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>
#include <unicode/stringpiece.h>

#include <algorithm>
#include <numeric>

namespace pressling {
namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// UTF-8 text in NFC. ASCII text is its own NFC, which is nearly every title and URL, so it skips
// ICU. Should ICU fail, the bytes stand for themselves: the order stays a total order.
std::string nfc(std::string_view text) {
    if (isAscii(text)) return std::string(text);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(text);
    std::string result;
    icu::StringByteSink<std::string> sink(&result, int32_t(text.size()));
    normalizer->normalizeUTF8(0, icu::StringPiece(text.data(), int32_t(text.size())), sink, nullptr,
                              status);
    if (U_FAILURE(status)) return std::string(text);
    return result;
}

bool canonicallyEqual(const std::string& a, const std::string& b) {
    if (a == b) return true;
    if (isAscii(a) && isAscii(b)) return false;
    return nfc(a) == nfc(b);
}

// UTF-8 preserves code-point order under byte comparison, and std::string compares its bytes
// as unsigned char, so this is code-point order.
bool nfcLess(const std::string& a, const std::string& b) {
    return a < b;
}

}  // namespace

bool operator==(const Web& a, const Web& b) {
    return a.error == b.error && canonicallyEqual(a.title, b.title) &&
           canonicallyEqual(a.url, b.url);
}

bool titleLess(const Web& a, const Web& b) {
    return nfcLess(nfc(a.title), nfc(b.title));
}

void sortByTitle(std::vector<Web>& webs) {
    std::vector<std::string> keys;
    keys.reserve(webs.size());
    for (const Web& web : webs) keys.push_back(nfc(web.title));
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
