// One pressling per data folder: a second launch hands over its link; a killed one blocks nobody.

#include "app/SingleInstance.h"
#include "support/ScreenFixture.h"

#include <QLocalSocket>
#include <QProcess>

namespace pressling::app {
namespace {

using test::waitUntil;

class SingleInstanceTest : public ::testing::Test {
protected:
    SingleInstanceTest() {
        for (const char* path : {"/first", "/second"}) server.serve(path, test::rssReply(path + 1));
    }
    // pressling on the test's folder with arguments, started (and killed with the test).
    QProcess& launch(const QStringList& arguments) {
        auto& process = processes.emplace_back(std::make_unique<QProcess>());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(PRESSLING_APP,
                       QStringList{"--data-dir", QString::fromStdString(data.path())} + arguments);
        EXPECT_TRUE(process->waitForStarted());
        return *process;
    }
    QString feedLink(const char* path) const {
        return QString::fromStdString(server.url(path)).replace("http:", "feed:");
    }
    bool subscribed(const char* path) {
        KeyValueStore list(data.path() / "kvstore.sqlite");
        const auto url = server.url(path);
        return waitUntil([&] { return std::ranges::count(loadWebs(list), url, &Web::url) == 1; });
    }
    bool listening() {
        return waitUntil([&] {
            QLocalSocket probe;
            probe.connectToServer(SingleInstance::serverName(data.path()));
            return probe.waitForConnected(100);
        });
    }

    test::TemporaryDirectory data;
    test::LoopbackServer server;
    std::vector<std::unique_ptr<QProcess>> processes;
};

TEST_F(SingleInstanceTest, aSecondLaunchHandsOverAndAKilledInstanceBlocksNoOne) {
    QProcess& running = launch({});
    ASSERT_TRUE(listening());
    QProcess& second = launch({feedLink("/first")});
    ASSERT_TRUE(second.waitForFinished());
    EXPECT_EQ(std::pair(second.exitStatus(), second.exitCode()),
              std::pair(QProcess::NormalExit, 0));
    EXPECT_TRUE(subscribed("/first")) << "the running instance subscribes";

    // Killed (still running until then, or the wait fails), it leaves its socket and its lock
    // file.
    running.kill();
    ASSERT_TRUE(running.waitForFinished());
    launch({feedLink("/second")});
    EXPECT_TRUE(subscribed("/second")) << "the next launch runs and subscribes by itself";
    EXPECT_TRUE(listening()) << "and, running on, takes later launches";
}

}  // namespace
}  // namespace pressling::app
