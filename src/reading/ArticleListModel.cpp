#include "reading/ArticleListModel.h"

#include "store/ArticleStore.h"

namespace pressling::reading {
namespace {

// The row date cache is dropped whole when it grows past this: a few screens' worth is all
// that painting needs, and scrolling through a long list must not keep every row's text.
constexpr std::size_t kMaxCachedRowDates = 2000;

}  // namespace

std::expected<std::unique_ptr<ArticleListModel>, StoreError> ArticleListModel::create(
    ArticleStore& store, QObject* parent) {
    std::unique_ptr<ArticleListModel> model(new ArticleListModel(store, parent));
    if (auto fetched = model->controller_->performFetch(); !fetched) {
        return std::unexpected(fetched.error());
    }
    model->rebuildSections();
    return model;
}

ArticleListModel::ArticleListModel(ArticleStore& store, QObject* parent)
    : QAbstractItemModel(parent), controller_(std::make_unique<FetchedResultsController>(store)) {
    controller_->setDelegate(this);
}

ArticleListModel::~ArticleListModel() { controller_->setDelegate(nullptr); }

std::expected<void, StoreError> ArticleListModel::refetch() {
    beginResetModel();
    auto fetched = controller_->performFetch();
    rebuildSections();
    endResetModel();
    emit contentChanged();
    return fetched;
}

bool ArticleListModel::refetchIfChanged() {
    if (!controller_->performFetch()) return false;
    // The fetch dropped the loaded rows; what is shown stays right as long as the sections
    // are the same, since the clean-up only deletes.
    if (sectionsMatchController()) return false;
    beginResetModel();
    rebuildSections();
    endResetModel();
    emit contentChanged();
    return true;
}

void ArticleListModel::reloadData() {
    hiddenMarkers_.clear();
    rowDates_.clear();
    sectionTitles_.clear();
    if (sections_.empty()) return;
    emit dataChanged(index(0, 0), index(int(sections_.size()) - 1, 0));
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        if (sections_[s].count == 0) continue;
        const QModelIndex parent = index(int(s), 0);
        emit dataChanged(index(0, 0, parent), index(int(sections_[s].count) - 1, 0, parent));
    }
}

void ArticleListModel::clearLastArticles() { lastArticles_.clear(); }

void ArticleListModel::appendLastArticle(const std::string& link) { lastArticles_.insert(link); }

void ArticleListModel::hideNewMarker(const QModelIndex& index) {
    const BlogPost* article = post(index);
    if (article == nullptr) return;
    if (hiddenMarkers_.insert(article->objectID).second)
        emit dataChanged(index, index, {IsNewRole});
}

bool ArticleListModel::isSection(const QModelIndex& index) const {
    return index.isValid() && index.internalId() == 0;
}

std::optional<IndexPath> ArticleListModel::indexPath(const QModelIndex& index) const {
    if (!index.isValid() || isSection(index)) return std::nullopt;
    const auto section = sectionRowById_.find(index.internalId());
    if (section == sectionRowById_.end()) return std::nullopt;
    return IndexPath{section->second, std::size_t(index.row())};
}

QModelIndex ArticleListModel::indexForPath(IndexPath path) const {
    if (path.section >= sections_.size() || path.row >= sections_[path.section].count) return {};
    return createIndex(int(path.row), 0, sections_[path.section].id);
}

std::optional<BlogPost> ArticleListModel::articleAt(const QModelIndex& index) {
    const BlogPost* article = post(index);
    if (article == nullptr) return std::nullopt;
    return *article;
}

QModelIndex ArticleListModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0) return {};
    if (!parent.isValid()) {
        if (std::size_t(row) >= sections_.size()) return {};
        return createIndex(row, 0, quintptr(0));
    }
    if (!isSection(parent) || std::size_t(parent.row()) >= sections_.size()) return {};
    const Section& section = sections_[std::size_t(parent.row())];
    if (std::size_t(row) >= section.count) return {};
    return createIndex(row, 0, section.id);
}

QModelIndex ArticleListModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || isSection(child)) return {};
    const auto section = sectionRowById_.find(child.internalId());
    if (section == sectionRowById_.end()) return {};
    return createIndex(int(section->second), 0, quintptr(0));
}

int ArticleListModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return int(sections_.size());
    if (parent.column() != 0 || !isSection(parent)) return 0;
    const auto section = std::size_t(parent.row());
    return section < sections_.size() ? int(sections_[section].count) : 0;
}

int ArticleListModel::columnCount(const QModelIndex& parent) const {
    return isSection(parent) || !parent.isValid() ? 1 : 0;
}

bool ArticleListModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

Qt::ItemFlags ArticleListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // A day's header is a label: neither selectable nor enabled, which is what keeps the view's
    // keyboard navigation and its start-up current row off it.
    if (isSection(index)) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QVariant ArticleListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (isSection(index)) {
        const auto section = std::size_t(index.row());
        if (section >= sections_.size()) return {};
        switch (role) {
            case Qt::DisplayRole:
            case Qt::AccessibleTextRole:
                return sectionTitle(section);
            case IsSectionRole:
                return true;
            default:
                return {};
        }
    }
    if (role == IsSectionRole) return false;
    // Between the old and the new results: nothing here would be the row the view expects.
    if (changing_) return {};
    const BlogPost* article = post(index);
    if (article == nullptr) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
        case TitleRole:
            return QString::fromStdString(article->title.value_or(std::string()));
        case Qt::AccessibleTextRole:
            return QString::fromStdString(article->web.value_or(std::string())) + ", " +
                   QString::fromStdString(article->title.value_or(std::string())) + ", " +
                   rowDate(*article);
        case WebRole:
            if (!article->web) return {};
            return QString::fromStdString(*article->web).toUpper();
        case DateTextRole:
            return rowDate(*article);
        case IsNewRole:
            return article->link.has_value() && !hiddenMarkers_.contains(article->objectID) &&
                   lastArticles_.contains(article->link->absoluteString());
        case LinkRole:
            if (!article->link) return {};
            return QString::fromStdString(article->link->absoluteString());
        default:
            return {};
    }
}

const BlogPost* ArticleListModel::post(const QModelIndex& index) const {
    const auto path = indexPath(index);
    if (!path) return nullptr;
    if (const BlogPost* loaded = controller_->loadedObjectAt(*path)) return loaded;
    if (!controller_->objectAt(*path)) return nullptr;
    return controller_->loadedObjectAt(*path);
}

QString ArticleListModel::sectionTitle(std::size_t section) const {
    const std::string& name = sections_[section].name;
    auto cached = sectionTitles_.find(name);
    if (cached == sectionTitles_.end()) {
        cached = sectionTitles_.emplace(name, formatter_.sectionTitle(name)).first;
    }
    return cached->second;
}

QString ArticleListModel::rowDate(const BlogPost& post) const {
    // A post without pubDate shows "now", which must not be cached.
    const bool hasDay = post.sectionDate.has_value() && !post.sectionDate->empty();
    if (!post.pubDate) return formatter_.rowDate(std::nullopt, hasDay);
    auto cached = rowDates_.find(post.objectID);
    if (cached != rowDates_.end()) return cached->second;
    if (rowDates_.size() >= kMaxCachedRowDates) rowDates_.clear();
    return rowDates_.emplace(post.objectID, formatter_.rowDate(post.pubDate, hasDay)).first->second;
}

// --- Changes from the controller -------------------------------------------------------------

void ArticleListModel::controllerWillChangeContent(FetchedResultsController&) {
    changing_ = true;
    resetAfterChange_ = false;
    reloadAfterChange_ = false;
}

void ArticleListModel::didChangeSection(FetchedResultsController&, const SectionInfo& section,
                                        std::size_t index, FetchedResultsChangeType type) {
    if (resetAfterChange_) return;
    switch (type) {
        case FetchedResultsChangeType::insert:
            if (index > sections_.size()) break;
            beginInsertRows({}, int(index), int(index));
            sections_.insert(sections_.begin() + std::ptrdiff_t(index),
                             Section{nextSectionId_++, section.name, 0});
            reindexSections();
            endInsertRows();
            return;
        case FetchedResultsChangeType::remove:
            if (index >= sections_.size()) break;
            beginRemoveRows({}, int(index), int(index));
            sections_.erase(sections_.begin() + std::ptrdiff_t(index));
            reindexSections();
            endRemoveRows();
            return;
        case FetchedResultsChangeType::move:
        case FetchedResultsChangeType::update:
            return;  // a section's name is its identity: nothing to show
    }
    // A position outside what the model shows: it no longer follows the controller.
    resetAfterChange_ = true;
}

void ArticleListModel::didChangeObject(FetchedResultsController&, const BlogPost& object,
                                       FetchedResultsChangeType type,
                                       std::optional<IndexPath> oldIndexPath,
                                       std::optional<IndexPath> newIndexPath) {
    if (resetAfterChange_) return;
    rowDates_.erase(object.objectID);
    switch (type) {
        case FetchedResultsChangeType::insert: {
            if (!newIndexPath) return;
            const IndexPath path = *newIndexPath;
            if (path.section >= sections_.size() || path.row > sections_[path.section].count) break;
            beginInsertRows(index(int(path.section), 0), int(path.row), int(path.row));
            ++sections_[path.section].count;
            endInsertRows();
            return;
        }
        case FetchedResultsChangeType::remove: {
            if (!oldIndexPath) return;
            const IndexPath path = *oldIndexPath;
            if (path.section >= sections_.size() || path.row >= sections_[path.section].count)
                break;
            beginRemoveRows(index(int(path.section), 0), int(path.row), int(path.row));
            --sections_[path.section].count;
            endRemoveRows();
            return;
        }
        case FetchedResultsChangeType::update:
            // Its old position may have shifted by the other changes of this save: redraw all.
            reloadAfterChange_ = true;
            return;
        case FetchedResultsChangeType::move:
            break;
    }
    resetAfterChange_ = true;
}

void ArticleListModel::controllerDidResetContent(FetchedResultsController&) {
    resetAfterChange_ = true;
}

void ArticleListModel::controllerDidChangeContent(FetchedResultsController&) {
    changing_ = false;
    if (resetAfterChange_) {
        beginResetModel();
        rebuildSections();
        endResetModel();
    } else if (reloadAfterChange_) {
        reloadData();
    }
    resetAfterChange_ = reloadAfterChange_ = false;
    emit contentChanged();
}

void ArticleListModel::rebuildSections() {
    sections_.clear();
    rowDates_.clear();
    hiddenMarkers_.clear();
    const std::size_t count = controller_->numberOfSections();
    sections_.reserve(count);
    for (std::size_t s = 0; s < count; ++s) {
        sections_.push_back(Section{nextSectionId_++, controller_->sectionName(s),
                                    controller_->numberOfObjects(s)});
    }
    reindexSections();
}

void ArticleListModel::reindexSections() {
    sectionRowById_.clear();
    for (std::size_t s = 0; s < sections_.size(); ++s) sectionRowById_[sections_[s].id] = s;
}

bool ArticleListModel::sectionsMatchController() const {
    if (controller_->numberOfSections() != sections_.size()) return false;
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        if (controller_->sectionName(s) != sections_[s].name ||
            controller_->numberOfObjects(s) != sections_[s].count) {
            return false;
        }
    }
    return true;
}

}  // namespace pressling::reading
