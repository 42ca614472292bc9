#pragma once

// Servers on 127.0.0.1 for tests of anything that downloads. Nothing here listens beyond the
// loopback interface or outlives the object that opened it.

#include <httplib.h>

#include <atomic>
#include <chrono>
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
    std::string path;    // without the query
    std::string target;  // path and query, as on the request line
    httplib::Headers headers;
    std::string body;
    // The first value of the header called name (any letter case); "" when there is none.
    std::string header(const std::string& name) const;
};

// A fixed answer for LoopbackServer::serve.
struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "application/octet-stream";
    httplib::Headers headers{};  // sent besides Content-Type and the length
    // Transfer-Encoding: chunked and no Content-Length: the size is unknown until the end.
    bool chunked = false;
};

// A body of pieces of pieceBytes 'x' each, with a pause before each: for time-outs, and for
// limits that must act before the whole body has arrived.
struct SlowReply {
    std::size_t pieces = 1;
    std::size_t pieceBytes = 1;
    std::chrono::milliseconds pause{100};
    // The Content-Length sent, whether or not the pieces add up to it (a length never reached
    // is how a server cuts a transfer short). Unset, the pieces' total.
    std::optional<std::size_t> declaredLength{};
    std::string contentType = "application/octet-stream";
};

// An HTTP/1.1 server on 127.0.0.1, on a port the system picks, accepting connections from the
// end of the constructor until the destructor, which stops it and joins its threads.
//
// It answers only what the test planned, matching the path exactly (query ignored, any
// method); any other request fails the running test (ADD_FAILURE) and gets a 404. Every request
// is recorded, planned or not.
//
// httplib compresses by itself (br or gzip, as the client accepts) a body whose type is text/*,
// application/xml or application/json: the client sees the same document, not the same bytes.
// A Reply with its own Content-Encoding must use another type, or serve() fails the test.
//
// Handlers run on the server's worker threads, possibly at once, and must not block for ever.
// Planning and inspecting are safe from any thread.
class LoopbackServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    // Throws std::runtime_error when no port can be bound.
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Each answers every request for path, replacing an earlier plan for it. serveSlowly's
    // worker stops at the first piece the client no longer takes; redirect sends location as
    // given (a path here, another URL, or something no client should follow).
    void handle(std::string path, Handler handler);
    void serve(std::string path, Reply reply);
    void serveSlowly(std::string path, SlowReply reply);
    void redirect(std::string path, std::string location, int status = 302);

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by path, which should start with '/'.
    std::string url(std::string_view path) const;
    // Every request received so far, oldest first; how many of them were for path.
    std::vector<RecordedRequest> requests() const;
    std::size_t requestCount(std::string_view path) const;

private:
    void dispatch(const httplib::Request& request, httplib::Response& response);

    httplib::Server server_;
    int port_ = -1;
    std::atomic<bool> listenReturned_ = false;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::map<std::string, Handler, std::less<>> handlers_;
    std::vector<RecordedRequest> requests_;
};

// A listener on 127.0.0.1 that lets clients connect and never says a word: the kernel queues
// each connection and nobody reads it, so a client must give up on its own. The destructor
// closes the listener, resetting the queued connections. Throws std::system_error when no
// socket can be bound.
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

// A port on 127.0.0.1 that nothing listens on, so a connection is refused at once (bound, read
// and released: another process could take it in between, which on a test machine does not
// happen in practice). Throws std::system_error when no socket can be bound.
int closedPort();

// data in gzip format (RFC 1952), for replies sent with "Content-Encoding: gzip".
std::string gzip(std::string_view data);

}  // namespace pressling::test
