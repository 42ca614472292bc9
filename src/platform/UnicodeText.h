#pragma once

#include <string>
#include <string_view>

namespace pressling {

// text without the Unicode White_Space characters (space, tab, line breaks, U+00A0 no-break
// space, U+2028, U+3000, ...) at both ends. text must be UTF-8; the result views into it.
std::string_view trimWhiteSpace(std::string_view text);

// text in Unicode normalisation form C. Texts that are canonically equivalent ("é" written
// precomposed or as "e" and a combining accent) have equal NFC forms, byte for byte; compared
// as bytes, NFC forms compare by code point. ASCII text is returned as it is without asking
// ICU; text that is not UTF-8 too (its bytes stand for themselves).
std::string normalizedNFC(std::string_view text);

// Whether a and b are the same text up to canonical equivalence; case counts.
bool canonicallyEqual(std::string_view a, std::string_view b);

// The form that case-insensitive search compares: full Unicode case folding between NFD and
// NFC, so that texts equal up to case and canonical equivalence fold to the same bytes, and a
// substring of the folded text is a substring of the text up to case ("ÉCOLE" and "école").
std::string foldedForSearch(std::string_view text);

}  // namespace pressling
