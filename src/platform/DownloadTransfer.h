#pragma once

// What download() and DownloadLoop share: one transfer's libcurl handle, set up with every
// limit of DownloadOptions, and the mapping of its outcome to a DownloadError. Internal to the
// download layer; any thread, one transfer per thread at a time.

#include "platform/Download.h"

#include <curl/curl.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pressling::detail {

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

// curl_global_init once per process, before the first handle; false when libcurl cannot start.
bool curlReady();

// Refuses, before any network access, an address curl would not fetch over http or https.
std::optional<DownloadError> refuseUnlessHttp(const std::string& url);

// One transfer: the handle, the body so far and the cap. curl hands receive() decoded bytes, so
// the cap counts the document, not the gzip stream that carried it.
struct Transfer {
    Transfer(std::string address, DownloadOptions limits)
        : url(std::move(address)), options(limits) {}
    Transfer(const Transfer&) = delete;  // curl holds its address
    Transfer& operator=(const Transfer&) = delete;

    std::string url;
    DownloadOptions options;
    EasyHandle easy;
    HeaderList headers;
    std::string body;
    bool overCap = false;
    bool outOfMemory = false;
    // Set when the answer's status is 400 or above: its body (an error page) is not read.
    bool errorStatus = false;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    // Makes the handle and sets every limit. With failOnError, curl itself ends a transfer
    // answered with 400 or above; without it, the transfer ends at the first byte of such a
    // body, having read the headers (Retry-After). Sends each of extraHeaders ("Name: value").
    // An error when libcurl lacks an option a limit needs: such a transfer is not attempted.
    std::optional<DownloadError> prepare(bool failOnError,
                                         const std::vector<std::string>& extraHeaders = {});

    // The failure behind code, or, for CURLE_OK, behind an error status (none when the status
    // is below 400).
    std::optional<DownloadError> failure(CURLcode code) const;

    long status() const;
    // The last answer's header called name, or "" (after redirects, the final answer's).
    std::string header(const char* name) const;
};

// "Pressling/<version>", sent with every request.
std::string_view userAgentText();

}  // namespace pressling::detail
