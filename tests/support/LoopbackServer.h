#pragma once

// Servers on 127.0.0.1 for tests of anything that downloads; none outlives its object.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace pressling::test {

// One request as a LoopbackServer received it.
struct RecordedRequest {
    std::string method;
    std::string path;  // without the query
    httplib::Headers headers;
    // The first value of the header called name (any letter case); "" when there is none.
    std::string header(const std::string& name) const {
        return httplib::detail::get_header_value(headers, name, 0, "");
    }
};

// A fixed answer; chunked sends no Content-Length, the size unknown until the end.
struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "application/octet-stream";
    httplib::Headers headers{};  // besides Content-Type and the length
    bool chunked = false;
};

// pieces of pieceBytes 'x' each, a pause before each. A declaredLength never reached cuts the
// transfer short; unset, it is the pieces' total.
struct SlowReply {
    std::size_t pieces = 1;
    std::size_t pieceBytes = 1;
    std::chrono::milliseconds pause{100};
    std::optional<std::size_t> declaredLength{};
};

// HTTP/1.1 on 127.0.0.1, a port the system picks, from the constructor to the destructor. It
// answers only planned paths (query ignored, any method); anything else fails the running test
// with a 404. Every request is recorded. httplib compresses text/*, application/xml and
// application/json bodies itself, so a Reply with its own Content-Encoding must use another
// type. Handlers run on worker threads, possibly at once, and must not block for ever.
class LoopbackServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    LoopbackServer();  // throws std::runtime_error when no port can be bound
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Each replaces an earlier plan for path; redirect sends location as given.
    void handle(std::string path, Handler handler);
    void serve(std::string path, Reply reply);
    void serveSlowly(std::string path, SlowReply reply);
    void redirect(std::string path, std::string location, int status = 302);

    int port() const { return port_; }
    std::string url(std::string_view path) const;   // "http://127.0.0.1:<port>" + path
    std::vector<RecordedRequest> requests() const;  // oldest first
    std::size_t requestCount(std::string_view path) const;
    // Whether count requests in all have arrived, waiting up to patience for them.
    bool awaitRequests(std::size_t count, std::chrono::milliseconds patience) const;

private:
    void dispatch(const httplib::Request& request, httplib::Response& response);

    httplib::Server server_;
    int port_ = -1;
    std::atomic<bool> listenReturned_ = false;
    std::thread thread_;
    mutable std::mutex mutex_;
    mutable std::condition_variable requested_;
    std::map<std::string, Handler, std::less<>> handlers_;
    std::vector<RecordedRequest> requests_;
};

// A listener on 127.0.0.1 that accepts nothing and says nothing: clients must give up on their
// own. Throws std::system_error when no socket can be bound.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int port() const { return port_; }
    std::string url(std::string_view path) const;

private:
    int socket_ = -1;
    int port_ = -1;
};

// A port on 127.0.0.1 that nothing listens on (bound and released), so connections are refused.
int closedPort();

// An HTTP date (IMF-fixdate) seconds from now.
std::string httpDateIn(std::chrono::seconds seconds);

}  // namespace pressling::test
