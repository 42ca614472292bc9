#pragma once

#include "platform/Date.h"
#include "platform/Url.h"

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pressling {

// The file name of the reading list, in the data folder (see DataFolder.h).
inline constexpr std::string_view kReadingListFileName = "readinglist.sqlite";

// One page kept to read later.
struct ReadingListItem {
    std::string url;          // an absolute http or https address, as the feed wrote it
    std::string title;        // the article's title
    std::string previewText;  // the feed's name; may be empty
    Date dateAdded;

    friend bool operator==(const ReadingListItem&, const ReadingListItem&) = default;
};

struct ReadingListError {
    enum class Kind {
        unavailable,  // the file cannot be opened or created, or it is not a reading list
                      // (corrupt, foreign, or of a newer version); it is left as it was
        failed,       // a read or write failed (disk full, locked past the busy time-out)
        invalidURL,   // the address is not an http or https page
    };
    Kind kind;
    std::string message;  // for people: names the file, or the address, and why
};

// The reading list: pages the user keeps to read later, one entry per address, shared by
// every Pressling program of the user (the application's Reading List window, pressling-cli
// reading-list). It stands in for the system reading list that Linux lacks.
//
// Stored in a SQLite file (WAL journal, 5 s busy time-out). Every call opens the file, does
// one statement or transaction and closes it again, so programs that use the list at once
// never lose each other's entries, and a file repaired by hand is used from the next call.
// A file that is not a reading list is refused with Kind::unavailable and never replaced,
// repaired or written to; a write that fails leaves every entry the list held.
//
// Any thread: the object holds only the file's path.
class ReadingList {
public:
    // The list in the data folder (kReadingListFileName). Fails, naming the folder, when there
    // is no data folder.
    static std::expected<ReadingList, ReadingListError> defaultReadingList();

    // The list in file; only the file is created, its folder must exist.
    explicit ReadingList(std::filesystem::path file) : file_(std::move(file)) {}

    const std::filesystem::path& file() const { return file_; }

    // Keeps url with title and previewText, added now. An address already on the list stays
    // one entry: it takes the new title and preview text and moves to the top. Fails with
    // invalidURL (nothing is opened) for an address that is not http or https with a host,
    // with unavailable or failed otherwise; then the list is as it was.
    std::expected<void, ReadingListError> addReadingListItem(const Url& url,
                                                             const std::string& title,
                                                             const std::string& previewText);

    // Removes the entry of url (compared as stored, byte for byte). Returns whether there was
    // one. Fails with unavailable or failed, and then nothing was removed.
    std::expected<bool, ReadingListError> removeItem(std::string_view url);

    // Every entry, the most recently added first. A list whose file does not exist yet is
    // empty (and is not created). Fails with unavailable or failed.
    std::expected<std::vector<ReadingListItem>, ReadingListError> items() const;

private:
    std::filesystem::path file_;
};

}  // namespace pressling
