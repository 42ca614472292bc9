#include "subscriptions/StoredWebs.h"

#include "platform/Log.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace pressling {
namespace {

using Transaction = KeyValueStore::Transaction;

// Writes "\/" for every "/". In nlohmann's compact output a '/' can only stand inside a
// string, and none of its escapes contains one, so no JSON syntax is touched.
std::string escapeSlashes(const std::string& json) {
    std::string escaped;
    escaped.reserve(json.size() + json.size() / 8);
    for (char c : json) {
        if (c == '/') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::optional<Web> decodeWeb(const nlohmann::json& element) {
    if (!element.is_object()) return std::nullopt;
    const auto title = element.find("title");
    const auto url = element.find("url");
    if (title == element.end() || !title->is_string()) return std::nullopt;
    if (url == element.end() || !url->is_string()) return std::nullopt;
    Web web{title->get<std::string>(), url->get<std::string>(), std::nullopt};
    if (const auto error = element.find("error"); error != element.end()) {
        if (error->is_boolean()) {
            web.error = error->get<bool>();
        } else if (!error->is_null()) {
            return std::nullopt;
        }
    }
    return web;
}

// The list in stored order, or why there is none to be had.
std::expected<std::vector<Web>, std::string> readStored(KeyValueStore& store) {
    auto bytes = store.dataForKey(kStoredWebsKey);
    if (!bytes) {
        return std::unexpected(
            fmt::format("Cannot read the subscription list: {}", bytes.error().message));
    }
    if (!*bytes) return std::vector<Web>{};
    auto webs = decodeWebs(**bytes);
    if (!webs) {
        return std::unexpected(fmt::format("The subscription list \"{}\" in {} cannot be read",
                                           kStoredWebsKey, store.file().string()));
    }
    return std::move(*webs);
}

std::vector<Web> readList(KeyValueStore& store) {
    auto webs = readStored(store);
    if (!webs) {
        log::warning(
            fmt::format("{}; it counts as empty, and is copied to \"{}\" before "
                        "anything replaces it",
                        webs.error(), kUnreadableStoredWebsKey));
        return {};
    }
    return std::move(*webs);
}

// Copies unreadable bytes to the first backup key that is free, unless one of them already
// holds the same bytes. Returns the key that holds them.
std::expected<std::string, KeyValueStoreError> keepUnreadable(Transaction& transaction,
                                                              const std::string& bytes) {
    for (int number = 1;; ++number) {
        std::string key = number == 1 ? std::string(kUnreadableStoredWebsKey)
                                      : fmt::format("{}.{}", kUnreadableStoredWebsKey, number);
        auto existing = transaction.dataForKey(key);
        if (!existing) return std::unexpected(std::move(existing.error()));
        if (*existing && **existing == bytes) return key;
        if (!*existing) {
            if (auto kept = transaction.setData(bytes, key); !kept) {
                return std::unexpected(std::move(kept.error()));
            }
            return key;
        }
    }
}

// The one path by which the list is written: read, change, back up what cannot be read, write,
// all in one transaction.
std::expected<bool, KeyValueStoreError> writeList(KeyValueStore& store, const WebsChange& change) {
    bool written = false;
    std::optional<std::string> keptUnder;
    std::size_t unreadableSize = 0;
    auto done =
        store.transaction([&](Transaction& transaction) -> std::expected<void, KeyValueStoreError> {
            auto current = transaction.dataForKey(kStoredWebsKey);
            if (!current) return std::unexpected(std::move(current.error()));
            std::vector<Web> stored;
            bool unreadable = false;
            if (*current) {
                if (auto decoded = decodeWebs(**current)) {
                    stored = std::move(*decoded);
                } else {
                    unreadable = true;
                }
            }
            auto next = change(stored);
            if (!next) return {};
            auto bytes = encodeWebs(*next);
            if (!bytes) {
                return std::unexpected(KeyValueStoreError{
                    KeyValueStoreError::Kind::aborted,
                    "Cannot store the subscription list: a title or address is not valid UTF-8"});
            }
            if (unreadable) {
                auto key = keepUnreadable(transaction, **current);
                if (!key) return std::unexpected(std::move(key.error()));
                keptUnder = std::move(*key);
                unreadableSize = (*current)->size();
            }
            if (auto saved = transaction.setData(*bytes, kStoredWebsKey); !saved) return saved;
            written = true;
            return {};
        });
    if (!done) return std::unexpected(std::move(done.error()));
    if (keptUnder) {
        log::warning(fmt::format(
            "The subscription list \"{}\" in {} could not be read; its {} bytes are kept under "
            "\"{}\" and the list was replaced",
            kStoredWebsKey, store.file().string(), unreadableSize, *keptUnder));
    }
    return written;
}

}  // namespace

std::optional<std::string> encodeWebs(const std::vector<Web>& webs) {
    // ordered_json keeps the keys in insertion order: "title", "url", "error".
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Web& web : webs) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        object["title"] = web.title;
        object["url"] = web.url;
        if (web.error) object["error"] = *web.error;
        list.push_back(std::move(object));
    }
    try {
        return escapeSlashes(list.dump());
    } catch (const nlohmann::json::exception&) {
        // dump refuses strings that are not UTF-8 (type_error 316).
        return std::nullopt;
    }
}

std::optional<std::vector<Web>> decodeWebs(std::string_view bytes) {
    const auto json = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr,
                                            /*allow_exceptions=*/false);
    if (json.is_discarded() || !json.is_array()) return std::nullopt;
    std::vector<Web> webs;
    webs.reserve(json.size());
    for (const auto& element : json) {
        auto web = decodeWeb(element);
        if (!web) return std::nullopt;
        webs.push_back(std::move(*web));
    }
    return webs;
}

std::vector<Web> loadWebs() { return loadWebs(KeyValueStore::defaultStore()); }

std::vector<Web> loadWebs(KeyValueStore& store) {
    std::vector<Web> webs = readList(store);
    sortByTitle(webs);
    return webs;
}

std::expected<std::vector<Web>, std::string> readWebs() {
    return readWebs(KeyValueStore::defaultStore());
}

std::expected<std::vector<Web>, std::string> readWebs(KeyValueStore& store) {
    auto webs = readStored(store);
    if (webs) sortByTitle(*webs);
    return webs;
}

std::vector<Web> loadStoredWebs() { return loadStoredWebs(KeyValueStore::defaultStore()); }

std::vector<Web> loadStoredWebs(KeyValueStore& store) { return readList(store); }

void saveWebs(const std::vector<Web>& webs) { saveWebs(webs, KeyValueStore::defaultStore()); }

void saveWebs(const std::vector<Web>& webs, KeyValueStore& store) {
    auto written = writeList(store, [&](const std::vector<Web>&) { return std::optional(webs); });
    if (!written) {
        log::error(fmt::format("The subscription list was not saved: {}", written.error().message));
        return;
    }
    store.synchronize();
}

std::expected<bool, KeyValueStoreError> updateStoredWebs(const WebsChange& change) {
    return updateStoredWebs(change, KeyValueStore::defaultStore());
}

std::expected<bool, KeyValueStoreError> updateStoredWebs(const WebsChange& change,
                                                         KeyValueStore& store) {
    return writeList(store, change);
}

}  // namespace pressling
