// The per-user key-value store: exact bytes in and out, atomic read-modify-write across threads
// and processes (the lost update that would drop a subscription added by the share helper while
// the application saves), and a corrupt file that is reported, never replaced.

#include "platform/KeyValueStore.h"

#include "support/Fixtures.h"
#include "support/TwoProcesses.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace pressling {
namespace {

using Kind = KeyValueStoreError::Kind;

std::string fileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

// Appends "<tag><i>\n" for i in [0, count) to key, one update each. The yield inside the change
// widens the window between read and write, where a non-atomic update would lose entries.
bool appendEntries(KeyValueStore& store, std::string_view key, char tag, int count) {
    for (int i = 0; i < count; ++i) {
        auto done = store.update(key, [&](const std::optional<std::string>& current) {
            std::this_thread::yield();
            return std::optional(current.value_or("") + tag + std::to_string(i) + "\n");
        });
        if (!done || !*done) return false;
    }
    return true;
}

// Empty when every entry of each tag is there exactly once, in the order its writer appended
// it; otherwise what went wrong first.
std::string entryFault(const std::string& value, std::string_view tags, int count) {
    std::istringstream lines(value);
    std::map<char, int> next;
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || tags.find(line[0]) == std::string_view::npos) {
            return "foreign line \"" + line + "\"";
        }
        const std::string expected = line[0] + std::to_string(next[line[0]]++);
        if (line != expected) return "found " + line + " where " + expected + " belongs";
    }
    for (char tag : tags) {
        if (next[tag] != count) {
            return std::string("only ") + std::to_string(next[tag]) + " entries of " + tag;
        }
    }
    return "";
}

class KeyValueStoreTest : public ::testing::Test {
  protected:
    test::TemporaryDirectory folder;
    std::filesystem::path file = folder.path() / "kvstore.sqlite";
};

TEST_F(KeyValueStoreTest, shouldReportAnAbsentKeyAsNoValue) {
    KeyValueStore store(file);
    auto value = store.dataForKey("storedRss");
    ASSERT_TRUE(value.has_value()) << value.error().message;
    EXPECT_FALSE(value->has_value());
}

TEST_F(KeyValueStoreTest, shouldReturnExactlyTheBytesSet) {
    const std::string binary("a\0b\xff\x80\n", 6);
    std::string large(1 << 20, 'x');
    large[12345] = '\0';
    {
        KeyValueStore store(file);
        ASSERT_TRUE(store.setData(binary, "binary"));
        ASSERT_TRUE(store.setData("", "empty"));
        ASSERT_TRUE(store.setData("first", "replaced"));
        ASSERT_TRUE(store.setData("second", "replaced"));
        ASSERT_TRUE(store.setData(large, "large"));
        EXPECT_TRUE(store.synchronize());
    }
    // A second store on the file sees what the first one committed.
    KeyValueStore reopened(file);
    EXPECT_EQ(reopened.dataForKey("binary").value(), binary);
    // An empty value is a value, not an absent key.
    EXPECT_EQ(reopened.dataForKey("empty").value(), std::optional<std::string>(""));
    EXPECT_EQ(reopened.dataForKey("replaced").value(), "second");
    EXPECT_EQ(reopened.dataForKey("large").value(), large);
    EXPECT_EQ(reopened.dataForKey("absent").value(), std::nullopt);
}

TEST_F(KeyValueStoreTest, shouldWriteOnlyWhenTheUpdateAsksForAChange) {
    KeyValueStore store(file);
    ASSERT_TRUE(store.setData("kept", "key"));

    std::optional<std::string> seen;
    auto unchanged = store.update("key", [&](const std::optional<std::string>& current) {
        seen = current;
        return std::optional<std::string>();
    });
    ASSERT_TRUE(unchanged.has_value());
    EXPECT_FALSE(*unchanged);
    EXPECT_EQ(seen, "kept");
    EXPECT_EQ(store.dataForKey("key").value(), "kept");

    auto created = store.update("new", [](const std::optional<std::string>& current) {
        EXPECT_FALSE(current.has_value());
        return std::optional<std::string>("made");
    });
    ASSERT_TRUE(created.has_value());
    EXPECT_TRUE(*created);
    EXPECT_EQ(store.dataForKey("new").value(), "made");
}

TEST_F(KeyValueStoreTest, shouldRollBackEveryWriteOfAFailedTransaction) {
    KeyValueStore store(file);
    ASSERT_TRUE(store.setData("before", "a"));
    auto done = store.transaction(
        [](KeyValueStore::Transaction& transaction) -> std::expected<void, KeyValueStoreError> {
            EXPECT_TRUE(transaction.setData("during", "a"));
            EXPECT_TRUE(transaction.setData("during", "b"));
            // Reads inside the transaction see its own writes.
            EXPECT_EQ(transaction.dataForKey("a").value(), "during");
            return std::unexpected(KeyValueStoreError{Kind::aborted, "changed my mind"});
        });
    ASSERT_FALSE(done.has_value());
    EXPECT_EQ(done.error().kind, Kind::aborted);
    EXPECT_EQ(done.error().message, "changed my mind");
    EXPECT_EQ(store.dataForKey("a").value(), "before");
    EXPECT_EQ(store.dataForKey("b").value(), std::nullopt);

    EXPECT_THROW(store.update("a",
                              [](const std::optional<std::string>&) -> std::optional<std::string> {
                                  throw std::runtime_error("change failed");
                              }),
                 std::runtime_error);
    EXPECT_EQ(store.dataForKey("a").value(), "before");
    // The store is usable again after the exception.
    EXPECT_TRUE(store.setData("after", "a"));
}

TEST_F(KeyValueStoreTest, shouldRefuseACallFromInsideItsOwnUpdateInsteadOfDeadlocking) {
    KeyValueStore store(file);
    std::optional<Kind> inner;
    auto done = store.update("key", [&](const std::optional<std::string>&) {
        auto nested = store.setData("nested", "other");
        if (!nested) inner = nested.error().kind;
        return std::optional<std::string>("outer");
    });
    ASSERT_TRUE(done.has_value()) << done.error().message;
    EXPECT_EQ(inner, Kind::failed);
    EXPECT_EQ(store.dataForKey("other").value(), std::nullopt);
    EXPECT_EQ(store.dataForKey("key").value(), "outer");
}

TEST_F(KeyValueStoreTest, shouldLoseNoUpdateFromThreadsSharingOneStore) {
    KeyValueStore store(file);
    bool firstOk = false;
    bool secondOk = false;
    std::thread first([&] { firstOk = appendEntries(store, "list", 'A', 200); });
    std::thread second([&] { secondOk = appendEntries(store, "list", 'B', 200); });
    first.join();
    second.join();
    EXPECT_TRUE(firstOk);
    EXPECT_TRUE(secondOk);
    EXPECT_EQ(entryFault(store.dataForKey("list").value().value_or(""), "AB", 200), "");
}

// The share helper and the application are separate processes writing the same key. Each
// process opens its own connection after the fork, as real processes do.
TEST_F(KeyValueStoreTest, shouldLoseNoUpdateFromTwoProcesses) {
    KeyValueStore store(file);
    ASSERT_TRUE(store.synchronize());  // opened (and the table made) before the child starts
    const auto outcome = test::runInTwoProcesses(
        [&] {
            KeyValueStore own(file);
            return appendEntries(own, "list", 'C', 200);
        },
        [&] { return appendEntries(store, "list", 'P', 200); });
    ASSERT_EQ(outcome.problem, "");
    EXPECT_TRUE(outcome.parentSucceeded);
    EXPECT_TRUE(outcome.childSucceeded) << "the child's updates failed";
    EXPECT_EQ(entryFault(store.dataForKey("list").value().value_or(""), "CP", 200), "");
}

TEST_F(KeyValueStoreTest, shouldReportACorruptFileByNameAndLeaveItAlone) {
    std::mt19937 random(20240601);
    std::string garbage(8192, '\0');
    for (char& c : garbage) c = char(random());
    folder.write("kvstore.sqlite", garbage);

    KeyValueStore store(file);
    auto read = store.dataForKey("storedRss");
    ASSERT_FALSE(read.has_value());
    EXPECT_EQ(read.error().kind, Kind::unavailable);
    EXPECT_NE(read.error().message.find(file.string()), std::string::npos) << read.error().message;
    EXPECT_NE(read.error().message.find("not a database"), std::string::npos)
        << read.error().message;

    auto written = store.setData("[]", "storedRss");
    ASSERT_FALSE(written.has_value());
    EXPECT_EQ(written.error().kind, Kind::unavailable);
    auto updated = store.update("storedRss", [](const std::optional<std::string>&) {
        return std::optional<std::string>("[]");
    });
    EXPECT_FALSE(updated.has_value());
    EXPECT_FALSE(store.synchronize());
    EXPECT_EQ(fileBytes(file), garbage);

    // Once the file is dealt with, the same store works without a restart.
    std::filesystem::rename(file, folder.path() / "kvstore.sqlite.bad");
    EXPECT_TRUE(store.setData("[]", "storedRss"));
    EXPECT_EQ(store.dataForKey("storedRss").value(), "[]");
}

TEST_F(KeyValueStoreTest, shouldReportAMissingFolderByName) {
    const auto missing = folder.path() / "no-such-folder" / "kvstore.sqlite";
    KeyValueStore store(missing);
    auto written = store.setData("x", "key");
    ASSERT_FALSE(written.has_value());
    EXPECT_EQ(written.error().kind, Kind::unavailable);
    EXPECT_NE(written.error().message.find(missing.string()), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
}

}  // namespace
}  // namespace pressling
