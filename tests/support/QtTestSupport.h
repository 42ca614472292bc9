#pragma once

// For the Qt screen suites: printable QString, event-loop waits, a finger, a manual clock, stores;
// and the widgets the suites look into.

#include "feedparse/Article.h"
#include "platform/KeyValueStore.h"
#include "store/ArticleOperations.h"
#include "store/ArticleStore.h"
#include "subscriptions/StoredWebs.h"
#include "support/Fixtures.h"
#include "ui/QtMainQueue.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPointingDevice>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <functional>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace pressling::test {

inline constexpr std::chrono::seconds kEventLoopGuard{30};

// Runs the event loop (the main queue included) until done() holds; false after a hang guard.
inline bool waitUntil(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, int(std::chrono::milliseconds(kEventLoopGuard).count()));
}

// A finger on widget: down at from, moves evenly spaced up to the last at to, up at to.
inline void touchDrag(QWidget* widget, QPoint from, QPoint to, int moves) {
    static QPointingDevice* const finger = QTest::createTouchDevice();  // lives with the app
    QTest::touchEvent(widget, finger).press(0, from, widget);
    for (int step = 1; step <= moves; ++step)
        QTest::touchEvent(widget, finger).move(0, from + (to - from) * step / moves, widget);
    QTest::touchEvent(widget, finger).release(0, to, widget);
}

// The main queue while it lives: delayed work runs when advance() brings the clock to it.
class ManualClockQueue final : public MainQueue {
public:
    ManualClockQueue() : events_(ui::QtMainQueue::install()) { installMainQueue(*this); }
    ~ManualClockQueue() override { ui::QtMainQueue::install(); }
    void async(std::function<void()> work) override { events_.async(std::move(work)); }
    void asyncAfter(std::chrono::milliseconds delay, std::function<void()> work) override {
        delayed_.emplace_back(now_ + delay, std::move(work));
    }
    bool isCurrent() const override { return events_.isCurrent(); }
    // Moves the clock on by step and runs what has come due, in submission order.
    void advance(std::chrono::milliseconds step) {
        now_ += step;
        const auto due = [&](const auto& item) { return item.first <= now_; };
        for (auto it = std::ranges::find_if(delayed_, due); it != delayed_.end();
             it = std::ranges::find_if(delayed_, due)) {
            auto work = std::move(it->second);
            delayed_.erase(it);
            work();
        }
    }

private:
    MainQueue& events_;
    std::chrono::milliseconds now_{0};
    std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> delayed_;
};

// The two stores a screen works on, in a fresh folder: the subscription list and the articles.
class ReaderStores {
public:
    ReaderStores() : list_(folder_.path() / "kvstore.sqlite") {
        auto opened = ArticleStore::open(folder_.path() / "CDModel.sqlite");
        if (!opened) throw std::runtime_error(opened.error().message);
        articles_ = std::move(*opened);
    }
    KeyValueStore& list() { return list_; }
    ArticleStore& articles() { return *articles_; }
    void subscribe(const std::vector<Web>& webs) { saveWebs(webs, list_); }
    void store(const std::vector<Article>& entries) {
        if (auto saved = saveArticles(entries, *articles_); !saved)
            throw std::runtime_error(saved.error().message);
    }

private:
    TemporaryDirectory folder_;
    KeyValueStore list_;
    std::unique_ptr<ArticleStore> articles_;
};

}  // namespace pressling::test
