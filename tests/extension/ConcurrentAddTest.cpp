// Eight feedgrab processes and a pressling-cli add, all checking at once: no feed may be lost.

#include "subscriptions/StoredWebs.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <condition_variable>
#include <cstdio>

namespace pressling {
namespace {

constexpr int kHelpers = 8;

TEST(ConcurrentAdd, eightHelpersAndTheCommandLineLoseNoFeed) {
    test::TemporaryDirectory data;
    test::LoopbackServer server;
    // Each download waits for eight to arrive, so checks overlap (the server has eight threads).
    std::mutex mutex;
    std::condition_variable arrived;
    int arrivals = 0;
    for (int i = 0; i <= kHelpers; ++i) {
        server.handle("/" + std::to_string(i), [&, i](const auto&, auto& response) {
            std::unique_lock lock(mutex);
            ++arrivals;
            arrived.notify_all();
            arrived.wait_for(lock, std::chrono::seconds(20), [&] { return arrivals >= kHelpers; });
            response.set_content(fmt::format("<rss><channel><title>Feed {}</title><item><pubDate>"
                                             "Tue, 03 Jun 2003 09:39:21 GMT</pubDate></item>"
                                             "</channel></rss>",
                                             i),
                                 "application/rss+xml");
        });
    }
    // Each program prints its pid (the shell's, which it replaces), then its outcome.
    const std::string environment = fmt::format(
        "QT_QPA_PLATFORM=offscreen PRESSLING_DATA_DIR='{0}' "
        "PRESSLING_CATALOG='sqlite:{0}/c.sqlite'",
        data.path().string());
    std::vector<FILE*> programs;
    for (int i = 0; i <= kHelpers; ++i) {
        const std::string program = i < kHelpers ? FEEDGRAB : PRESSLING_CLI " add";
        const std::string command = fmt::format("echo $$; exec env {} {} {}", environment, program,
                                                server.url("/" + std::to_string(i)));
        programs.push_back(::popen(command.c_str(), "r"));
    }
    for (FILE* program : programs) {
        char pid[32] = "", outcome[512] = "";
        ASSERT_TRUE(std::fgets(pid, sizeof pid, program));
        EXPECT_TRUE(std::fgets(outcome, sizeof outcome, program));
        EXPECT_TRUE(std::string_view(outcome).starts_with("Link added")) << outcome;
        ::kill(std::stoi(pid), SIGTERM);  // a helper's window stays open until it is closed
        ::pclose(program);
    }
    std::string titles;
    KeyValueStore store(data.path() / "kvstore.sqlite");
    for (const Web& web : loadWebs(store)) titles += web.title + ";";
    EXPECT_EQ(titles, "Feed 0;Feed 1;Feed 2;Feed 3;Feed 4;Feed 5;Feed 6;Feed 7;Feed 8;");
}

}  // namespace
}  // namespace pressling
