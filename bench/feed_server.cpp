// bench-feed-server: many generated feeds on loopback, for end-to-end refresh timings.
//
// Serves --feeds documents of --items entries each (RSS 2.0, every third one Atom) spread over
// --ports listening ports on 127.0.0.1, writes an OPML file and a plain list of their
// addresses, prints a line starting with "ready" and runs until killed.
//
// With --failing PERCENT, that share of the feeds fails once failures are switched on (GET
// /control/failing on any port; /control/healthy switches them off again; --fail-now starts
// with them on; /control/stats tells how many answers of each kind went out since it was last
// asked). The failing feeds take turns at four faults: 404, a refused connection (they
// live on a port of their own, which then stops listening but stays bound so nobody else takes
// it), a document cut off halfway, and a stall — half of the stalls read the request and never
// answer, the other half send the headers and then trickle the body at --trickle-rate bytes a
// second, so only the client's own time limits end them. Failures start switched off by default
// because subscribing checks each feed: a feed that failed then would never be subscribed.
//
// Everything runs on one epoll thread with non-blocking sockets, so no number of stalled
// connections ties up the server, and the listen backlog is SOMAXCONN on every port, so
// hundreds of simultaneous connections never meet a full queue (and a client's SYN retry a
// second later). Documents are generated once at start-up and served from memory. Healthy feeds
// carry an ETag and a Last-Modified date and answer conditional requests with 304, as nearly
// every web server does for static files (--no-validators turns that off). With --gzip they go
// out compressed (compressed once, at start-up) to clients that accept it.

#include "FeedGenerator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

using pressling::bench::FeedFormat;
using pressling::bench::FeedGenerator;
using pressling::bench::FeedSite;
using Clock = std::chrono::steady_clock;

// How long a stalled connection is held at most if the client never gives up.
constexpr std::chrono::minutes kMaxHold{10};

enum class Fault { none, notFound, refused, malformed, silent, trickle };

std::string_view faultName(Fault fault) {
    switch (fault) {
        case Fault::none:
            return "none";
        case Fault::notFound:
            return "404";
        case Fault::refused:
            return "refused";
        case Fault::malformed:
            return "malformed";
        case Fault::silent:
            return "silent stall";
        case Fault::trickle:
            return "trickle stall";
    }
    return "?";
}

struct Options {
    std::size_t feeds = 500;
    std::size_t items = 50;
    std::size_t ports = 16;
    unsigned failingPercent = 0;
    bool failNow = false;
    bool gzip = false;
    bool validators = true;
    std::size_t trickleRate = 16;  // bytes a second: under the 64 B/s clients treat as stalled
    bool log = false;
    std::string opmlFile;
    std::string urlsFile;
};

struct Feed {
    std::string path;  // "/feeds/0042.xml"
    std::string url;
    std::string title;
    Fault fault = Fault::none;
    std::string contentType;
    std::string body;
    std::string gzipBody;  // empty unless --gzip
    std::string etag;
    std::string lastModified;
    std::time_t lastModifiedTime = 0;
};

[[noreturn]] void die(const std::string& message) {
    std::fprintf(stderr, "bench-feed-server: %s\n", message.c_str());
    std::exit(1);
}

[[noreturn]] void dieErrno(const std::string& what) { die(what + ": " + std::strerror(errno)); }

std::string httpDate(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc));
}

std::optional<std::time_t> parseHttpDate(const std::string& text) {
    std::tm utc{};
    const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &utc);
    if (end == nullptr) return std::nullopt;
    return timegm(&utc);
}

std::string gzipped(const std::string& data) {
    z_stream stream{};
    // 15 + 16: a gzip wrapper rather than zlib's own.
    if (deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        die("zlib cannot start");
    }
    std::string out(deflateBound(&stream, uLong(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) die("zlib cannot compress a document");
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::uint64_t fnv1a(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ULL;
    return hash;
}

// Feed names that read like blogs, each with its number so no two are alike: subscribing
// matches feeds by title, and two feeds of one title would count as one subscription.
std::string feedTitle(std::size_t index) {
    static constexpr std::array<std::string_view, 12> kFirst{
        "Quiet",   "Harbour", "Bright",  "Café",    "Northern", "Patient",
        "Curious", "Small",   "Weekend", "Morning", "Zürich",   "Garden"};
    static constexpr std::array<std::string_view, 12> kSecond{
        "Notes", "Journal", "Kitchen",   "Letters",  "Dispatch", "Review",
        "Log",   "Almanac", "Chronicle", "Notebook", "Digest",   "Weekly"};
    return std::string(kFirst[index % kFirst.size()]) + ' ' +
           std::string(kSecond[(index / kFirst.size()) % kSecond.size()]) + ' ' +
           std::to_string(index + 1);
}

// Failing feeds are spread evenly over the list and take the faults in turn.
std::vector<Fault> assignFaults(const Options& options) {
    std::vector<Fault> faults(options.feeds, Fault::none);
    const std::size_t failing = (options.feeds * options.failingPercent + 50) / 100;
    std::size_t stalls = 0;
    for (std::size_t k = 0; k < failing; ++k) {
        const std::size_t index = (2 * k + 1) * options.feeds / (2 * failing);
        switch (k % 4) {
            case 0:
                faults[index] = Fault::notFound;
                break;
            case 1:
                faults[index] = Fault::refused;
                break;
            case 2:
                faults[index] = Fault::malformed;
                break;
            default:
                faults[index] = stalls++ % 2 == 0 ? Fault::silent : Fault::trickle;
        }
    }
    return faults;
}

void setNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) dieErrno("fcntl");
}

// A TCP socket bound to 127.0.0.1:port (0: any free port). SO_REUSEPORT lets the refusing port
// keep a bound socket while its listener is being replaced, so the port is never free.
int boundSocket(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) dieErrno("socket");
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        dieErrno("bind 127.0.0.1:" + std::to_string(port));
    }
    return fd;
}

std::uint16_t portOf(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) < 0) {
        dieErrno("getsockname");
    }
    return ntohs(address.sin_port);
}

struct Connection {
    enum class State { reading, writing, silent, trickling };
    int fd = -1;
    State state = State::reading;
    std::string input;
    std::string head;       // status line and headers, or a whole small reply
    std::string_view body;  // points into a Feed, which outlives every connection
    std::size_t sent = 0;   // of head + body
    bool closeAfter = false;
    Clock::time_point heldSince{};
    Clock::time_point nextTrickle{};
};

class Server {
public:
    Server(Options options, std::vector<Feed> feeds, std::vector<int> listeners, int refusingFd,
           std::uint16_t refusingPort)
        : options_(std::move(options)),
          feeds_(std::move(feeds)),
          listeners_(std::move(listeners)),
          refusingFd_(refusingFd),
          refusingPort_(refusingPort) {
        for (std::size_t i = 0; i < feeds_.size(); ++i) byPath_.emplace(feeds_[i].path, i);
        epoll_ = epoll_create1(EPOLL_CLOEXEC);
        if (epoll_ < 0) dieErrno("epoll_create1");
        for (int fd : listeners_) addListener(fd);
        if (refusingFd_ >= 0) {
            listenOn(refusingFd_);
            addListener(refusingFd_);
        }
        if (options_.failNow) setFailing(true);
    }

    [[noreturn]] void run() {
        std::array<epoll_event, 256> events;
        for (;;) {
            const int timeout = trickling_.empty() ? 1000 : 100;
            const int count = epoll_wait(epoll_, events.data(), int(events.size()), timeout);
            if (count < 0 && errno != EINTR) dieErrno("epoll_wait");
            for (int i = 0; i < count; ++i) {
                const int fd = events[i].data.fd;
                if (isListener(fd)) {
                    acceptAll(fd);
                    continue;
                }
                auto found = connections_.find(fd);
                if (found == connections_.end()) continue;
                Connection& connection = *found->second;
                if (events[i].events & (EPOLLERR | EPOLLHUP)) {
                    close(connection);
                    continue;
                }
                if (events[i].events & (EPOLLIN | EPOLLRDHUP)) {
                    if (!readFrom(connection)) continue;  // closed
                }
                if (events[i].events & EPOLLOUT && connection.state == Connection::State::writing) {
                    writeTo(connection);
                }
            }
            tick();
        }
    }

private:
    bool isListener(int fd) const {
        return fd == refusingFd_ ||
               std::find(listeners_.begin(), listeners_.end(), fd) != listeners_.end();
    }

    static void listenOn(int fd) {
        if (listen(fd, SOMAXCONN) < 0) dieErrno("listen");
        setNonBlocking(fd);
    }

    void addListener(int fd) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) < 0) dieErrno("epoll_ctl");
    }

    void watch(Connection& connection, std::uint32_t events, bool add = false) {
        epoll_event event{};
        event.events = events;
        event.data.fd = connection.fd;
        if (epoll_ctl(epoll_, add ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, connection.fd, &event) < 0) {
            dieErrno("epoll_ctl");
        }
    }

    // The refusing port: listening while healthy; while failing, a bound socket that does not
    // listen, so connections to it are refused.
    void setFailing(bool failing) {
        if (failing == failing_) return;
        failing_ = failing;
        if (refusingFd_ < 0) return;
        if (failing) {
            const int held = boundSocket(refusingPort_);
            ::close(refusingFd_);  // also drops it from the epoll set
            refusingFd_ = held;
        } else {
            listenOn(refusingFd_);
            addListener(refusingFd_);
        }
    }

    void acceptAll(int listener) {
        for (;;) {
            const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
                if (errno == ECONNABORTED) continue;
                if (errno == EMFILE || errno == ENFILE) {
                    std::fprintf(stderr, "bench-feed-server: out of file descriptors\n");
                    return;
                }
                dieErrno("accept4");
            }
            const int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            auto connection = std::make_unique<Connection>();
            connection->fd = fd;
            watch(*connection, EPOLLIN | EPOLLRDHUP, true);
            connections_.emplace(fd, std::move(connection));
        }
    }

    void close(Connection& connection) {
        const int fd = connection.fd;
        trickling_.erase(fd);
        held_.erase(fd);
        ::close(fd);
        connections_.erase(fd);  // destroys connection
    }

    // Returns false when the connection was closed.
    bool readFrom(Connection& connection) {
        char buffer[16384];
        for (;;) {
            const ssize_t got = ::read(connection.fd, buffer, sizeof buffer);
            if (got > 0) {
                // A stalled request's further bytes are of no interest; keep reading them so
                // the client's close is seen.
                if (connection.state == Connection::State::reading ||
                    connection.state == Connection::State::writing) {
                    connection.input.append(buffer, std::size_t(got));
                }
                continue;
            }
            if (got == 0) {
                close(connection);
                return false;
            }
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            close(connection);
            return false;
        }
        if (connection.state == Connection::State::reading) return serveNext(connection);
        return true;
    }

    // Answers the first complete request in the input, if there is one.
    bool serveNext(Connection& connection) {
        const std::size_t end = connection.input.find("\r\n\r\n");
        if (end == std::string::npos) {
            if (connection.input.size() > 65536) {
                close(connection);
                return false;
            }
            return true;
        }
        const std::string request = connection.input.substr(0, end);
        if (options_.log) std::fprintf(stderr, "%s\n\n", request.c_str());
        connection.input.erase(0, end + 4);
        respond(connection, request);
        if (connection.state == Connection::State::writing) return writeTo(connection);
        return true;
    }

    static std::string lowercase(std::string_view text) {
        std::string out(text);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        }
        return out;
    }

    void respond(Connection& connection, const std::string& request) {
        // Request line, then "Name: value" lines.
        const std::size_t lineEnd = request.find("\r\n");
        const std::string_view line = std::string_view(request).substr(0, lineEnd);
        const std::size_t firstSpace = line.find(' ');
        const std::size_t secondSpace = line.find(' ', firstSpace + 1);
        const std::string_view method = line.substr(0, firstSpace);
        std::string_view target = firstSpace == std::string_view::npos
                                      ? std::string_view()
                                      : line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
        const std::string_view version =
            secondSpace == std::string_view::npos ? "HTTP/1.0" : line.substr(secondSpace + 1);
        std::map<std::string, std::string> headers;
        std::size_t position = lineEnd == std::string::npos ? request.size() : lineEnd + 2;
        while (position < request.size()) {
            std::size_t next = request.find("\r\n", position);
            if (next == std::string::npos) next = request.size();
            const std::string_view header =
                std::string_view(request).substr(position, next - position);
            if (const std::size_t colon = header.find(':'); colon != std::string_view::npos) {
                std::string_view value = header.substr(colon + 1);
                while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
                    value.remove_prefix(1);
                }
                headers[lowercase(header.substr(0, colon))] = std::string(value);
            }
            position = next + 2;
        }
        const std::string connectionHeader = lowercase(headers["connection"]);
        connection.closeAfter =
            version == "HTTP/1.0" ? connectionHeader != "keep-alive" : connectionHeader == "close";
        if (const std::size_t query = target.find('?'); query != std::string_view::npos) {
            target = target.substr(0, query);
        }

        if (method != "GET" && method != "HEAD") {
            return reply(connection, "405 Method Not Allowed", "text/plain", "GET only\n");
        }
        if (target == "/control/stats") {
            // What was answered since the last look: lets a script see how many documents a
            // client really downloaded, and how many it only revalidated.
            std::string text;
            for (const auto& [what, count] : stats_) {
                text += what + ' ' + std::to_string(count) + '\n';
            }
            stats_.clear();
            return reply(connection, "200 OK", "text/plain", text);
        }
        if (target == "/control/failing" || target == "/control/healthy") {
            setFailing(target == "/control/failing");
            return reply(connection, "200 OK", "text/plain", failing_ ? "failing\n" : "healthy\n");
        }
        const auto found = byPath_.find(std::string(target));
        if (found == byPath_.end()) {
            return reply(connection, "404 Not Found", "text/html",
                         "<html><body><h1>Not Found</h1></body></html>\n");
        }
        const Feed& feed = feeds_[found->second];
        const bool head = method == "HEAD";
        if (failing_) {
            switch (feed.fault) {
                case Fault::none:
                case Fault::refused:  // reached only through a connection made before the switch
                    break;
                case Fault::notFound:
                    ++stats_["404"];
                    return reply(connection, "404 Not Found", "text/html",
                                 "<html><body><h1>Not Found</h1><p>The feed has moved "
                                 "away.</p></body></html>\n");
                case Fault::malformed:
                    ++stats_["200 cut off"];
                    // Cut mid-document, as a server that dies halfway through writing it would.
                    return replyWithBody(
                        connection, feed, "",
                        std::string_view(feed.body).substr(0, feed.body.size() / 2), head);
                case Fault::silent:
                    ++stats_["stalled"];
                    connection.state = Connection::State::silent;
                    connection.heldSince = Clock::now();
                    held_.insert(connection.fd);
                    return;
                case Fault::trickle: {
                    ++stats_["trickled"];
                    connection.state = Connection::State::trickling;
                    connection.heldSince = Clock::now();
                    connection.nextTrickle = Clock::now();
                    connection.body = feed.body;
                    connection.sent = 0;
                    connection.head = "HTTP/1.1 200 OK\r\nContent-Type: " + feed.contentType +
                                      "\r\nContent-Length: " + std::to_string(feed.body.size()) +
                                      "\r\n\r\n";
                    trickling_.insert(connection.fd);
                    return;
                }
            }
        }
        if (options_.validators) {
            bool fresh = false;
            if (auto tag = headers.find("if-none-match"); tag != headers.end()) {
                fresh = tag->second.find(feed.etag) != std::string::npos;
            } else if (auto since = headers.find("if-modified-since"); since != headers.end()) {
                const auto when = parseHttpDate(since->second);
                fresh = when && *when >= feed.lastModifiedTime;
            }
            if (fresh) {
                ++stats_["304"];
                connection.head = "HTTP/1.1 304 Not Modified\r\nETag: " + feed.etag +
                                  "\r\nLast-Modified: " + feed.lastModified + "\r\n" +
                                  keepAliveHeader(connection) + "\r\n";
                connection.body = {};
                return startWriting(connection);
            }
        }
        std::string extra;
        std::string_view body = feed.body;
        if (!feed.gzipBody.empty() &&
            lowercase(headers["accept-encoding"]).find("gzip") != std::string::npos) {
            extra += "Content-Encoding: gzip\r\n";
            body = feed.gzipBody;
            ++stats_["200 gzip"];
        } else {
            ++stats_["200"];
        }
        if (!feed.gzipBody.empty()) extra += "Vary: Accept-Encoding\r\n";
        if (options_.validators) {
            extra += "ETag: " + feed.etag + "\r\nLast-Modified: " + feed.lastModified + "\r\n";
        }
        replyWithBody(connection, feed, extra, body, head);
    }

    static std::string keepAliveHeader(const Connection& connection) {
        return connection.closeAfter ? "Connection: close\r\n" : "";
    }

    void replyWithBody(Connection& connection, const Feed& feed, const std::string& extraHeaders,
                       std::string_view body, bool head) {
        connection.head = "HTTP/1.1 200 OK\r\nContent-Type: " + feed.contentType +
                          "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
                          extraHeaders + keepAliveHeader(connection) + "\r\n";
        connection.body = head ? std::string_view() : body;
        startWriting(connection);
    }

    void reply(Connection& connection, std::string_view status, std::string_view type,
               std::string_view text) {
        connection.head = "HTTP/1.1 " + std::string(status) +
                          "\r\nContent-Type: " + std::string(type) +
                          "\r\nContent-Length: " + std::to_string(text.size()) + "\r\n" +
                          keepAliveHeader(connection) + "\r\n" + std::string(text);
        connection.body = {};
        startWriting(connection);
    }

    void startWriting(Connection& connection) {
        connection.state = Connection::State::writing;
        connection.sent = 0;
    }

    // Returns false when the connection was closed.
    bool writeTo(Connection& connection) {
        for (;;) {
            const std::size_t total = connection.head.size() + connection.body.size();
            if (connection.sent >= total) break;
            std::array<iovec, 2> parts{};
            int count = 0;
            if (connection.sent < connection.head.size()) {
                parts[count++] = {connection.head.data() + connection.sent,
                                  connection.head.size() - connection.sent};
                if (!connection.body.empty()) {
                    parts[count++] = {const_cast<char*>(connection.body.data()),
                                      connection.body.size()};
                }
            } else {
                const std::size_t offset = connection.sent - connection.head.size();
                parts[count++] = {const_cast<char*>(connection.body.data()) + offset,
                                  connection.body.size() - offset};
            }
            const ssize_t written = ::writev(connection.fd, parts.data(), count);
            if (written < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    watch(connection, EPOLLIN | EPOLLRDHUP | EPOLLOUT);
                    return true;
                }
                close(connection);
                return false;
            }
            connection.sent += std::size_t(written);
        }
        if (connection.closeAfter) {
            close(connection);
            return false;
        }
        connection.state = Connection::State::reading;
        connection.head.clear();
        connection.body = {};
        watch(connection, EPOLLIN | EPOLLRDHUP);
        return serveNext(connection);  // a pipelined request may be waiting
    }

    // Feeds the trickling connections and drops stalled ones held for too long.
    void tick() {
        const Clock::time_point now = Clock::now();
        std::vector<int> expired;
        for (int fd : held_) {
            if (now - connections_.at(fd)->heldSince > kMaxHold) expired.push_back(fd);
        }
        for (int fd : trickling_) {
            Connection& connection = *connections_.at(fd);
            if (now - connection.heldSince > kMaxHold) {
                expired.push_back(fd);
                continue;
            }
            if (now < connection.nextTrickle) continue;
            connection.nextTrickle = now + std::chrono::seconds(1);
            std::string piece;
            const std::size_t total = connection.head.size() + connection.body.size();
            // The headers at once, then the body a few bytes a second, never quite finishing.
            const std::size_t want =
                connection.sent == 0 ? connection.head.size() : options_.trickleRate;
            for (std::size_t i = 0; i < want && connection.sent + piece.size() + 1 < total; ++i) {
                const std::size_t at = connection.sent + piece.size();
                piece += at < connection.head.size() ? connection.head[at]
                                                     : connection.body[at - connection.head.size()];
            }
            if (piece.empty()) continue;
            const ssize_t written = ::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
            if (written > 0) {
                connection.sent += std::size_t(written);
            } else if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                expired.push_back(fd);
            }
        }
        for (int fd : expired) {
            if (auto found = connections_.find(fd); found != connections_.end()) {
                close(*found->second);
            }
        }
    }

    Options options_;
    std::vector<Feed> feeds_;
    std::unordered_map<std::string, std::size_t> byPath_;
    std::vector<int> listeners_;
    int refusingFd_;
    std::uint16_t refusingPort_;
    int epoll_ = -1;
    bool failing_ = false;
    std::unordered_map<int, std::unique_ptr<Connection>> connections_;
    std::set<int> held_;       // silent stalls
    std::set<int> trickling_;  // trickle stalls
    std::map<std::string, std::size_t> stats_;
};

std::string xmlEscaped(std::string_view text) {
    std::string out;
    pressling::bench::appendXmlEscaped(out, text);
    return out;
}

void writeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    out.close();
    if (!out) die("cannot write " + path);
}

void writeOpml(const std::string& path, const std::vector<Feed>& feeds) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\">\n  <head>\n"
        "    <title>bench-feed-server</title>\n  </head>\n  <body>\n";
    for (const Feed& feed : feeds) {
        out += "    <outline type=\"rss\" text=\"" + xmlEscaped(feed.title) + "\" title=\"" +
               xmlEscaped(feed.title) + "\" xmlUrl=\"" + xmlEscaped(feed.url) + "\"/>\n";
    }
    out += "  </body>\n</opml>\n";
    writeFile(path, out);
}

std::vector<Feed> makeFeeds(const Options& options, const std::vector<std::uint16_t>& ports,
                            std::uint16_t refusingPort) {
    using namespace std::chrono;
    const std::vector<Fault> faults = assignFaults(options);
    std::vector<Feed> feeds(options.feeds);
    std::size_t regular = 0;
    for (std::size_t i = 0; i < options.feeds; ++i) {
        Feed& feed = feeds[i];
        char number[24];
        std::snprintf(number, sizeof number, "%04zu", i + 1);
        feed.path = std::string("/feeds/") + number + ".xml";
        feed.fault = faults[i];
        const std::uint16_t port =
            feed.fault == Fault::refused ? refusingPort : ports[regular++ % ports.size()];
        feed.url = "http://127.0.0.1:" + std::to_string(port) + feed.path;
        feed.title = feedTitle(i);

        FeedSite site;
        site.site = std::string("https://feed-") + number + ".example.org";
        site.title = feed.title;
        site.about = "Notes from " + feed.title + ": food, cities and software.";
        // Feeds interleave in time rather than all starting at the same moment.
        site.newest -= minutes(37 * i);
        const FeedFormat format = i % 3 == 2 ? FeedFormat::atom : FeedFormat::rss;
        const FeedGenerator generator(FeedGenerator::kDefaultSeed +
                                      0x9e3779b97f4a7c15ULL * (i + 1));
        auto generated = generator.generateEntries(format, options.items, site);
        feed.body = std::move(generated.document);
        feed.contentType = format == FeedFormat::rss ? "application/rss+xml; charset=utf-8"
                                                     : "application/atom+xml; charset=utf-8";
        if (options.gzip) feed.gzipBody = gzipped(feed.body);
        char tag[32];
        std::snprintf(tag, sizeof tag, "\"%016llx\"",
                      static_cast<unsigned long long>(fnv1a(feed.body)));
        feed.etag = tag;
        feed.lastModifiedTime = system_clock::to_time_t(site.newest);
        feed.lastModified = httpDate(feed.lastModifiedTime);
    }
    return feeds;
}

// The same title twice in one feed would make a reader keep only one of them, and the
// benchmark would then store fewer articles than it claims.
void checkDistinctEntries(const std::vector<Feed>& feeds) {
    for (const Feed& feed : feeds) {
        const bool atom = feed.body.find("<feed xmlns=") != std::string::npos;
        const std::string_view entryOpen = atom ? "<entry>" : "<item>";
        std::set<std::string> titles;
        std::set<std::string> links;
        std::size_t count = 0;
        for (std::size_t at = feed.body.find(entryOpen); at != std::string::npos;
             at = feed.body.find(entryOpen, at + 1)) {
            ++count;
            const std::size_t titleStart = feed.body.find("<title>", at) + 7;
            titles.insert(
                feed.body.substr(titleStart, feed.body.find("</title>", titleStart) - titleStart));
            const std::string_view linkOpen = atom ? "href=\"" : "<link>";
            const std::size_t linkStart = feed.body.find(linkOpen, at) + linkOpen.size();
            const std::string_view linkClose = atom ? "\"" : "</link>";
            links.insert(
                feed.body.substr(linkStart, feed.body.find(linkClose, linkStart) - linkStart));
        }
        if (titles.size() != count || links.size() != count) {
            die(feed.url + ": " + std::to_string(count) + " entries but " +
                std::to_string(titles.size()) + " titles and " + std::to_string(links.size()) +
                " links");
        }
    }
}

std::size_t number(const char* option, const char* text, std::size_t low, std::size_t high) {
    std::size_t value = 0;
    const std::string_view view(text);
    const auto [end, error] = std::from_chars(view.begin(), view.end(), value);
    if (error != std::errc{} || end != view.end() || value < low || value > high) {
        die(std::string(option) + " needs a number from " + std::to_string(low) + " to " +
            std::to_string(high) + ", not \"" + text + "\"");
    }
    return value;
}

constexpr const char* kUsage =
    "usage: bench-feed-server --opml FILE [--urls FILE] [--feeds N] [--items N] [--ports N]\n"
    "                         [--failing PERCENT] [--fail-now] [--trickle-rate BYTES]\n"
    "                         [--gzip] [--no-validators] [--log]\n";

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        const auto value = [&]() -> const char* {
            if (i + 1 >= argc) die(std::string(option) + " needs a value\n" + kUsage);
            return argv[++i];
        };
        if (option == "--feeds") {
            options.feeds = number("--feeds", value(), 1, 100000);
        } else if (option == "--items") {
            options.items = number("--items", value(), 1, 100000);
        } else if (option == "--ports") {
            options.ports = number("--ports", value(), 1, 1024);
        } else if (option == "--failing") {
            options.failingPercent = unsigned(number("--failing", value(), 0, 100));
        } else if (option == "--fail-now") {
            options.failNow = true;
        } else if (option == "--trickle-rate") {
            options.trickleRate = number("--trickle-rate", value(), 1, 1 << 20);
        } else if (option == "--gzip") {
            options.gzip = true;
        } else if (option == "--no-validators") {
            options.validators = false;
        } else if (option == "--log") {
            options.log = true;
        } else if (option == "--opml") {
            options.opmlFile = value();
        } else if (option == "--urls") {
            options.urlsFile = value();
        } else if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else {
            die("unknown option " + std::string(option) + "\n" + kUsage);
        }
    }
    if (options.opmlFile.empty()) die(std::string("--opml is required\n") + kUsage);
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    signal(SIGPIPE, SIG_IGN);

    std::vector<int> listeners;
    std::vector<std::uint16_t> ports;
    for (std::size_t i = 0; i < options.ports; ++i) {
        const int fd = boundSocket(0);
        if (listen(fd, SOMAXCONN) < 0) dieErrno("listen");
        setNonBlocking(fd);
        listeners.push_back(fd);
        ports.push_back(portOf(fd));
    }
    const std::vector<Fault> faults = assignFaults(options);
    const bool anyRefused = std::count(faults.begin(), faults.end(), Fault::refused) > 0;
    const int refusingFd = anyRefused ? boundSocket(0) : -1;
    const std::uint16_t refusingPort = anyRefused ? portOf(refusingFd) : 0;

    std::vector<Feed> feeds = makeFeeds(options, ports, refusingPort);
    checkDistinctEntries(feeds);

    writeOpml(options.opmlFile, feeds);
    if (!options.urlsFile.empty()) {
        std::string urls;
        for (const Feed& feed : feeds) urls += feed.url + '\n';
        writeFile(options.urlsFile, urls);
    }

    std::size_t bytes = 0;
    std::size_t gzipBytes = 0;
    std::map<Fault, std::size_t> faultCounts;
    for (const Feed& feed : feeds) {
        bytes += feed.body.size();
        gzipBytes += feed.gzipBody.size();
        if (feed.fault != Fault::none) ++faultCounts[feed.fault];
    }
    std::string failing;
    for (const auto& [fault, count] : faultCounts) {
        failing += (failing.empty() ? "" : ", ") + std::to_string(count) + " " +
                   std::string(faultName(fault));
    }
    Server server(options, std::move(feeds), listeners, refusingFd, refusingPort);

    std::printf("ready: %zu feeds of %zu entries, %.1f MB", options.feeds, options.items,
                double(bytes) / 1e6);
    if (options.gzip) std::printf(" (%.1f MB gzipped)", double(gzipBytes) / 1e6);
    std::printf(", on %zu ports of 127.0.0.1", ports.size());
    if (!failing.empty()) {
        std::printf("; failing %s: %s", options.failNow ? "now" : "after /control/failing",
                    failing.c_str());
        if (anyRefused) std::printf(" (refusing port %u)", unsigned(refusingPort));
    }
    std::printf("; control: http://127.0.0.1:%u/control/{failing,healthy,stats}\n",
                unsigned(ports.front()));
    std::fflush(stdout);
    server.run();
}
