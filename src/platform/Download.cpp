#include "platform/Download.h"

#include "platform/DownloadTransfer.h"

namespace pressling {

std::expected<std::string, DownloadError> download(std::string_view url,
                                                   const DownloadOptions& options) {
    detail::Transfer transfer{std::string(url), options};
    if (auto refusal = detail::refuseUnlessHttp(transfer.url)) {
        return std::unexpected(std::move(*refusal));
    }
    if (auto unprepared = transfer.prepare(/*failOnError=*/true)) {
        return std::unexpected(std::move(*unprepared));
    }
    const CURLcode code = curl_easy_perform(transfer.easy.get());
    if (auto failed = transfer.failure(code)) return std::unexpected(std::move(*failed));
    return std::move(transfer.body);
}

std::string_view userAgent() { return detail::userAgentText(); }

}  // namespace pressling
