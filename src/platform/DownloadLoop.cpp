#include "platform/DownloadLoop.h"

#include "platform/DownloadTransfer.h"
#include "platform/Log.h"

#include <fmt/format.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace pressling {
namespace {

struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

// scheme://host:port, as curl counts hosts; the whole text when curl cannot split it (such a
// transfer fails before connecting anyway).
std::string hostKey(const std::string& url) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), &curl_url_cleanup);
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return url;
    }
    std::string key;
    for (CURLUPart part : {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT}) {
        char* text = nullptr;
        if (curl_url_get(parsed.get(), part, &text, CURLU_DEFAULT_PORT) == CURLUE_OK) {
            key += text;
            curl_free(text);
        }
        key += '|';
    }
    return key;
}

struct Pending {
    DownloadRequest request;
    DownloadLoop::Done done;
    std::string host;
};

struct Running : detail::Transfer {
    Running(Pending&& from, const DownloadOptions& options)
        : Transfer(from.request.url, options),
          done(std::move(from.done)),
          host(std::move(from.host)) {}
    DownloadLoop::Done done;
    std::string host;
};

DownloadResult resultOf(Running& running, CURLcode code) {
    if (auto failed = running.failure(code)) return std::unexpected(std::move(*failed));
    return DownloadResponse{running.status(), std::move(running.body), running.header("ETag"),
                            running.header("Last-Modified")};
}

void finish(DownloadLoop::Done& done, DownloadResult result) {
    // An exception must not end the loop: the transfers behind it would never report.
    try {
        done(std::move(result));
    } catch (const std::exception& error) {
        log::error(fmt::format("Download: a completion threw: {}", error.what()));
    } catch (...) {
        log::error("Download: a completion threw something that is not an exception");
    }
}

}  // namespace

struct DownloadLoop::State {
    DownloadOptions options;
    Limits limits;
    MultiHandle multi;

    std::mutex mutex;  // guards pending and stopping; the rest is the loop thread's
    std::deque<Pending> pending;
    bool stopping = false;

    std::map<CURL*, std::unique_ptr<Running>> running;
    std::map<std::string, std::size_t> perHost;
    std::thread thread;

    void wake() {
        if (multi) curl_multi_wakeup(multi.get());
    }

    // Starts waiting transfers while the limits allow, oldest first.
    void admit() {
        std::vector<Pending> starting;
        {
            std::lock_guard lock(mutex);
            for (auto it = pending.begin();
                 it != pending.end() && running.size() + starting.size() < limits.maxTransfers;) {
                std::size_t& hosted = perHost[it->host];
                if (hosted >= limits.maxPerHost) {
                    ++it;
                    continue;
                }
                ++hosted;
                starting.push_back(std::move(*it));
                it = pending.erase(it);
            }
        }
        for (Pending& next : starting) start(std::move(next));
    }

    void start(Pending&& next) {
        const std::string host = next.host;
        std::vector<std::string> conditions;
        if (!next.request.etag.empty()) conditions.push_back("If-None-Match: " + next.request.etag);
        if (!next.request.lastModified.empty()) {
            conditions.push_back("If-Modified-Since: " + next.request.lastModified);
        }
        auto transfer = std::make_unique<Running>(std::move(next), options);
        std::optional<DownloadError> refused = detail::refuseUnlessHttp(transfer->url);
        if (!refused) refused = transfer->prepare(/*failOnError=*/false, conditions);
        if (!refused && curl_multi_add_handle(multi.get(), transfer->easy.get()) != CURLM_OK) {
            refused = DownloadError{
                DownloadError::Kind::transferFailed,
                fmt::format("Cannot download {}: libcurl refused the transfer", transfer->url)};
        }
        if (refused) {
            --perHost[host];
            finish(transfer->done, std::unexpected(std::move(*refused)));
            return;
        }
        CURL* easy = transfer->easy.get();
        running.emplace(easy, std::move(transfer));
    }

    void collect() {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
            if (message->msg != CURLMSG_DONE) continue;
            auto found = running.find(message->easy_handle);
            if (found == running.end()) continue;
            std::unique_ptr<Running> transfer = std::move(found->second);
            running.erase(found);
            curl_multi_remove_handle(multi.get(), transfer->easy.get());
            --perHost[transfer->host];
            finish(transfer->done, resultOf(*transfer, message->data.result));
        }
    }

    bool finished() {
        std::lock_guard lock(mutex);
        return stopping && pending.empty() && running.empty();
    }

    void run() {
        while (!finished()) {
            admit();
            int active = 0;
            curl_multi_perform(multi.get(), &active);
            collect();
            // A transfer that just ended may have freed a slot for a waiting one.
            admit();
            curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr);
        }
    }
};

DownloadLoop::DownloadLoop(DownloadOptions options, Limits limits)
    : state_(std::make_unique<State>()) {
    state_->options = options;
    state_->limits = {std::max<std::size_t>(1, limits.maxTransfers),
                      std::max<std::size_t>(1, limits.maxPerHost)};
    if (detail::curlReady()) state_->multi.reset(curl_multi_init());
    if (CURLM* multi = state_->multi.get()) {
        // curl's own caps as well: a redirect may lead several transfers to one host.
        curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, long(state_->limits.maxPerHost));
        curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, long(state_->limits.maxTransfers));
        curl_multi_setopt(multi, CURLMOPT_PIPELINING, long{CURLPIPE_MULTIPLEX});
    }
    state_->thread = std::thread([state = state_.get()] { state->run(); });
}

DownloadLoop::~DownloadLoop() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake();
    state_->thread.join();
}

void DownloadLoop::add(DownloadRequest request, Done done) {
    if (!state_->multi) {
        finish(done, std::unexpected(DownloadError{
                         DownloadError::Kind::transferFailed,
                         fmt::format("Cannot download {}: libcurl failed to start", request.url)}));
        return;
    }
    std::string host = hostKey(request.url);
    {
        std::lock_guard lock(state_->mutex);
        state_->pending.push_back(Pending{std::move(request), std::move(done), std::move(host)});
    }
    state_->wake();
}

}  // namespace pressling
