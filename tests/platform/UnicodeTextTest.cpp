// Trimming element text: every Unicode White_Space character, at both ends only.

#include "platform/UnicodeText.h"

#include <gtest/gtest.h>

namespace pressling {
namespace {

TEST(TrimWhiteSpace, RemovesUnicodeWhiteSpaceAtBothEnds) {
    EXPECT_EQ(trimWhiteSpace("  \t\r\n title \n"), "title");
    EXPECT_EQ(trimWhiteSpace("\xC2\xA0title\xE3\x80\x80"), "title");          // U+00A0, U+3000
    EXPECT_EQ(trimWhiteSpace("\xE2\x80\xA8\xC2\x85title\xE2\x80\x89"), "title");  // U+2028 U+0085 U+2009
    EXPECT_EQ(trimWhiteSpace("\v\ftitle"), "title");
}

TEST(TrimWhiteSpace, KeepsInnerSpaceAndOtherCharacters) {
    EXPECT_EQ(trimWhiteSpace(" a \xC2\xA0 b "), "a \xC2\xA0 b");
    EXPECT_EQ(trimWhiteSpace("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
    // U+200B ZERO WIDTH SPACE is not White_Space.
    EXPECT_EQ(trimWhiteSpace("\xE2\x80\x8Bx"), "\xE2\x80\x8Bx");
}

TEST(TrimWhiteSpace, AllSpaceOrEmptyGivesEmpty) {
    EXPECT_EQ(trimWhiteSpace(""), "");
    EXPECT_EQ(trimWhiteSpace(" \n\xC2\xA0 "), "");
}

TEST(TrimWhiteSpace, InvalidUtf8AtTheEdgesIsKept) {
    EXPECT_EQ(trimWhiteSpace(" \xC2"), "\xC2");
    EXPECT_EQ(trimWhiteSpace("\xA0 x"), "\xA0 x");
}

}  // namespace
}  // namespace pressling
