#include "platform/DownloadTransfer.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>

namespace pressling::detail {
namespace {

using Kind = DownloadError::Kind;

constexpr char kUserAgent[] = "Pressling/" PRESSLING_VERSION;
// Both the first request and every redirect are held to these, so a server cannot send a
// download to file:// or to any other scheme this libcurl happens to know.
constexpr char kAllowedSchemes[] = "http,https";

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

DownloadError error(Kind kind, std::string message, long httpStatus = 0) {
    return DownloadError{kind, std::move(message), httpStatus};
}

std::size_t receive(char* data, std::size_t size, std::size_t count, void* userData) {
    auto& transfer = *static_cast<Transfer*>(userData);
    const std::size_t length = size * count;  // size is always 1
    if (transfer.status() >= 400) {
        transfer.errorStatus = true;
        return CURL_WRITEFUNC_ERROR;
    }
    if (length > transfer.options.maxBytes - transfer.body.size()) {
        transfer.overCap = true;
        return CURL_WRITEFUNC_ERROR;
    }
    // No exception may unwind through curl's C frames.
    try {
        if (transfer.body.empty()) {
            // Room for the declared length (of the encoded body: a lower bound when gzipped),
            // made once instead of the string doubling and copying as it grows; at most
            // kReservedBytes, whatever a server declares.
            constexpr curl_off_t kReservedBytes = 8 << 20;
            curl_off_t declared = -1;
            curl_easy_getinfo(transfer.easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
            if (declared > 0)
                transfer.body.reserve(std::size_t(std::min(declared, kReservedBytes)));
        }
        transfer.body.append(data, length);
    } catch (const std::exception&) {
        transfer.outOfMemory = true;
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

}  // namespace

bool curlReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

// Checks the scheme with curl's own URL parser, so the URL we judge is the URL curl fetches.
std::optional<DownloadError> refuseUnlessHttp(const std::string& url) {
    if (url.empty()) return error(Kind::unsupportedUrl, "Cannot download an empty address");
    UrlHandle handle{curl_url()};
    if (!handle) return error(Kind::transferFailed, "Out of memory parsing " + url);
    if (CURLUcode code = curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0)) {
        return error(Kind::unsupportedUrl,
                     fmt::format("Cannot download \"{}\": {}", url, curl_url_strerror(code)));
    }
    char* scheme = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) {
        return error(Kind::unsupportedUrl, fmt::format("Cannot download \"{}\": no scheme", url));
    }
    // curl lower-cases the scheme it returns, so "HTTP://" passes as it should.
    const bool isHttp = std::strcmp(scheme, "http") == 0 || std::strcmp(scheme, "https") == 0;
    curl_free(scheme);
    if (!isHttp) {
        return error(Kind::unsupportedUrl,
                     fmt::format("Cannot download \"{}\": only http and https are supported", url));
    }
    return std::nullopt;
}

std::optional<DownloadError> Transfer::prepare(bool failOnError,
                                               const std::vector<std::string>& extraHeaders) {
    if (!curlReady()) {
        return error(Kind::transferFailed,
                     fmt::format("Cannot download {}: libcurl failed to start", url));
    }
    easy.reset(curl_easy_init());
    if (!easy) {
        return error(Kind::transferFailed,
                     fmt::format("Cannot download {}: no libcurl handle", url));
    }
    // A zero or negative value would switch the corresponding curl limit off entirely, and a
    // limit that vanishes is the one thing these options must never do.
    const long connectMs = std::max<long>(1, options.connectTimeout.count());
    const long totalMs = std::max<long>(1, options.totalTimeout.count());
    const long lowSpeedBytes = std::max<long>(1, options.lowSpeedBytesPerSecond);
    const long lowSpeedSeconds = std::max<long>(1, (options.lowSpeedTime.count() + 999) / 1000);
    const long maxRedirects = std::max<long>(0, options.maxRedirects);
    const auto maxFileSize = static_cast<curl_off_t>(std::min<std::size_t>(
        options.maxBytes, static_cast<std::size_t>(std::numeric_limits<curl_off_t>::max())));

    for (const std::string& line : extraHeaders) {
        curl_slist* appended = curl_slist_append(headers.get(), line.c_str());
        if (!appended) return error(Kind::transferFailed, "Out of memory preparing " + url);
        (void)headers.release();
        headers.reset(appended);
    }

    CURL* handle = easy.get();
    CURLcode result = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        if (result == CURLE_OK) result = curl_easy_setopt(handle, option, value);
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
    // HTTP/2 where the server offers it over TLS; several transfers to one host then share a
    // connection instead of opening one each, once the first has learnt that they can. Plain
    // http is HTTP/1.1, and there waiting would hold every later transfer behind the first.
    set(CURLOPT_HTTP_VERSION, long{CURL_HTTP_VERSION_2TLS});
    if (url.size() > 5 && (url[4] == 's' || url[4] == 'S')) set(CURLOPT_PIPEWAIT, 1L);
    // An error page is not read at all: the status is all the caller gets.
    if (failOnError) set(CURLOPT_FAILONERROR, 1L);
    // A declared Content-Length over the cap is refused before the body starts; receive()
    // enforces the cap on bodies sent without one. To curl a maximum of 0 means "none".
    if (maxFileSize > 0) set(CURLOPT_MAXFILESIZE_LARGE, maxFileSize);
    if (headers) set(CURLOPT_HTTPHEADER, headers.get());
    set(CURLOPT_WRITEFUNCTION, &receive);
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
    set(CURLOPT_PRIVATE, static_cast<void*>(this));
    if (result != CURLE_OK) {
        return error(Kind::transferFailed,
                     fmt::format("Cannot download {}: this libcurl lacks a required option", url));
    }
    return std::nullopt;
}

long Transfer::status() const {
    long code = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &code);
    return code;
}

std::string Transfer::header(const char* name) const {
    curl_header* found = nullptr;
    if (curl_easy_header(easy.get(), name, 0, CURLH_HEADER, -1, &found) != CURLHE_OK || !found) {
        return {};
    }
    return found->value;
}

std::optional<DownloadError> Transfer::failure(CURLcode code) const {
    CURL* handle = easy.get();
    if (overCap || code == CURLE_FILESIZE_EXCEEDED) {
        return error(Kind::tooLarge, fmt::format("{} is larger than the limit of {} bytes",
                                                 whereFrom(handle, url), options.maxBytes));
    }
    if (outOfMemory) {
        return error(Kind::transferFailed,
                     fmt::format("Out of memory downloading {}", whereFrom(handle, url)));
    }
    const Kind kind =
        errorStatus || (code == CURLE_OK && status() >= 400) ? Kind::httpStatus : kindOf(code);
    if (code == CURLE_OK && kind != Kind::httpStatus) return std::nullopt;
    switch (kind) {
        case Kind::httpStatus: {
            const long answered = status();
            DownloadError failed = error(
                kind, fmt::format("HTTP {} from {}", answered, whereFrom(handle, url)), answered);
            curl_off_t retryAfter = 0;
            if ((answered == 429 || answered == 503) &&
                curl_easy_getinfo(handle, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK &&
                retryAfter > 0) {
                failed.retryAfter = std::chrono::seconds(retryAfter);
            }
            return failed;
        }
        case Kind::tooManyRedirects:
            return error(kind, fmt::format("More than {} redirects from {}",
                                           std::max<long>(0, options.maxRedirects), url));
        case Kind::unsupportedUrl:
            // The URL itself passed refuseUnlessHttp(), so a redirect led here; curl has already
            // recorded the refused target as the effective URL.
            if (const std::string last = lastUrl(handle, url); last != url) {
                return error(kind, fmt::format("{} redirected to {}, which is not http or https",
                                               url, last));
            }
            break;
        default:
            break;
    }
    const char* reason = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(code);
    return error(kind, fmt::format("Could not download {}: {}", whereFrom(handle, url), reason));
}

std::string_view userAgentText() { return kUserAgent; }

}  // namespace pressling::detail
