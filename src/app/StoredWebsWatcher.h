#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace pressling {
class KeyValueStore;
}

namespace pressling::app {

// Posted with no object when the stored subscription list changed without a subscription
// coming or going: error flags written by a refresh, a title changed by another program. The
// screens that show the list rebuild; nothing is refreshed.
inline constexpr std::string_view kStoredWebsDidChangeNotification = "storedWebsDidChange";

// Follows the stored subscription list for changes this process did not announce: another
// program (pressling-cli, the share helper, another window's process) or this process's
// refresh writing the error flags. It reads the stored bytes when the application becomes
// active and every interval, and compares them with the bytes it saw last: a subscription
// that went posts "willRemoveWeb", else one that came posts "willUpdateWeb" (each starts one
// refresh of the article list), else any other change posts kStoredWebsDidChangeNotification.
// The flags a refresh writes back therefore never start another refresh. Changes announced in
// this process ("willUpdateWeb", "willRemoveWeb" posted by the add and remove flows) only
// become its new baseline. A list that cannot be read is skipped until it can.
//
// Main thread; the store must outlive it.
class StoredWebsWatcher final : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDefaultInterval{2000};

    explicit StoredWebsWatcher(KeyValueStore& listStore, QObject* parent = nullptr,
                               std::chrono::milliseconds interval = kDefaultInterval);

    // Reads the list now and posts what changed since the last look.
    void check();

private:
    std::optional<std::string> read();

    KeyValueStore& listStore_;
    QTimer timer_;
    std::optional<std::string> seen_;
    bool posting_ = false;
    NotificationCenter::Observer willUpdateWebObserver_;
    NotificationCenter::Observer willRemoveWebObserver_;
};

}  // namespace pressling::app
