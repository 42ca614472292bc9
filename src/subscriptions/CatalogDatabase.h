#pragma once

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pressling {

// Why a catalog operation failed. Callers branch on code(); message() is for people and names
// the catalog (file or server) and the reason. A plain value; any thread.
class CatalogError {
public:
    enum class Code {
        // PRESSLING_CATALOG names no catalog this program can use: an unknown scheme, a
        // malformed connection URL, or no data folder for the default file.
        configuration,
        // The catalog cannot be opened or reached: a file that is not a database, a server
        // that does not answer or refuses the login. Trying again later may succeed.
        unavailable,
        // The catalog was reached but the operation failed (a statement error, a lost
        // connection, a full disk). Nothing was changed.
        failed,
        // The record or search text cannot be stored or searched: a record without one of its
        // fields, an empty url, text that is not UTF-8 or holds a NUL character.
        invalidInput,
    };

    static CatalogError configuration(std::string message) {
        return {Code::configuration, std::move(message)};
    }
    static CatalogError unavailable(std::string message) {
        return {Code::unavailable, std::move(message)};
    }
    static CatalogError failed(std::string message) { return {Code::failed, std::move(message)}; }
    static CatalogError invalidInput(std::string message) {
        return {Code::invalidInput, std::move(message)};
    }

    Code code() const { return code_; }
    const std::string& message() const { return message_; }

    bool isConfiguration() const { return code_ == Code::configuration; }
    bool isUnavailable() const { return code_ == Code::unavailable; }
    bool isFailed() const { return code_ == Code::failed; }
    bool isInvalidInput() const { return code_ == Code::invalidInput; }

private:
    CatalogError(Code code, std::string message) : code_(code), message_(std::move(message)) {}
    Code code_;
    std::string message_;
};

// A "Feed" record of the catalog. recordName is its identity: the feed URL's absolute string,
// one record per URL. The fields are what the store holds; a field that a stored record lacks,
// or holds as something other than text, reads as none. Records written by this program always
// have every field and url == recordName; records written by other clients of a shared catalog
// may not, which is why readers check (CKFeed skips such records). A plain value; any thread.
struct CatalogRecord {
    std::string recordName;
    std::optional<std::string> name;
    std::optional<std::string> about;
    std::optional<std::string> url;

    friend bool operator==(const CatalogRecord&, const CatalogRecord&) = default;
};

// The shared list of known feeds that every user reads and adds to, behind one of two stores:
// an embedded SQLite file (SqliteCatalog) or a PostgreSQL server (PostgresCatalog).
//
// Operations block until the store answers: call them off the main thread (CKFeed does).
// Any thread, concurrently: each backend serialises its calls on one connection.
class CatalogDatabase {
public:
    // The most records one search returns.
    static constexpr int kMaxSearchResults = 50;

    // The catalog that setting names, ready for use:
    //   "sqlite:PATH"                           the SQLite file at PATH, created (and seeded
    //                                           with well-known feeds) if missing;
    //   "postgresql://..." or "postgres://..."  a PostgreSQL server, given by a libpq
    //                                           connection URL. Not contacted here: the first
    //                                           operation connects, and an unreachable server
    //                                           fails that operation, not this call.
    // Fails with configuration for anything else (including an empty PATH or a malformed
    // URL), and with unavailable when the SQLite file cannot be opened, created or seeded.
    static std::expected<std::unique_ptr<CatalogDatabase>, CatalogError> open(
        std::string_view setting);

    virtual ~CatalogDatabase();
    CatalogDatabase(const CatalogDatabase&) = delete;
    CatalogDatabase& operator=(const CatalogDatabase&) = delete;

    // Stores record under its url: a new url adds a record; a known url gets the new name and
    // about and keeps its url (no second record). Returns the record as stored.
    // Fails with invalidInput when a field is missing, url is empty or differs from
    // recordName, or some text is not UTF-8 or holds a NUL; with unavailable or failed when the
    // store does not take it, leaving the catalog as it was.
    std::expected<CatalogRecord, CatalogError> save(const CatalogRecord& record);

    // Records whose name, about or url contains text, ignoring case by Unicode rules ("ÉCOLE"
    // finds "école"), sorted by name (code point order) then url, at most
    // min(limit, kMaxSearchResults) of them. text is used exactly as given: not trimmed, and
    // characters such as '%', '_' and '"' match themselves. No match is an empty list, not an
    // error; the empty text matches every record; a limit below 1 gives an empty list.
    // Fails with invalidInput when text is not UTF-8 or holds a NUL; with unavailable or
    // failed when the store cannot answer.
    std::expected<std::vector<CatalogRecord>, CatalogError> search(std::string_view text,
                                                                   int limit = kMaxSearchResults);

protected:
    CatalogDatabase() = default;

private:
    // The backends' halves of save and search, called with arguments already checked: every
    // text valid UTF-8 without NUL, url not empty, 1 <= limit <= kMaxSearchResults.
    virtual std::expected<CatalogRecord, CatalogError> saveFeed(const std::string& url,
                                                                const std::string& name,
                                                                const std::string& about) = 0;
    virtual std::expected<std::vector<CatalogRecord>, CatalogError> searchFeeds(
        std::string_view text, int limit) = 0;
};

// The process's catalog, made on first use and kept until the process ends; every call returns
// the same object, also when the first calls race on many threads. Chosen by the environment
// variable PRESSLING_CATALOG (see CatalogDatabase::open for its forms); unset or empty, the
// file catalog.sqlite in the data folder. A setting that cannot be used (an unknown scheme, a
// file that cannot be opened) still gives a catalog: one whose every operation fails with the
// reason, so callers report it through their usual error path. Set the variable before the
// first call; later changes are not seen.
//
// The first call may block (opening, creating and seeding the file): make it off the main
// thread. Any thread.
CatalogDatabase& catalogDatabase();

}  // namespace pressling
