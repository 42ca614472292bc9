#pragma once

#include <string>
#include <string_view>

namespace pressling {

// Why an operation on the article store failed. message is for people and names the store's
// file and what failed ("/home/ana/.local/share/pressling/CDModel.sqlite: cannot step
// "INSERT INTO BlogPost ...": disk I/O error"). Callers branch on kind, never on the text.
struct StoreError {
    enum class Kind {
        openFailed,    // the file cannot be opened or created, is not a SQLite database, is a
                       // SQLite database of something else, or was written by a newer version
        fetchFailed,   // a read failed, or a fetched-results index path lies outside the results
        saveFailed,    // the save's transaction failed and was rolled back
        deleteFailed,  // a batch delete failed; nothing was deleted
    };
    Kind kind;
    std::string message;

    // What kind of operation failed, in a few words and without the file ("the article store
    // cannot be opened"): the first half of a report whose details are message.
    std::string_view description() const {
        switch (kind) {
            case Kind::openFailed:
                return "the article store cannot be opened";
            case Kind::fetchFailed:
                return "the article store cannot be read";
            case Kind::saveFailed:
                return "the article store cannot save its changes";
            case Kind::deleteFailed:
                return "the article store cannot delete articles";
        }
        return "the article store failed";
    }
};

}  // namespace pressling
