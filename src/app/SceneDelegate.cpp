#include "app/SceneDelegate.h"

#include "app/MainViewController.h"
#include "app/SidebarViewController.h"
#include "flows/Cleanup.h"
#include "platform/NotificationCenter.h"
#include "reading/DetailViewController.h"
#include "reading/MasterViewController.h"
#include "ui/Localized.h"
#include "ui/NavigationController.h"
#include "ui/Platform.h"

#include <QAction>
#include <QEvent>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace pressling::app {
namespace {

constexpr int kPrimaryColumnMinimumWidth = 400;
constexpr int kPrimaryColumnMaximumWidth = 520;
constexpr int kSupplementaryColumnMinimumWidth = 400;
constexpr int kSupplementaryColumnMaximumWidth = 520;
// The sidebar's range, and the width under which three columns no longer fit beside a page.
constexpr int kSidebarMinimumWidth = 180;
constexpr int kSidebarMaximumWidth = 320;
constexpr int kThreeColumnCollapseWidth = 900;

}  // namespace

SceneDelegate::SceneDelegate(ArticleStore& store, KeyValueStore& listStore, QWidget* window)
    : QObject(window), store_(store), listStore_(listStore), window_(window) {
    Q_ASSERT(window != nullptr);
}

ui::NavigationController* SceneDelegate::makeColumns() {
    RefreshOptions refresh;
    refresh.listStore = &listStore_;
    refresh.articleStore = &store_;
    master_ = new reading::MasterViewController(store_, refresh);
    detail_ = new reading::DetailViewController();
    auto* navigation = new ui::NavigationController(detail_);
    navigation->setObjectName("detailNavigationController");
    navigation->addRightBarWidget(detail_->activityIndicator());
    navigation->addRightBarWidget(detail_->shareButton());
    return navigation;
}

MainViewController* SceneDelegate::makeSplitViewController() {
    auto* split = new MainViewController(window_);
    ui::NavigationController* detail = makeColumns();
    sidebar_ = new SidebarViewController(listStore_, store_);
    auto* sources = new ui::NavigationController(sidebar_);
    sources->setObjectName("sidebarNavigationController");
    // What the way back from the list to the sources is called.
    sources->setWindowTitle(ui::Localized::tr("Links"));
    // The list's bar hides and shows the sources, and leads back to them when collapsed; the
    // page's bar only leads back to the list, when the page alone is on screen.
    master_->setLeftBarButtonItem(split->displayModeButtonItem());
    auto* back = new QAction(ui::Localized::tr("Articles"), detail);
    back->setIcon(QIcon::fromTheme("go-previous"));
    const auto showBack = [split, back] { back->setVisible(split->isShowingSecondaryOnly()); };
    connect(split->displayModeButtonItem(), &QAction::changed, back, showBack);
    connect(back, &QAction::triggered, split->displayModeButtonItem(), &QAction::trigger);
    showBack();
    detail->setLeftBarButtonItem(back);
    split->setTopColumnForCollapsingHandler(&SceneDelegate::topColumnForCollapsing);
    split->setViewControllers(sources, master_, detail);
    split->setPrimaryColumnWidths(kSidebarMinimumWidth, kSidebarMaximumWidth);
    split->setSupplementaryColumnWidths(kSupplementaryColumnMinimumWidth,
                                        kSupplementaryColumnMaximumWidth);
    split->setCollapseWidth(kThreeColumnCollapseWidth);
    return split;
}

void SceneDelegate::sceneWillConnect() {
    Q_ASSERT(split_ == nullptr);
    if (!ui::isPhone()) {
        split_ = makeSplitViewController();
    } else {
        split_ = new MainViewController(window_);
        ui::NavigationController* detail = makeColumns();
        detail->setLeftBarButtonItem(split_->displayModeButtonItem());
        split_->setCollapseHandler(&SceneDelegate::collapseSecondaryOntoPrimary);
        split_->setViewControllers(master_, detail);
        split_->setPrimaryColumnWidths(kPrimaryColumnMinimumWidth, kPrimaryColumnMaximumWidth);
        split_->setAlwaysCollapsed(true);
    }

    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split_);
    window_->installEventFilter(this);
}

void SceneDelegate::sceneDidBecomeActive() {
    ++activations_;
    (void)cleanUpArticles(store_, listStore_);
    if (master_ != nullptr) master_->articlesMayHaveBeenDeleted();
}

bool SceneDelegate::collapseSecondaryOntoPrimary(QWidget* secondary, QWidget*) {
    auto* navigation = qobject_cast<ui::NavigationController*>(secondary);
    if (navigation == nullptr) return false;
    auto* detail = qobject_cast<reading::DetailViewController*>(navigation->topViewController());
    return detail != nullptr && !detail->detailItem().has_value();
}

ui::SplitViewController::Column SceneDelegate::topColumnForCollapsing(
    ui::SplitViewController::Column) {
    return ui::SplitViewController::Column::supplementary;
}

bool SceneDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        if (event->type() == QEvent::WindowActivate) {
            sceneDidBecomeActive();
        } else if (event->type() == QEvent::WindowStateChange) {
            const auto* change = static_cast<QWindowStateChangeEvent*>(event);
            if ((change->oldState() & Qt::WindowMinimized) && !window_->isMinimized()) {
                NotificationCenter::defaultCenter().post(
                    std::string(reading::MasterViewController::kWillEnterForegroundNotification));
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace pressling::app
