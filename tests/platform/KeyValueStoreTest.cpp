// The per-user key-value store: exact bytes in and out, atomic read-modify-write across threads
// and processes (the lost update that would drop a subscription added by the share helper while
// the application saves), and a corrupt file that is reported, never replaced.

#include "platform/KeyValueStore.h"

#include "support/Fixtures.h"
#include "support/TwoProcesses.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

namespace pressling {
namespace {

using Kind = KeyValueStoreError::Kind;
using Value = std::optional<std::string>;

// Appends the line "<tag><i>" for i in [0, count) to key, one update each. The yield inside
// the change widens the window between read and write, where a non-atomic update loses lines.
bool appendEntries(KeyValueStore& store, char tag, int count) {
    for (int i = 0; i < count; ++i) {
        auto done = store.update("list", [&](const Value& current) {
            std::this_thread::yield();
            return Value(current.value_or("") + tag + std::to_string(i) + "\n");
        });
        if (!done || !*done) return false;
    }
    return true;
}
// The lines of the list, and the lines that the writers tags appended count each of.
std::multiset<std::string> lines(KeyValueStore& store) {
    std::istringstream in(store.dataForKey("list").value().value_or(""));
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}
std::multiset<std::string> appended(std::string_view tags, int count) {
    std::multiset<std::string> all;
    for (char tag : tags)
        for (int i = 0; i < count; ++i) all.insert(tag + std::to_string(i));
    return all;
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
    Value seen;
    EXPECT_EQ(store.update("key", [&](const Value& current) { return seen = current, Value(); }),
              false);
    EXPECT_EQ(seen, "kept");
    EXPECT_EQ(store.dataForKey("key").value(), "kept");
    EXPECT_EQ(
        store.update("new", [&](const Value& current) { return seen = current, Value("made"); }),
        true);
    EXPECT_EQ(seen, std::nullopt);
    EXPECT_EQ(store.dataForKey("new").value(), "made");
}

TEST_F(KeyValueStoreTest, AFailedTransactionWritesNothingAndACallFromInsideIsRefused) {
    ASSERT_TRUE(store.setData("before", "a"));
    auto done = store.transaction(
        [&](KeyValueStore::Transaction& transaction) -> std::expected<void, KeyValueStoreError> {
            EXPECT_TRUE(transaction.setData("during", "a"));
            EXPECT_TRUE(transaction.setData("during", "b"));
            EXPECT_EQ(transaction.dataForKey("a").value(), "during") << "reads see own writes";
            // Calling the store itself would deadlock: it fails instead.
            EXPECT_EQ(store.setData("nested", "c").error().kind, Kind::failed);
            return std::unexpected(KeyValueStoreError{Kind::aborted, "changed my mind"});
        });
    EXPECT_EQ(done.error().kind, Kind::aborted);
    EXPECT_EQ(done.error().message, "changed my mind");
    const auto throwing =
        [](KeyValueStore::Transaction& transaction) -> std::expected<void, KeyValueStoreError> {
        EXPECT_TRUE(transaction.setData("thrown", "a"));
        throw std::runtime_error("change failed");
    };
    EXPECT_THROW(store.transaction(throwing), std::runtime_error);
    EXPECT_EQ(store.dataForKey("a").value(), "before");
    EXPECT_EQ(store.dataForKey("b").value(), std::nullopt);
    EXPECT_EQ(store.dataForKey("c").value(), std::nullopt);
    // Usable after the exception, and what it writes is committed for other connections.
    EXPECT_TRUE(store.setData("after", "a"));
    EXPECT_EQ(KeyValueStore(file).dataForKey("a").value(), "after");
}

TEST_F(KeyValueStoreTest, LosesNoUpdateFromThreadsOrProcessesSharingTheFile) {
    bool firstOk = false, secondOk = false;
    std::thread first([&] { firstOk = appendEntries(store, 'A', 200); });
    std::thread second([&] { secondOk = appendEntries(store, 'B', 200); });
    first.join();
    second.join();
    EXPECT_TRUE(firstOk && secondOk);
    EXPECT_EQ(lines(store), appended("AB", 200));

    // The share helper and the application are separate processes writing the same key; the
    // child opens its own store after the fork, as a real process does.
    const auto outcome = test::runInTwoProcesses(
        [&] {
            KeyValueStore own(file);
            return appendEntries(own, 'C', 200);
        },
        [&] { return appendEntries(store, 'P', 200); });
    ASSERT_EQ(outcome.problem, "");
    EXPECT_TRUE(outcome.parentSucceeded && outcome.childSucceeded);
    EXPECT_EQ(lines(store), appended("ABCP", 200));
}

TEST_F(KeyValueStoreTest, ReportsAnUnusableFileByNameAndLeavesItAlone) {
    const std::string garbage(8192, '\x5A');
    folder.write("kvstore.sqlite", garbage);
    auto read = store.dataForKey("storedRss");
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
