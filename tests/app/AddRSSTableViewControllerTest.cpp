// The catalog screen: which search sets its rows, and what a tap and the typed address add.

#include "app/AddRSSTableViewController.h"
#include "app/DialogViewController.h"
#include "app/RSSTableViewCell.h"
#include "support/ScreenFixture.h"

namespace pressling::app {
namespace {

const QString kSearching = "Enter text to start searching";
const QString kNothingFound = "There are no RSS in our list, try to add new it manually";

class AddRSSTableViewControllerTest : public test::ScreenTest {
protected:
    AddRSSTableViewControllerTest() { screen.show(); }

    RSSData feed(const std::string& name) {
        return {name, "About " + name, *Url::parse(server.url("/" + name))};
    }
    // The rows as "name: description".
    QStringList rows() const {
        QStringList shown;
        for (const auto* cell : test::cells<RSSTableViewCell>(screen.tableView()))
            shown << cell->titleLabel()->text() + ": " + cell->descLabel()->text();
        return shown;
    }

    struct Pending {
        std::string text;
        CKFeed::SearchCompletion completion;
    };
    std::vector<Pending> searches;  // every search the screen started, in order
    AddRSSTableViewController screen{stores.list(), nullptr,
                                     [this](std::string text, CKFeed::SearchCompletion done) {
                                         searches.push_back({std::move(text), std::move(done)});
                                     }};
};

TEST_F(AddRSSTableViewControllerTest, onlyTheSearchOfTheCurrentTextSetsTheRows) {
    EXPECT_EQ(screen.backgroundMessage(), kSearching);
    QTest::keyClicks(screen.searchField(), "tech");
    ASSERT_EQ(searches.size(), 4u) << "one search per change";
    EXPECT_EQ(searches[3].text, "tech");
    searches[3].completion(std::vector<RSSData>{feed("Alpha"), feed("Beta")});
    searches[1].completion(std::vector<RSSData>{feed("Stale")});  // "te" completes last
    EXPECT_EQ(rows(), (QStringList{"Alpha: About Alpha", "Beta: About Beta"}));
    EXPECT_EQ(screen.backgroundMessage(), "");

    screen.searchField()->setText("techx");
    searches.back().completion(std::unexpected(CatalogError::failed("offline")));
    EXPECT_EQ(rows().size(), 2) << "a failed search changes nothing";
    screen.searchField()->setText("techxy");
    searches.back().completion(std::vector<RSSData>{});
    EXPECT_EQ(rows(), QStringList());
    EXPECT_EQ(screen.backgroundMessage(), kNothingFound);

    screen.searchField()->setText("tec");
    screen.searchField()->clear();
    searches.back().completion(std::vector<RSSData>{feed("Late")});
    EXPECT_EQ(rows(), QStringList()) << "a search that ends after the field was cleared";
    EXPECT_EQ(screen.backgroundMessage(), kSearching);
}

TEST_F(AddRSSTableViewControllerTest, aTapAndATypedAddressSubscribeButTextThatIsNoAddressDoesNot) {
    server.serve("/Alpha", test::rssReply("Alpha"));
    server.serve("/typed", test::rssReply("Typed"));
    screen.searchField()->setText("a");
    searches.back().completion(std::vector<RSSData>{feed("Alpha")});
    screen.tableView()->setCurrentRow(0);
    screen.didSelectRow(0);
    ASSERT_TRUE(test::waitUntil([&] { return screen.findChild<DialogViewController*>(); }));
    EXPECT_EQ(screen.findChild<DialogViewController*>()->textLabel()->text(), "Link added");
    EXPECT_TRUE(screen.tableView()->selectedItems().isEmpty());
    EXPECT_EQ(rows().size(), 1) << "subscribing leaves the rows";

    for (const std::string& typed :
         {std::string(), std::string("exa mple"), server.url("/typed")}) {
        QDialog* alert = screen.addNewRSS();
        alert->findChild<QLineEdit*>("urlField")->setText(QString::fromStdString(typed));
        alert->findChild<QPushButton*>("subscribeButton")->click();
    }
    ASSERT_TRUE(test::waitUntil([&] { return loadWebs(stores.list()).size() == 2; }));
    EXPECT_EQ(server.requests().size(), 2u) << "only the row and the address were checked";
    EXPECT_EQ(loadWebs(stores.list())[1].url, server.url("/typed"));
}

}  // namespace
}  // namespace pressling::app
