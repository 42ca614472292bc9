// The reading list's file: one entry per address, two programs at once, unusable files, the CLI.

#include "ReadingListCommand.h"
#include "platform/DataFolder.h"
#include "platform/Sqlite.h"
#include "readinglist/LinkActions.h"
#include "support/Fixtures.h"
#include "support/TwoProcesses.h"

#include <gtest/gtest.h>

#include <fstream>

namespace pressling {
namespace {

Url url(const std::string& text) { return *Url::parse(text); }
using Rows = std::vector<std::string>;

class ReadingListTest : public testing::Test {
protected:
    Rows rows() {  // "url title preview", newest first
        Rows found;
        const auto items = list.items().value();
        for (const auto& item : items)
            found.push_back(item.url + " " + item.title + " " + item.previewText);
        return found;
    }
    test::TemporaryDirectory folder;
    ReadingList list{folder.path() / kReadingListFileName};
};

TEST_F(ReadingListTest, anAddressIsKeptOnceNewestFirstAndOnlyWebPagesAreKept) {
    ASSERT_TRUE(list.addReadingListItem(url("https://a.example/1"), "One", "A"));
    ASSERT_TRUE(list.addReadingListItem(url("https://a.example/2"), "Two", "A"));
    ASSERT_TRUE(list.addReadingListItem(url("https://a.example/1"), "One again", "B"));
    EXPECT_EQ(rows(), (Rows{"https://a.example/1 One again B", "https://a.example/2 Two A"}));
    for (const char* notAPage : {"javascript:alert(1)", "file:///etc/passwd", "tag:a.example,1",
                                 "http:///nohost", "relative/page"}) {
        EXPECT_EQ(list.addReadingListItem(url(notAPage), "x", "y").error().kind,
                  ReadingListError::Kind::invalidURL)
            << notAPage;
    }
}

TEST_F(ReadingListTest, twoProgramsAddingAtOnceLoseNothing) {
    const auto addMany = [this](const std::string& side) {
        ReadingList own(list.file());  // each side opens the file itself
        for (int i = 0; i < 40; ++i) {
            const auto page = url("https://" + side + ".example/" + std::to_string(i));
            if (!own.addReadingListItem(page, "t", side)) return false;
            if (!own.addReadingListItem(url("https://both.example/"), "both", side)) return false;
        }
        return true;
    };
    const auto outcome = test::runInTwoProcesses([&] { return addMany("child"); },
                                                 [&] { return addMany("parent"); });
    ASSERT_EQ(outcome.problem, "");
    EXPECT_TRUE(outcome.childSucceeded && outcome.parentSucceeded);
    EXPECT_EQ(rows().size(), 81u);
}

TEST_F(ReadingListTest, aFileThatCannotBeUsedIsRefusedAndKeepsWhatItHolds) {
    // Not a database: named in the error and left byte for byte.
    const std::string garbage(4096, '\x5a');
    folder.write(kReadingListFileName, garbage);
    const auto added = list.addReadingListItem(url("https://a.example/"), "A", "A");
    const auto read = list.items();
    ASSERT_FALSE(added || read);
    for (const auto& failure : {added.error(), read.error()}) {
        EXPECT_EQ(failure.kind, ReadingListError::Kind::unavailable);
        EXPECT_NE(failure.message.find(kReadingListFileName), std::string::npos);
    }
    std::ifstream stored(list.file(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stored), {}), garbage);

    // A list whose writes fail keeps the entries it had.
    std::filesystem::remove(list.file());
    ASSERT_TRUE(list.addReadingListItem(url("https://a.example/kept"), "Kept", "A"));
    auto db = sqlite::Database::open(list.file());
    ASSERT_TRUE(db && db->execute("CREATE TRIGGER full BEFORE INSERT ON ReadingListItem "
                                  "BEGIN SELECT RAISE(ABORT, 'disk full'); END;"));
    EXPECT_EQ(list.addReadingListItem(url("https://a.example/new"), "New", "A").error().kind,
              ReadingListError::Kind::failed);
    EXPECT_EQ(rows(), Rows{"https://a.example/kept Kept A"});

    // A database of something else is not taken over.
    const auto foreign = folder.path() / "foreign.sqlite";
    ASSERT_TRUE(sqlite::Database::open(foreign)->execute("CREATE TABLE notes (text TEXT)"));
    EXPECT_EQ(ReadingList(foreign).items().error().kind, ReadingListError::Kind::unavailable);
}

TEST_F(ReadingListTest, anArticleWithoutLinkTitleOrFeedNameIsNotAdded) {
    BlogPost whole;
    whole.link = url("https://a.example/p"), whole.title = "P", whole.web = "Feed A";
    std::vector<BlogPost> lacking(3, whole);
    lacking[0].link.reset();
    lacking[1].title.reset();
    lacking[2].web.reset();
    for (const BlogPost& post : lacking) addToReadingList(post, list);
    EXPECT_TRUE(rows().empty());
    addToReadingList(whole, list);
    EXPECT_EQ(rows(), Rows{"https://a.example/p P Feed A"});
}

// The command in-process on the test's data folder: its status and what it printed.
std::pair<int, std::string> readingList(std::vector<std::string_view> arguments) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = cli::runReadingListCommand(arguments);
    testing::internal::GetCapturedStderr();
    return {status, testing::internal::GetCapturedStdout()};
}

TEST_F(ReadingListTest, theCommandAddsRemovesAndPrintsNewestFirst) {
    setDataFolderOverride(folder.path());
    EXPECT_EQ(readingList({"add", "https://a.example/1", "--title", "One"}).first, 0);
    const auto [status, out] =
        readingList({"add", "https://a.example/2", "--title", "Two\tforged"});
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("\tTwo\\tforged\thttps://a.example/2\t\n"), std::string::npos);
    EXPECT_LT(out.find("a.example/2"), out.find("a.example/1"));
    EXPECT_EQ(readingList({"remove", "https://a.example/2"}).first, 0);
    EXPECT_EQ(readingList({"remove", "https://a.example/2"}).first, 1);
    EXPECT_EQ(rows(), Rows{"https://a.example/1 One "});
    EXPECT_EQ(readingList({"add", "https://a.example/3"}).first, 2);  // no title
    EXPECT_EQ(readingList({"add", "javascript:x", "--title", "t"}).first, 2);
    setDataFolderOverride({});
}

}  // namespace
}  // namespace pressling
