// Trimming element text, and the folding that search compares.

#include "platform/UnicodeText.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace pressling {
namespace {

TEST(TrimWhiteSpace, RemovesUnicodeWhiteSpaceAtBothEndsOnly) {
    // Text, then what trimming leaves of it.
    const std::pair<const char*, const char*> rows[] = {
        // ASCII space, U+00A0, U+3000, U+2009, U+2028, U+0085
        {" \t\r\n\v\f\xC2\xA0\xE3\x80\x80title\xE2\x80\x89\xE2\x80\xA8\xC2\x85\n", "title"},
        {" a \xC2\xA0 b ", "a \xC2\xA0 b"},          // inner space stays
        {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},  // letters at the ends
        {"\xE2\x80\x8Bx", "\xE2\x80\x8Bx"},          // U+200B is not White_Space
        {"", ""},
        {" \n\xC2\xA0 ", ""},
        {" \xC2", "\xC2"},  // invalid UTF-8 is kept
        {"\xA0 x", "\xA0 x"},
    };
    for (const auto& [text, trimmed] : rows) EXPECT_EQ(trimWhiteSpace(text), trimmed) << text;
}

// Folding works on stretches of the text (see foldedForSearch); these rows put non-ASCII letters
// and combining marks where the stretches begin and end, next to each other and far apart.
TEST(FoldedForSearch, FoldsCaseUpToCanonicalEquivalence) {
    const std::string far(40, 'x');
    const std::pair<std::string, std::string> rows[] = {
        {"Plain ASCII, MIXED case", "plain ascii, mixed case"},
        {"\xC3\x89"
         "COLE and \xC3\x89"
         "cole",
         "\xC3\xA9"
         "cole and \xC3\xA9"
         "cole"},
        // a combining accent after an ASCII letter composes with it
        {"Cafe\xCC\x81 CAF\xC3\x89", "caf\xC3\xA9 caf\xC3\xA9"},
        {"A\xCC\x8A" + far + "E\xCC\x81", "\xC3\xA5" + far + "\xC3\xA9"},
        {"Stra\xC3\x9F"
         "e STRASSE",
         "strasse strasse"},
        // U+1FBC and U+0345 fold to two letters; final and capital sigma fold alike
        {"\xE1\xBE\xBC\xCD\x85 \xCE\xA3\xCE\x91\xCF\x82",
         "\xCE\xB1\xCE\xB9\xCE\xB9 \xCF\x83\xCE\xB1\xCF\x83"},
        {"\xC4\xB0stanbul", "i\xCC\x87stanbul"},
        {"\xEF\xAC\x81le", "file"},    // the ligature fi
        {"x\xC3(", "x\xEF\xBF\xBD("},  // a broken sequence becomes U+FFFD
    };
    for (const auto& [text, folded] : rows) EXPECT_EQ(foldedForSearch(text), folded) << text;
}

}  // namespace
}  // namespace pressling
