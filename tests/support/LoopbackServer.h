#pragma once

// Servers on 127.0.0.1 for tests of anything that downloads. Nothing here listens beyond the
// loopback interface or outlives the object that opened it.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstddef>
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

    // The first value of the header called name (compared case-insensitively), or "" when the
    // request had no such header.
    std::string header(const std::string& name) const;
};

// A fixed answer for LoopbackServer::serve.
struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "application/octet-stream";
    httplib::Headers headers{};  // sent in addition to Content-Type and the length
    // Streams the body with Transfer-Encoding: chunked and no Content-Length, so the client
    // cannot know the size before the bytes arrive.
    bool chunked = false;
};

// A body sent a piece at a time, with a pause before each piece: for time-outs, and for limits
// that must act before the whole body has arrived. Each piece is pieceBytes of 'x'.
struct SlowReply {
    std::size_t pieces = 1;
    std::size_t pieceBytes = 1;
    std::chrono::milliseconds pause{100};
    // Sent as Content-Length when set, whether or not the pieces add up to it: a length the
    // body never reaches is how a server cuts a transfer short. Unset, the body is chunked.
    std::optional<std::size_t> declaredLength{};
    std::string contentType = "application/octet-stream";
};

// An HTTP/1.1 server on 127.0.0.1, on a port the system picks. It accepts connections from the
// end of the constructor and is stopped, with its threads joined, by the destructor.
//
// It answers only what the test planned with handle(), serve(), serveSlowly() or redirect(),
// matching the path exactly (query ignored, any method). Any other request fails the running
// test (ADD_FAILURE) and is answered 404: a client that asks for something unexpected is a
// fault, not noise.
// Every request is recorded, planned or not, so a test can check what the client sent.
//
// cpp-httplib compresses on its own (br or gzip, whichever the client accepts) a body whose
// Content-Type is text/*, application/xml or application/json; the client still sees the same
// document, but not the same bytes on the wire. A Reply that carries its own Content-Encoding
// must use another type (application/rss+xml, say), or serve() fails the test.
//
// Handlers run on the server's worker threads, possibly several at once; they must not block
// for ever, or the destructor waits for them. Planning and inspecting are safe from any thread.
class LoopbackServer {
  public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    // Throws std::runtime_error when no port can be bound.
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Answers every request for path with handler, replacing any earlier plan for path.
    void handle(std::string path, Handler handler);
    // Answers every request for path with reply.
    void serve(std::string path, Reply reply);
    // Answers every request for path with reply. The worker sending it stops at the first piece
    // the client no longer takes, so a client that gave up does not hold up the destructor.
    void serveSlowly(std::string path, SlowReply reply);
    // Answers every request for path with status and "Location: location", sent as given (a
    // path on this server, another server's URL or something no client should follow).
    void redirect(std::string path, std::string location, int status = 302);

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by path, which should start with '/'.
    std::string url(std::string_view path) const;

    // Every request received so far, oldest first.
    std::vector<RecordedRequest> requests() const;
    // How many requests for path (query ignored) were received so far.
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

// A TCP listener on 127.0.0.1 that lets clients connect and then never says a word. The kernel
// completes each handshake and queues the connection; nobody ever reads or writes it. For
// time-out tests: a client must give up on its own. The destructor closes the listener, which
// resets the queued connections; there is no thread to wait for.
class SilentServer {
  public:
    // Throws std::system_error when no socket can be bound.
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by path.
    std::string url(std::string_view path) const;

  private:
    int socket_ = -1;
    int port_ = -1;
};

// A port on 127.0.0.1 that nothing listens on, so connecting to it is refused at once. The port
// is bound, read and released; another process could claim it in between, which on a test
// machine does not happen in practice. Throws std::system_error when no socket can be bound.
int closedPort();

// data in gzip format (RFC 1952), for replies sent with "Content-Encoding: gzip".
std::string gzip(std::string_view data);

}  // namespace pressling::test
