// Trimming element text, and the folding that search compares.

#include "platform/UnicodeText.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace pressling {
namespace {

TEST(TrimWhiteSpace, RemovesUnicodeWhiteSpaceAtBothEndsOnly) {
    const std::pair<const char*, const char*> rows[] = {
        {" \t\r\n\v\f\u00A0\u3000title\u2009\u2028\u0085\n", "title"},
        {" a \u00A0 b ", "a \u00A0 b"},      // inner space stays
        {"\u00E9t\u00E9", "\u00E9t\u00E9"},  // letters at the ends
        {"\u200Bx", "\u200Bx"},              // U+200B is not White_Space
        {"", ""},
        {" \n\u00A0 ", ""},
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
        {"\u00C9COLE and \u00C9cole", "\u00E9cole and \u00E9cole"},
        // a combining accent after an ASCII letter composes with it
        {"Cafe\u0301 CAF\u00C9", "caf\u00E9 caf\u00E9"},
        {"A\u030A" + far + "E\u0301", "\u00E5" + far + "\u00E9"},
        {"Stra\u00DFe STRASSE", "strasse strasse"},
        // U+1FBC and U+0345 fold to two letters; final and capital sigma fold alike
        {"\u1FBC\u0345 \u03A3\u0391\u03C2", "\u03B1\u03B9\u03B9 \u03C3\u03B1\u03C3"},
        {"\u0130stanbul", "i\u0307stanbul"},
        {"\uFB01le", "file"},    // the ligature fi
        {"x\xC3(", "x\uFFFD("},  // a broken sequence becomes U+FFFD
    };
    for (const auto& [text, folded] : rows) EXPECT_EQ(foldedForSearch(text), folded) << text;
}

}  // namespace
}  // namespace pressling
