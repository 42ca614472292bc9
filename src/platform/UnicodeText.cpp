#include "platform/UnicodeText.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace pressling {
namespace {

bool isAsciiSpace(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

}  // namespace

std::string_view trimWhiteSpace(std::string_view text) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = static_cast<int32_t>(text.size());
    int32_t begin = 0;
    while (begin < length) {
        if (isAsciiSpace(char(s[begin]))) {
            ++begin;
            continue;
        }
        if (s[begin] < 0x80) break;
        int32_t next = begin;
        UChar32 c;
        U8_NEXT(s, next, length, c);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        if (isAsciiSpace(char(s[end - 1]))) {
            --end;
            continue;
        }
        if (s[end - 1] < 0x80) break;
        int32_t previous = end;
        UChar32 c;
        U8_PREV(s, begin, previous, c);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        end = previous;
    }
    return text.substr(begin, end - begin);
}

}  // namespace pressling
