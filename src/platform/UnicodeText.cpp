#include "platform/UnicodeText.h"

#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>
#include <unicode/stringpiece.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace pressling {
namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

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

std::string normalizedNFC(std::string_view text) {
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

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) return true;
    if (isAscii(a) && isAscii(b)) return false;
    return normalizedNFC(a) == normalizedNFC(b);
}

namespace {

// Without branches, so that the compiler can work on many bytes at once.
void appendAsciiFolded(std::string& folded, std::string_view ascii) {
    const std::size_t start = folded.size();
    folded += ascii;
    for (auto c = folded.begin() + std::ptrdiff_t(start); c != folded.end(); ++c) {
        *c = char(*c + (static_cast<unsigned char>(*c - 'A') < 26 ? 'a' - 'A' : 0));
    }
}

// The position of the first byte from `from` on that is not ASCII, or text.size(); eight bytes
// at a time.
std::size_t firstNonAscii(std::string_view text, std::size_t from) {
    std::size_t at = from;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        if ((word & 0x8080808080808080u) != 0) break;
    }
    while (at < text.size() && static_cast<unsigned char>(text[at]) < 0x80) ++at;
    return at;
}

// NFD, full case folding, NFC, through ICU.
void appendFoldedByIcu(std::string& folded, std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) {
        folded += text;
        return;
    }
    const auto source =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
    icu::UnicodeString decomposed = nfd->normalize(source, status);
    decomposed.foldCase(U_FOLD_CASE_DEFAULT);
    const icu::UnicodeString composed = nfc->normalize(decomposed, status);
    if (U_FAILURE(status)) {
        folded += text;
        return;
    }
    composed.toUTF8String(folded);
}

bool isAsciiByte(char c) { return static_cast<unsigned char>(c) < 0x80; }

}  // namespace

// Most texts are ASCII with a few other letters, and ICU's passes cost far more than a byte
// loop; so only the stretches around non-ASCII characters go through ICU. That gives the same
// bytes as folding the whole text: ASCII folds to ASCII, is left as it is by NFD and NFC, never
// combines with the character before it and never moves in canonical reordering; it combines
// only with a non-ASCII character right after it. So each stretch starts one ASCII character
// before its first non-ASCII one, and ends at an ASCII character; stretches closer together
// than kJoinGap are folded as one, to spare ICU's fixed cost per call.
std::string foldedForSearch(std::string_view text) {
    constexpr std::size_t kJoinGap = 32;
    std::string folded;
    folded.reserve(text.size());
    const auto nonAscii = [&](std::size_t from) { return firstNonAscii(text, from); };
    std::size_t done = 0;
    while (done < text.size()) {
        const std::size_t first = nonAscii(done);
        if (first == text.size()) break;
        const std::size_t begin = first > done ? first - 1 : first;
        std::size_t end = first;
        for (;;) {
            end = std::size_t(std::find_if(text.begin() + end, text.end(), isAsciiByte) -
                              text.begin());
            const std::size_t next = nonAscii(end);
            if (next == text.size() || next - end >= kJoinGap) break;
            end = next;
        }
        appendAsciiFolded(folded, text.substr(done, begin - done));
        appendFoldedByIcu(folded, text.substr(begin, end - begin));
        done = end;
    }
    appendAsciiFolded(folded, text.substr(done));
    return folded;
}

}  // namespace pressling
