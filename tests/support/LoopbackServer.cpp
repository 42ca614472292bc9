#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <stdexcept>
#include <system_error>

namespace pressling::test {
namespace {

constexpr std::size_t kChunkSize = 16 * 1024;  // a reply of a few hundred KiB in many pieces

std::string loopbackUrl(int port, std::string_view path) {
    return "http://127.0.0.1:" + std::to_string(port) + std::string(path);
}

}  // namespace

LoopbackServer::LoopbackServer() {
    server_.set_keep_alive_timeout(1);  // stop() waits for workers an idle connection holds
    // One handler for everything: an unplanned request of any method fails the test.
    server_.set_pre_routing_handler([this](const auto& request, auto& response) {
        dispatch(request, response);
        return httplib::Server::HandlerResponse::Handled;
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("LoopbackServer: cannot bind 127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(), listenReturned_ = true; });
    // stop() does nothing until the server runs: the destructor would join a server never stopped.
    while (!server_.is_running() && !listenReturned_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

LoopbackServer::~LoopbackServer() {
    server_.stop();
    thread_.join();
}

void LoopbackServer::handle(std::string path, Handler handler) {
    std::lock_guard lock(mutex_);
    handlers_.insert_or_assign(std::move(path), std::move(handler));
}

void LoopbackServer::serve(std::string path, Reply reply) {
    handle(std::move(path), [reply = std::move(reply)](const auto&, httplib::Response& response) {
        response.status = reply.status;
        for (const auto& [name, value] : reply.headers) response.set_header(name, value);
        if (!reply.chunked) return response.set_content(reply.body, reply.contentType);
        response.set_chunked_content_provider(
            reply.contentType, [body = reply.body](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= body.size()) return sink.done(), true;
                return sink.write(body.data() + offset, std::min(kChunkSize, body.size() - offset));
            });
    });
}

void LoopbackServer::serveSlowly(std::string path, SlowReply reply) {
    handle(std::move(path), [reply = std::move(reply)](const auto&, httplib::Response& response) {
        const std::size_t total = reply.pieces * reply.pieceBytes;
        // Called after each piece with the bytes sent so far; short of the length, httplib closes.
        response.set_content_provider(
            reply.declaredLength.value_or(total), "application/octet-stream",
            [reply, total](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset >= total) return false;
                std::this_thread::sleep_for(reply.pause);
                const std::string piece(std::min(reply.pieceBytes, total - offset), 'x');
                return sink.write(piece.data(), piece.size());  // false once the client is gone
            });
    });
}

void LoopbackServer::redirect(std::string path, std::string location, int status) {
    handle(std::move(path), [location = std::move(location), status](const auto&, auto& response) {
        response.status = status;
        response.set_header("Location", location);
    });
}

std::string LoopbackServer::url(std::string_view path) const { return loopbackUrl(port_, path); }

std::vector<RecordedRequest> LoopbackServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t LoopbackServer::requestCount(std::string_view path) const {
    std::lock_guard lock(mutex_);
    return std::ranges::count(requests_, path, &RecordedRequest::path);
}

bool LoopbackServer::awaitRequests(std::size_t count, std::chrono::milliseconds patience) const {
    std::unique_lock lock(mutex_);
    return requested_.wait_for(lock, patience, [&] { return requests_.size() >= count; });
}

void LoopbackServer::dispatch(const httplib::Request& request, httplib::Response& response) {
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back({request.method, request.path, request.headers});
        requested_.notify_all();
        if (const auto found = handlers_.find(request.path); found != handlers_.end()) {
            handler = found->second;
        }
    }
    if (handler) return handler(request, response);
    ADD_FAILURE() << "LoopbackServer received an unplanned request: " << request.method << ' '
                  << request.target;
    response.status = 404;
    response.set_content("no handler planned for " + request.path, "text/plain");
}

// A TCP socket on 127.0.0.1, a port the system picks, listening; nothing accepts.
SilentServer::SilentServer() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::listen(socket_, SOMAXCONN) != 0) {
        const int saved = errno;
        if (socket_ >= 0) ::close(socket_);
        throw std::system_error(saved, std::generic_category(), "SilentServer on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
}

SilentServer::~SilentServer() { ::close(socket_); }

std::string SilentServer::url(std::string_view path) const { return loopbackUrl(port_, path); }

int closedPort() { return SilentServer().port(); }

std::string httpDateIn(std::chrono::seconds seconds) {
    const std::time_t when =
        std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() + seconds);
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

}  // namespace pressling::test
