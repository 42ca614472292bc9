#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pressling {

// One subscribed feed as the stored subscription list keeps it: the title shown in the list,
// the feed's address, and whether its last refresh failed. A plain value; any thread.
//
// The strings are kept exactly as stored (no trimming or normalisation), so a list read and
// written back keeps its bytes; comparisons look through to the characters instead.
struct Web {
    std::string title;
    std::string url;
    // true: the last refresh failed; false: it succeeded; nullopt: never recorded.
    std::optional<bool> error;

    // All three fields equal. title and url compare as text, by canonical equivalence: a title
    // with "e" + U+0301 equals one with U+00E9. An absent error equals only an absent error.
    friend bool operator==(const Web& a, const Web& b);
};

// Order by title alone: the titles' Unicode code points after NFC normalisation, compared one
// by one. Case-sensitive and the same in every locale, so every "Z..." comes before every
// "a...". Titles that differ only by canonical equivalence are equal, as are Webs with the
// same title and different URLs: sort with std::stable_sort (or sortByTitle) so such entries
// keep their stored order. Invalid UTF-8 compares by its bytes.
bool titleLess(const Web& a, const Web& b);

// Stable sort by titleLess. Normalises each title once rather than at every comparison.
void sortByTitle(std::vector<Web>& webs);

}  // namespace pressling
