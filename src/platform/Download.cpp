#include "platform/Download.h"

#include <curl/curl.h>
#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>

namespace pressling {
namespace {

using Kind = DownloadError::Kind;

constexpr char kUserAgent[] = "Pressling/" PRESSLING_VERSION;
// Both the first request and every redirect are held to these, so a server cannot send a
// download to file:// or to any other scheme this libcurl happens to know.
constexpr char kAllowedSchemes[] = "http,https";

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

// curl_global_init is not thread-safe on every build, and download() runs on many worker
// threads; calling it once here keeps curl_easy_init from doing it implicitly on each of them.
bool curlReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

DownloadError failure(Kind kind, std::string message, long httpStatus = 0) {
    return DownloadError{kind, std::move(message), httpStatus};
}

// Checks the scheme with curl's own URL parser, so the URL we judge is the URL curl fetches.
std::optional<DownloadError> refuseUnlessHttp(const std::string& url) {
    if (url.empty()) return failure(Kind::unsupportedUrl, "Cannot download an empty address");
    UrlHandle handle{curl_url()};
    if (!handle) return failure(Kind::transferFailed, "Out of memory parsing " + url);
    if (CURLUcode code = curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0)) {
        return failure(Kind::unsupportedUrl,
                       fmt::format("Cannot download \"{}\": {}", url, curl_url_strerror(code)));
    }
    char* scheme = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) {
        return failure(Kind::unsupportedUrl, fmt::format("Cannot download \"{}\": no scheme", url));
    }
    // curl lower-cases the scheme it returns, so "HTTP://" passes as it should.
    const bool isHttp = std::strcmp(scheme, "http") == 0 || std::strcmp(scheme, "https") == 0;
    curl_free(scheme);
    if (!isHttp) {
        return failure(
            Kind::unsupportedUrl,
            fmt::format("Cannot download \"{}\": only http and https are supported", url));
    }
    return std::nullopt;
}

// The body so far plus the cap. curl calls receive() with decoded bytes, so the cap counts the
// document, not the gzip stream that carried it.
struct Receiver {
    std::string body;
    std::size_t maxBytes;
    bool overCap = false;
    bool outOfMemory = false;
};

std::size_t receive(char* data, std::size_t size, std::size_t count, void* userData) {
    auto& receiver = *static_cast<Receiver*>(userData);
    const std::size_t length = size * count;  // size is always 1
    if (length > receiver.maxBytes - receiver.body.size()) {
        receiver.overCap = true;
        return CURL_WRITEFUNC_ERROR;
    }
    // No exception may unwind through curl's C frames.
    try {
        receiver.body.append(data, length);
    } catch (const std::exception&) {
        receiver.outOfMemory = true;
        return CURL_WRITEFUNC_ERROR;
    }
    return length;
}

Kind kindOf(CURLcode code) {
    switch (code) {
        case CURLE_UNSUPPORTED_PROTOCOL:  // also a redirect to a scheme outside kAllowedSchemes
        case CURLE_URL_MALFORMAT:
            return Kind::unsupportedUrl;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return Kind::connectionFailed;
        case CURLE_OPERATION_TIMEDOUT:
            return Kind::timedOut;
        case CURLE_FILESIZE_EXCEEDED:
            return Kind::tooLarge;
        case CURLE_TOO_MANY_REDIRECTS:
            return Kind::tooManyRedirects;
        case CURLE_HTTP_RETURNED_ERROR:
            return Kind::httpStatus;
        default:
            return Kind::transferFailed;
    }
}

// Returns false only when this libcurl lacks an option we rely on (the scheme lists need 7.85,
// CURL_WRITEFUNC_ERROR 7.87): a download without one of these limits is not attempted.
bool configure(CURL* easy, const std::string& url, const DownloadOptions& options,
               Receiver& receiver, char* errorBuffer) {
    // A zero or negative value would switch the corresponding curl limit off entirely, and a
    // limit that vanishes is the one thing these options must never do.
    const long connectMs = std::max<long>(1, options.connectTimeout.count());
    const long totalMs = std::max<long>(1, options.totalTimeout.count());
    const long lowSpeedBytes = std::max<long>(1, options.lowSpeedBytesPerSecond);
    const long lowSpeedSeconds = std::max<long>(1, (options.lowSpeedTime.count() + 999) / 1000);
    const long maxRedirects = std::max<long>(0, options.maxRedirects);
    const auto maxFileSize = static_cast<curl_off_t>(std::min<std::size_t>(
        options.maxBytes, static_cast<std::size_t>(std::numeric_limits<curl_off_t>::max())));

    CURLcode result = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        if (result == CURLE_OK) result = curl_easy_setopt(easy, option, value);
    };
    set(CURLOPT_ERRORBUFFER, errorBuffer);
    set(CURLOPT_URL, url.c_str());
    set(CURLOPT_PROTOCOLS_STR, kAllowedSchemes);
    set(CURLOPT_REDIR_PROTOCOLS_STR, kAllowedSchemes);
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, maxRedirects);
    set(CURLOPT_USERAGENT, kUserAgent);
    set(CURLOPT_ACCEPT_ENCODING, "");  // every content coding this libcurl can undo
    set(CURLOPT_NOSIGNAL, 1L);         // no SIGALRM for time-outs: other threads are running
    set(CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    set(CURLOPT_TIMEOUT_MS, totalMs);
    set(CURLOPT_LOW_SPEED_LIMIT, lowSpeedBytes);
    set(CURLOPT_LOW_SPEED_TIME, lowSpeedSeconds);
    // An error page is not read at all: the status is all the caller gets.
    set(CURLOPT_FAILONERROR, 1L);
    // A declared Content-Length over the cap is refused before the body starts; receive()
    // enforces the cap on bodies sent without one. To curl a maximum of 0 means "none".
    if (maxFileSize > 0) set(CURLOPT_MAXFILESIZE_LARGE, maxFileSize);
    set(CURLOPT_WRITEFUNCTION, &receive);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&receiver));
    return result == CURLE_OK;
}

// The URL curl was last asked for: the requested one, or where redirects led.
std::string lastUrl(CURL* easy, const std::string& requested) {
    char* effective = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) != CURLE_OK || !effective) {
        return requested;
    }
    return effective;
}

// Names where a failure happened; after redirects, also where the download began.
std::string whereFrom(CURL* easy, const std::string& requested) {
    const std::string last = lastUrl(easy, requested);
    return last == requested ? requested : fmt::format("{} (redirected from {})", last, requested);
}

DownloadError describe(CURL* easy, CURLcode code, const std::string& url,
                       const DownloadOptions& options, const Receiver& receiver,
                       const char* errorBuffer) {
    if (receiver.overCap || code == CURLE_FILESIZE_EXCEEDED) {
        return failure(Kind::tooLarge, fmt::format("{} is larger than the limit of {} bytes",
                                                   whereFrom(easy, url), options.maxBytes));
    }
    if (receiver.outOfMemory) {
        return failure(Kind::transferFailed,
                       fmt::format("Out of memory downloading {}", whereFrom(easy, url)));
    }
    const Kind kind = kindOf(code);
    switch (kind) {
        case Kind::httpStatus: {
            long status = 0;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
            return failure(kind, fmt::format("HTTP {} from {}", status, whereFrom(easy, url)),
                           status);
        }
        case Kind::tooManyRedirects:
            return failure(kind, fmt::format("More than {} redirects from {}",
                                             std::max<long>(0, options.maxRedirects), url));
        case Kind::unsupportedUrl:
            // The URL itself passed refuseUnlessHttp(), so a redirect led here; curl has already
            // recorded the refused target as the effective URL.
            if (const std::string last = lastUrl(easy, url); last != url) {
                return failure(kind, fmt::format("{} redirected to {}, which is not http or https",
                                                 url, last));
            }
            break;
        default:
            break;
    }
    const char* reason = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(code);
    return failure(kind, fmt::format("Could not download {}: {}", whereFrom(easy, url), reason));
}

}  // namespace

std::expected<std::string, DownloadError> download(std::string_view url,
                                                   const DownloadOptions& options) {
    const std::string text{url};
    if (auto refusal = refuseUnlessHttp(text)) return std::unexpected(std::move(*refusal));

    if (!curlReady()) {
        return std::unexpected(
            failure(Kind::transferFailed,
                    fmt::format("Cannot download {}: libcurl failed to start", text)));
    }
    EasyHandle easy{curl_easy_init()};
    if (!easy) {
        return std::unexpected(failure(Kind::transferFailed,
                                       fmt::format("Cannot download {}: no libcurl handle", text)));
    }
    char errorBuffer[CURL_ERROR_SIZE] = {};
    Receiver receiver{.body = {}, .maxBytes = options.maxBytes};
    if (!configure(easy.get(), text, options, receiver, errorBuffer)) {
        return std::unexpected(
            failure(Kind::transferFailed,
                    fmt::format("Cannot download {}: this libcurl lacks a required option", text)));
    }

    const CURLcode code = curl_easy_perform(easy.get());
    if (code != CURLE_OK) {
        return std::unexpected(describe(easy.get(), code, text, options, receiver, errorBuffer));
    }
    return std::move(receiver.body);
}

std::string_view userAgent() { return kUserAgent; }

}  // namespace pressling
