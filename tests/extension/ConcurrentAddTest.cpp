// Eight feedgrab processes and a pressling-cli add subscribing at once, all checking their
// feeds while the others do: every feed must reach the list.

#include "platform/KeyValueStore.h"
#include "subscriptions/StoredWebs.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>

namespace pressling {
namespace {

constexpr int kHelpers = 8;

// A program running with its stdout on a pipe.
struct Running {
    pid_t pid = -1;
    int out = -1;
};

Running start(std::vector<std::string> argv, const std::vector<std::string>& environment) {
    int pipeEnds[2];
    EXPECT_EQ(::pipe(pipeEnds), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::close(pipeEnds[0]);
        for (const auto& setting : environment) ::putenv(const_cast<char*>(setting.c_str()));
        std::vector<char*> args;
        for (auto& arg : argv) args.push_back(arg.data());
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    return {pid, pipeEnds[0]};
}

// The program's first line of output, or "" when none came within the guard.
std::string firstLine(const Running& program) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{program.out, POLLIN, 0};
        if (::poll(&ready, 1, 1000) <= 0) continue;
        char buffer[256];
        const ssize_t got = ::read(program.out, buffer, sizeof buffer);
        if (got <= 0) break;
        line.append(buffer, std::size_t(got));
    }
    return line.substr(0, line.find('\n'));
}

TEST(ConcurrentAdd, eightHelpersAndTheCommandLineLoseNoFeed) {
    test::TemporaryDirectory data;
    test::LoopbackServer server;
    // Every download waits until the first eight have arrived, so that all of those checks are
    // under way at once (the server has eight threads: the ninth comes after).
    std::mutex mutex;
    std::condition_variable arrived;
    int arrivals = 0;
    for (int i = 0; i <= kHelpers; ++i) {
        server.handle("/feed" + std::to_string(i), [&, i](const auto&, auto& response) {
            std::unique_lock lock(mutex);
            ++arrivals;
            arrived.notify_all();
            arrived.wait_for(lock, std::chrono::seconds(20), [&] { return arrivals >= kHelpers; });
            response.set_content(
                "<rss><channel><title>Feed " + std::to_string(i) +
                    "</title><item><link>https://example.org/</link><pubDate>Tue, 03 Jun 2003 "
                    "09:39:21 GMT</pubDate></item></channel></rss>",
                "application/rss+xml");
        });
    }
    const std::vector<std::string> environment{
        "QT_QPA_PLATFORM=offscreen", "PRESSLING_DATA_DIR=" + data.path().string(),
        "PRESSLING_CATALOG=sqlite:" + (data.path() / "catalog.sqlite").string()};

    std::vector<Running> programs;
    for (int i = 0; i < kHelpers; ++i) {
        programs.push_back(start({FEEDGRAB, server.url("/feed" + std::to_string(i))}, environment));
    }
    programs.push_back(start({PRESSLING_CLI, "add", server.url("/feed8")}, environment));
    for (const Running& program : programs) {
        EXPECT_TRUE(firstLine(program).starts_with("Link added"));
        ::kill(program.pid, SIGTERM);  // a helper stays open until its window is closed
        ::waitpid(program.pid, nullptr, 0);
        ::close(program.out);
    }

    KeyValueStore store(data.path() / "kvstore.sqlite");
    std::vector<std::string> titles;
    for (const Web& web : loadWebs(store)) titles.push_back(web.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Feed 0", "Feed 1", "Feed 2", "Feed 3", "Feed 4",
                                                "Feed 5", "Feed 6", "Feed 7", "Feed 8"}));
}

}  // namespace
}  // namespace pressling
