// The key-value store: exact bytes, atomic updates across threads and processes, corrupt files
// kept.

#include "platform/KeyValueStore.h"

#include "support/Fixtures.h"
#include "support/TwoProcesses.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <thread>

namespace pressling {
namespace {

using Kind = KeyValueStoreError::Kind;
using Value = std::optional<std::string>;

// Adds 1 to the number under "count" 200 times, one update each, yielding between read and write.
bool count200(KeyValueStore& store) {
    for (int i = 0; i < 200; ++i) {
        auto done = store.update("count", [](const Value& current) {
            std::this_thread::yield();
            return Value(std::to_string(std::stoi(current.value_or("0")) + 1));
        });
        if (!done || !*done) return false;
    }
    return true;
}

class KeyValueStoreTest : public testing::Test {
protected:
    test::TemporaryDirectory folder;
    std::filesystem::path file = folder.path() / "kvstore.sqlite";
    KeyValueStore store{file};
};

TEST_F(KeyValueStoreTest, AnotherStoreOnTheFileReadsExactlyTheBytesSet) {
    ASSERT_TRUE(store.setData("first", "replaced"));
    const std::pair<const char*, std::string> rows[] = {
        {"binary", std::string("a\0b\xff\x80\n", 6)},
        {"empty", ""},  // an empty value is a value, not an absent one
        {"replaced", "second"},
        {"large", std::string(1 << 20, 'x')},
    };
    for (const auto& [key, value] : rows) ASSERT_TRUE(store.setData(value, key)) << key;
    KeyValueStore other(file);
    for (const auto& [key, value] : rows) EXPECT_EQ(other.dataForKey(key).value(), value) << key;
    EXPECT_EQ(other.dataForKey("absent").value(), std::nullopt);
}

TEST_F(KeyValueStoreTest, UpdateWritesOnlyWhenTheChangeAsksForOne) {
    ASSERT_TRUE(store.setData("kept", "key"));
    std::vector<Value> seen;
    const auto change = [&](Value next) {
        return [&seen, next](const Value& current) { return seen.push_back(current), next; };
    };
    EXPECT_EQ(store.update("key", change(std::nullopt)), false);
    EXPECT_EQ(store.update("new", change("made")), true);
    EXPECT_EQ(seen, (std::vector<Value>{"kept", std::nullopt}));
    EXPECT_EQ(store.dataForKey("key").value(), "kept");
    EXPECT_EQ(store.dataForKey("new").value(), "made");
}

TEST_F(KeyValueStoreTest, AFailedTransactionWritesNothingAndACallFromInsideIsRefused) {
    ASSERT_TRUE(store.setData("before", "a"));
    using Outcome = std::expected<void, KeyValueStoreError>;
    auto done = store.transaction([&](KeyValueStore::Transaction& transaction) -> Outcome {
        EXPECT_TRUE(transaction.setData("during", "a"));
        EXPECT_TRUE(transaction.setData("during", "b"));
        EXPECT_EQ(transaction.dataForKey("a").value(), "during") << "reads see own writes";
        // Calling the store itself would deadlock: it fails instead.
        EXPECT_EQ(store.setData("nested", "c").error().kind, Kind::failed);
        return std::unexpected(KeyValueStoreError{Kind::aborted, "changed my mind"});
    });
    EXPECT_EQ(done.error().kind, Kind::aborted);
    EXPECT_EQ(done.error().message, "changed my mind");
    EXPECT_THROW(store.transaction([](KeyValueStore::Transaction& transaction) -> Outcome {
        EXPECT_TRUE(transaction.setData("thrown", "a"));
        throw std::runtime_error("change failed");
    }),
                 std::runtime_error);
    EXPECT_EQ(store.dataForKey("a").value(), "before");
    EXPECT_EQ(store.dataForKey("b").value(), std::nullopt);
    EXPECT_EQ(store.dataForKey("c").value(), std::nullopt);
    // Usable after the exception, and what it writes is committed for other connections.
    EXPECT_TRUE(store.setData("after", "a"));
    EXPECT_EQ(KeyValueStore(file).dataForKey("a").value(), "after");
}

TEST_F(KeyValueStoreTest, LosesNoUpdateFromThreadsOrProcessesSharingTheFile) {
    auto first = std::async(std::launch::async, count200, std::ref(store));
    auto second = std::async(std::launch::async, count200, std::ref(store));
    EXPECT_TRUE(first.get());
    EXPECT_TRUE(second.get());
    EXPECT_EQ(store.dataForKey("count").value(), Value("400"));
    // The child opens its own store after the fork, as a real process does.
    const auto outcome = test::runInTwoProcesses(
        [&] {
            KeyValueStore own(file);
            return count200(own);
        },
        [&] { return count200(store); });
    ASSERT_EQ(outcome.problem, "");
    EXPECT_TRUE(outcome.parentSucceeded && outcome.childSucceeded);
    EXPECT_EQ(store.dataForKey("count").value(), Value("800"));
}

TEST_F(KeyValueStoreTest, ReportsAnUnusableFileByNameAndLeavesItAlone) {
    const std::string garbage(8192, '\x5A');
    folder.write("kvstore.sqlite", garbage);
    const auto read = store.dataForKey("storedRss");
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().kind, Kind::unavailable);
    EXPECT_NE(read.error().message.find(file.string()), std::string::npos) << read.error().message;
    EXPECT_NE(read.error().message.find("not a database"), std::string::npos);
    EXPECT_EQ(store.setData("[]", "storedRss").error().kind, Kind::unavailable);
    EXPECT_EQ(store.update("storedRss", [](const Value&) { return Value("[]"); }).error().kind,
              Kind::unavailable);
    EXPECT_FALSE(store.synchronize());
    std::ifstream in(file, std::ios::binary);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == garbage) << "file changed";

    // Once the file is dealt with, the same store works without a restart.
    std::filesystem::rename(file, folder.path() / "kvstore.sqlite.bad");
    EXPECT_TRUE(store.setData("[]", "storedRss"));
    EXPECT_EQ(store.dataForKey("storedRss").value(), "[]");

    KeyValueStore homeless(folder.path() / "no-such-folder" / "kvstore.sqlite");
    const auto written = homeless.setData("x", "key");
    EXPECT_EQ(written.error().kind, Kind::unavailable);
    EXPECT_NE(written.error().message.find("no-such-folder"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "no-such-folder"));
}

}  // namespace
}  // namespace pressling
