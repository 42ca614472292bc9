// bench-generate-feed rss|atom SIZE_BYTES OUT_FILE
//
// Writes the same synthetic documents that parse_bench measures, for end-to-end runs of
// pressling-cli and for comparisons with other parsers.

#include "FeedGenerator.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <string_view>

int main(int argc, char** argv) {
    using pressling::bench::FeedGenerator;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s rss|atom SIZE_BYTES OUT_FILE\n", argv[0]);
        return 2;
    }
    const auto format = pressling::bench::feedFormatNamed(argv[1]);
    if (!format) {
        std::fprintf(stderr, "%s: unknown format \"%s\" (rss or atom)\n", argv[0], argv[1]);
        return 2;
    }
    const std::string_view sizeText = argv[2];
    std::size_t size = 0;
    const auto [end, error] = std::from_chars(sizeText.begin(), sizeText.end(), size);
    if (error != std::errc{} || end != sizeText.end() || size == 0) {
        std::fprintf(stderr, "%s: SIZE_BYTES must be a positive number, not \"%s\"\n", argv[0],
                     argv[2]);
        return 2;
    }

    const auto feed = FeedGenerator{}.generate(*format, size);
    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    out.write(feed.document.data(), std::streamsize(feed.document.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
        return 1;
    }
    std::fprintf(stderr, "%s: %zu bytes, %zu entries\n", argv[3], feed.document.size(),
                 feed.entryCount);
    return 0;
}
