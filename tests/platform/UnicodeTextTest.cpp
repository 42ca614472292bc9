// Trimming element text: every Unicode White_Space character, at both ends only.

#include "platform/UnicodeText.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pressling
