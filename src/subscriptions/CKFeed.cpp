#include "subscriptions/CKFeed.h"

#include <fmt/format.h>

#include "platform/GlobalQueue.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"

namespace pressling {

CatalogRecord CKFeed::makeRecord(const RSSData& data) {
    const auto& url = data.url.absoluteString();
    return CatalogRecord{url, data.name, data.description, url};
}

std::optional<RSSData> CKFeed::makeRSSData(const CatalogRecord& record) {
    if (!record.name || !record.about || !record.url) return std::nullopt;
    auto url = Url::parse(*record.url);
    if (!url) return std::nullopt;
    return RSSData{*record.name, *record.about, std::move(*url)};
}

void CKFeed::save(const RSSData& data, SaveCompletion completion) {
    globalAsync([record = makeRecord(data), completion = std::move(completion)]() mutable {
        auto saved = catalogDatabase().save(record);
        if (!completion) {
            if (!saved) {
                log::warning(fmt::format("cannot add {} to the feed catalog: {}", record.recordName,
                                         saved.error().message()));
            }
            return;
        }
        mainQueue().async([completion = std::move(completion), saved = std::move(saved)]() mutable {
            completion(std::move(saved));
        });
    });
}

void CKFeed::search(std::string text, SearchCompletion completion) {
    globalAsync([text = std::move(text), completion = std::move(completion)]() mutable {
        std::expected<std::vector<RSSData>, CatalogError> found;
        auto records = catalogDatabase().search(text);
        if (records) {
            for (const auto& record : *records) {
                if (auto data = makeRSSData(record)) found->push_back(std::move(*data));
            }
        } else {
            found = std::unexpected(std::move(records.error()));
        }
        mainQueue().async([completion = std::move(completion), found = std::move(found)]() mutable {
            completion(std::move(found));
        });
    });
}

}  // namespace pressling
