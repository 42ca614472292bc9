#include "app/StoredWebsWatcher.h"

#include "flows/AddFeed.h"
#include "flows/RemoveFeed.h"
#include "subscriptions/StoredWebs.h"

#include <QGuiApplication>

#include <algorithm>
#include <set>

namespace pressling::app {
namespace {

std::set<std::string> addresses(const std::optional<std::string>& bytes) {
    std::set<std::string> urls;
    if (!bytes) return urls;
    for (const Web& web : decodeWebs(*bytes).value_or(std::vector<Web>{})) urls.insert(web.url);
    return urls;
}

}  // namespace

StoredWebsWatcher::StoredWebsWatcher(KeyValueStore& listStore, QObject* parent,
                                     std::chrono::milliseconds interval)
    : QObject(parent), listStore_(listStore) {
    seen_ = read();
    timer_.setInterval(interval);
    connect(&timer_, &QTimer::timeout, this, &StoredWebsWatcher::check);
    timer_.start();
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive) check();
            });
    // What this process announced is known to every screen already.
    const auto rebase = [this](const Notification&) {
        if (!posting_) seen_ = read();
    };
    auto& center = NotificationCenter::defaultCenter();
    const auto onMainQueue = NotificationCenter::Delivery::mainQueue;
    willUpdateWebObserver_ = center.addObserver(std::string(kWillUpdateWebNotification),
                                                std::nullopt, onMainQueue, rebase);
    willRemoveWebObserver_ = center.addObserver(std::string(kWillRemoveWebNotification),
                                                std::nullopt, onMainQueue, rebase);
}

std::optional<std::string> StoredWebsWatcher::read() {
    auto bytes = listStore_.dataForKey(kStoredWebsKey);
    if (!bytes) return seen_;  // unreadable for now: no change to report
    return bytes->value_or(std::string());
}

void StoredWebsWatcher::check() {
    std::optional<std::string> now = read();
    if (now == seen_) return;
    const std::set<std::string> before = addresses(seen_), after = addresses(now);
    seen_ = std::move(now);
    const bool removed =
        std::ranges::any_of(before, [&](auto& url) { return !after.contains(url); });
    const bool added = std::ranges::any_of(after, [&](auto& url) { return !before.contains(url); });
    std::string_view name = kStoredWebsDidChangeNotification;
    if (removed) {
        name = kWillRemoveWebNotification;
    } else if (added) {
        name = kWillUpdateWebNotification;
    }
    posting_ = true;
    NotificationCenter::defaultCenter().post(std::string(name));
    posting_ = false;
}

}  // namespace pressling::app
