#include "store/FetchedResultsController.h"

#include "platform/Log.h"

#include <fmt/format.h>

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstdint>
#include <tuple>

namespace pressling {
namespace {

struct Day {
    std::int64_t year;
    int month;
    int day;
};

// The day a section name stands for: "2021-03-07", the year with any number of digits and
// maybe a sign (makeSectionDate writes what the calendar gives), month and day with two.
std::optional<Day> parseDay(std::string_view name) {
    Day day{};
    const char* const end = name.data() + name.size();
    const char* p = name.data();
    const char* digitsStart = (p != end && *p == '-') ? p + 1 : p;
    auto year = std::from_chars(p, end, day.year);
    if (year.ec != std::errc() || year.ptr == digitsStart) return std::nullopt;
    const auto twoDigits = [&](const char* at, int& value) {
        if (end - at < 3 || at[0] != '-' || at[1] < '0' || at[1] > '9' || at[2] < '0' ||
            at[2] > '9') {
            return false;
        }
        value = (at[1] - '0') * 10 + (at[2] - '0');
        return true;
    };
    p = year.ptr;
    if (!twoDigits(p, day.month) || !twoDigits(p + 3, day.day) || p + 6 != end) {
        return std::nullopt;
    }
    return day;
}

// Newest day first; then names that are no day, descending; the nameless section last.
bool sectionBefore(const std::string& a, const std::string& b) {
    const auto rank = [](const std::string& name, const std::optional<Day>& day) {
        return day ? 0 : name.empty() ? 2 : 1;
    };
    const auto dayA = parseDay(a);
    const auto dayB = parseDay(b);
    const int rankA = rank(a, dayA);
    const int rankB = rank(b, dayB);
    if (rankA != rankB) return rankA < rankB;
    if (dayA && dayB) {
        return std::tie(dayA->year, dayA->month, dayA->day) >
               std::tie(dayB->year, dayB->month, dayB->day);
    }
    return a > b;
}

std::string sectionOf(const BlogPost& post) { return post.sectionDate.value_or(std::string()); }

StoreError outsideResults(IndexPath indexPath, std::string_view why) {
    return StoreError{StoreError::Kind::fetchFailed,
                      fmt::format("index path ({}, {}) {}", indexPath.section, indexPath.row, why)};
}

}  // namespace

FetchedResultsController::FetchedResultsController(ArticleStore& store,
                                                   std::optional<ArticlePredicate> predicate)
    : store_(store), predicate_(std::move(predicate)) {
    observation_ =
        store_.observeSaves([this](const ObjectsDidChange& change) { storeDidSave(change); });
}

FetchedResultsController::~FetchedResultsController() = default;

void FetchedResultsController::setPredicate(std::optional<ArticlePredicate> predicate) {
    predicate_ = std::move(predicate);
}

std::expected<void, StoreError> FetchedResultsController::performFetch() {
    auto counts = store_.fetchSectionCounts(predicate_.value_or(ArticlePredicate{}));
    if (!counts) return std::unexpected(std::move(counts.error()));
    std::vector<Section> sections;
    sections.reserve(counts->size());
    std::size_t total = 0;
    for (auto& counted : *counts) {
        total += counted.count;
        sections.push_back(Section{std::move(counted.name), counted.count, {}});
    }
    std::sort(sections.begin(), sections.end(),
              [](const Section& a, const Section& b) { return sectionBefore(a.name, b.name); });
    sections_ = std::move(sections);
    objectCount_ = total;
    cachedBatches_ = 0;
    loadedBatchCount_ = 0;
    fetched_ = true;
    return {};
}

std::size_t FetchedResultsController::numberOfObjects(std::size_t section) const {
    assert(section < sections_.size());
    return section < sections_.size() ? sections_[section].count : 0;
}

const std::string& FetchedResultsController::sectionName(std::size_t section) const {
    assert(section < sections_.size());
    static const std::string kNone;
    return section < sections_.size() ? sections_[section].name : kNone;
}

std::optional<std::size_t> FetchedResultsController::sectionIndex(const std::string& name) const {
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (sections_[i].name == name) return i;
    }
    return std::nullopt;
}

std::expected<BlogPost, StoreError> FetchedResultsController::objectAt(IndexPath indexPath) {
    if (indexPath.section >= sections_.size() ||
        indexPath.row >= sections_[indexPath.section].count) {
        return std::unexpected(outsideResults(indexPath, "is outside the fetched results"));
    }
    Section& section = sections_[indexPath.section];
    const std::size_t number = indexPath.row / kBatchSize;
    auto batch = section.batches.find(number);
    if (batch == section.batches.end()) {
        // Keyset from the nearest loaded batch above, skipping the batches in between; from
        // the top of the section when none is loaded. Scrolling down reads by keyset alone.
        std::optional<ArticleStore::RowKey> after;
        std::size_t skip = number * kBatchSize;
        if (auto above = section.batches.lower_bound(number); above != section.batches.begin()) {
            --above;
            const auto& rows = above->second.rows;
            if (rows.size() == kBatchSize) {
                after = ArticleStore::RowKey{ArticleStore::sortKeyOf(rows.back()),
                                             rows.back().objectID};
                skip = (number - above->first - 1) * kBatchSize;
            }
        }
        auto rows = store_.fetchSectionRows(predicate_.value_or(ArticlePredicate{}), section.name,
                                            after, skip, kBatchSize);
        if (!rows) return std::unexpected(std::move(rows.error()));
        ++loadedBatchCount_;
        evictBatchesIfNeeded();
        batch = section.batches.emplace(number, Batch{std::move(*rows), 0}).first;
        ++cachedBatches_;
    }
    batch->second.lastUse = ++useClock_;
    const std::size_t within = indexPath.row % kBatchSize;
    if (within >= batch->second.rows.size()) {
        return std::unexpected(
            outsideResults(indexPath,
                           "is no longer in the store (it changed without a save of this context); "
                           "perform the fetch again"));
    }
    return batch->second.rows[within];
}

const BlogPost* FetchedResultsController::loadedObjectAt(IndexPath indexPath) const {
    if (indexPath.section >= sections_.size()) return nullptr;
    const Section& section = sections_[indexPath.section];
    if (indexPath.row >= section.count) return nullptr;
    auto batch = section.batches.find(indexPath.row / kBatchSize);
    if (batch == section.batches.end()) return nullptr;
    const std::size_t within = indexPath.row % kBatchSize;
    return within < batch->second.rows.size() ? &batch->second.rows[within] : nullptr;
}

void FetchedResultsController::evictBatchesIfNeeded() {
    while (cachedBatches_ >= kMaxCachedBatches) {
        Section* oldestSection = nullptr;
        std::map<std::size_t, Batch>::iterator oldest;
        for (Section& section : sections_) {
            for (auto it = section.batches.begin(); it != section.batches.end(); ++it) {
                if (oldestSection == nullptr || it->second.lastUse < oldest->second.lastUse) {
                    oldestSection = &section;
                    oldest = it;
                }
            }
        }
        if (oldestSection == nullptr) {
            cachedBatches_ = 0;  // the count drifted; nothing is cached
            return;
        }
        oldestSection->batches.erase(oldest);
        --cachedBatches_;
    }
}

// A save's rows are placed by counting, in the store as it is after the save, the rows of
// their section that come before them: that is an inserted row's new row number. A deleted
// row's old number is the same count taken back to the state before the save: minus the
// inserted rows before it, plus the other deleted rows before it. Nothing needs the section's
// rows in memory. The store refuses saves while its observers run, so "after the save" is
// exactly this save's state.
void FetchedResultsController::storeDidSave(const ObjectsDidChange& change) {
    if (!fetched_) return;
    const ArticlePredicate predicate = predicate_.value_or(ArticlePredicate{});

    struct Row {
        const BlogPost* post;
        std::string section;
        ArticleStore::RowKey key;
        IndexPath path{};
    };
    const auto keyOf = [](const BlogPost& post) {
        return ArticleStore::RowKey{ArticleStore::sortKeyOf(post), post.objectID};
    };
    const auto comesBefore = [](const ArticleStore::RowKey& a, const ArticleStore::RowKey& b) {
        return std::tie(a.sortKey, a.objectID) > std::tie(b.sortKey, b.objectID);
    };
    const auto inconsistent = [](std::string what) {
        return StoreError{StoreError::Kind::fetchFailed,
                          "the results no longer match the store: " + std::move(what)};
    };

    std::vector<Row> removed;
    std::vector<Row> added;
    for (const BlogPost& post : change.deleted) {
        if (!ArticleStore::matches(predicate, post)) continue;
        std::string section = sectionOf(post);
        const auto index = sectionIndex(section);
        // A row this controller never counted: another process stored it after the fetch.
        if (!index) continue;
        removed.push_back(Row{&post, std::move(section), keyOf(post), IndexPath{*index, 0}});
    }
    for (const BlogPost& post : change.inserted) {
        if (ArticleStore::matches(predicate, post)) {
            added.push_back(Row{&post, sectionOf(post), keyOf(post)});
        }
    }
    if (removed.empty() && added.empty()) return;

    for (Row& row : removed) {
        auto before = store_.countSectionRowsBefore(predicate, row.section, row.key);
        if (!before) return resetAfterFailure(before.error());
        auto number = std::int64_t(*before);
        for (const Row& other : added) {
            if (other.section == row.section && comesBefore(other.key, row.key)) --number;
        }
        for (const Row& other : removed) {
            if (&other != &row && other.section == row.section && comesBefore(other.key, row.key)) {
                ++number;
            }
        }
        if (number < 0 || std::size_t(number) >= sections_[row.path.section].count) {
            return resetAfterFailure(inconsistent(
                fmt::format("a deleted row falls outside section \"{}\"", row.section)));
        }
        row.path.row = std::size_t(number);
    }

    // The sections after the save, by name, with their counts.
    std::map<std::string, std::int64_t> delta;
    for (const Row& row : removed) --delta[row.section];
    for (const Row& row : added) ++delta[row.section];
    struct Counted {
        std::string name;
        std::size_t count;
        std::optional<std::size_t> oldIndex;  // set when the section was there before
    };
    std::vector<Counted> counted;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        const auto adjustment = delta.find(sections_[i].name);
        const std::int64_t count =
            std::int64_t(sections_[i].count) + (adjustment == delta.end() ? 0 : adjustment->second);
        if (count < 0) {
            return resetAfterFailure(inconsistent("a section lost more rows than it held"));
        }
        if (count > 0) counted.push_back(Counted{sections_[i].name, std::size_t(count), i});
    }
    for (const auto& [name, count] : delta) {
        if (sectionIndex(name)) continue;
        if (count < 0) return resetAfterFailure(inconsistent("a section lost rows it never had"));
        counted.push_back(Counted{name, std::size_t(count), std::nullopt});
    }
    std::sort(counted.begin(), counted.end(),
              [](const Counted& a, const Counted& b) { return sectionBefore(a.name, b.name); });
    const auto newIndexOf = [&](const std::string& name) {
        return std::size_t(
            std::find_if(counted.begin(), counted.end(),
                         [&](const Counted& section) { return section.name == name; }) -
            counted.begin());
    };

    for (Row& row : added) {
        auto before = store_.countSectionRowsBefore(predicate, row.section, row.key);
        if (!before) return resetAfterFailure(before.error());
        row.path = IndexPath{newIndexOf(row.section), *before};
        if (row.path.section >= counted.size() || row.path.row >= counted[row.path.section].count) {
            return resetAfterFailure(inconsistent(
                fmt::format("an inserted row falls outside section \"{}\"", row.section)));
        }
    }

    // Every answer is in: switch to the new results. Sections without changes keep their
    // loaded batches; in the others the rows moved, so theirs are dropped.
    std::vector<bool> kept(sections_.size(), false);
    for (const Counted& section : counted) {
        if (section.oldIndex) kept[*section.oldIndex] = true;
    }
    std::vector<std::size_t> removedSections;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (!kept[i]) removedSections.push_back(i);
    }
    std::vector<Section> sections;
    std::vector<std::size_t> insertedSections;
    sections.reserve(counted.size());
    std::size_t total = 0;
    std::size_t cached = 0;
    for (std::size_t j = 0; j < counted.size(); ++j) {
        Counted& section = counted[j];
        total += section.count;
        if (!section.oldIndex) insertedSections.push_back(j);
        if (section.oldIndex && !delta.contains(section.name)) {
            sections.push_back(std::move(sections_[*section.oldIndex]));
            cached += sections.back().batches.size();
        } else {
            sections.push_back(Section{std::move(section.name), section.count, {}});
        }
    }
    sections_ = std::move(sections);
    objectCount_ = total;
    cachedBatches_ = cached;

    if (delegate_ == nullptr) return;
    std::sort(removed.begin(), removed.end(),
              [](const Row& a, const Row& b) { return a.path > b.path; });
    std::sort(added.begin(), added.end(),
              [](const Row& a, const Row& b) { return a.path < b.path; });
    FetchedResultsControllerDelegate& delegate = *delegate_;
    delegate.controllerWillChangeContent(*this);
    for (const Row& row : removed) {
        delegate.didChangeObject(*this, *row.post, FetchedResultsChangeType::remove, row.path,
                                 std::nullopt);
    }
    for (auto index = removedSections.rbegin(); index != removedSections.rend(); ++index) {
        // The name is gone from the results; the deleted rows that emptied it still carry it.
        const auto row = std::find_if(removed.begin(), removed.end(),
                                      [&](const Row& row) { return row.path.section == *index; });
        delegate.didChangeSection(*this,
                                  FetchedResultsControllerDelegate::SectionInfo{
                                      row != removed.end() ? row->section : std::string(), 0},
                                  *index, FetchedResultsChangeType::remove);
    }
    for (std::size_t index : insertedSections) {
        delegate.didChangeSection(*this,
                                  FetchedResultsControllerDelegate::SectionInfo{
                                      sections_[index].name, sections_[index].count},
                                  index, FetchedResultsChangeType::insert);
    }
    for (const Row& row : added) {
        delegate.didChangeObject(*this, *row.post, FetchedResultsChangeType::insert, std::nullopt,
                                 row.path);
    }
    delegate.controllerDidChangeContent(*this);
}

void FetchedResultsController::resetAfterFailure(const StoreError& error) {
    log::error(fmt::format("the article list cannot follow a save, so it reads the store again: {}",
                           error.message));
    if (auto fetched = performFetch(); !fetched) {
        log::error(
            fmt::format("the article list cannot read the store: {}", fetched.error().message));
        sections_.clear();
        objectCount_ = 0;
        cachedBatches_ = 0;
    }
    if (delegate_ != nullptr) {
        delegate_->controllerWillChangeContent(*this);
        delegate_->controllerDidResetContent(*this);
        delegate_->controllerDidChangeContent(*this);
    }
}

}  // namespace pressling
