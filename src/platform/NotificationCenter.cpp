#include "platform/NotificationCenter.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/MainQueue.h"

namespace pressling {

namespace {

struct Registration {
    std::uint64_t id;
    std::string name;
    std::optional<NotificationCenter::ObjectFilter> filter;
    NotificationCenter::Delivery delivery;
    NotificationCenter::Callback callback;
    // Cleared on removal. Deliveries work from a copy of the list, so each checks this just
    // before calling: an observer removed by an earlier observer of the same post is skipped.
    std::atomic<bool> alive{true};
};

using RegistrationList = std::vector<std::shared_ptr<Registration>>;

void deliver(const Registration& registration, const Notification& notification) {
    if (registration.alive.load(std::memory_order_acquire)) registration.callback(notification);
}

}  // namespace

struct NotificationCenter::State {
    std::mutex mutex;
    RegistrationList registrations;  // in registration order
    std::uint64_t nextId = 1;

    void remove(std::uint64_t id) {
        std::shared_ptr<Registration> removed;
        {
            std::lock_guard lock(mutex);
            for (auto it = registrations.begin(); it != registrations.end(); ++it) {
                if ((*it)->id == id) {
                    (*it)->alive.store(false, std::memory_order_release);
                    removed = std::move(*it);
                    registrations.erase(it);
                    break;
                }
            }
        }
        // The callback and its captures die here, outside the lock (unless a delivery in
        // progress still holds them): their destructors may use the centre.
    }
};

NotificationCenter::NotificationCenter() : state_(std::make_shared<State>()) {}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* const center = new NotificationCenter;
    return *center;
}

NotificationCenter::Observer NotificationCenter::addObserver(std::string name,
                                                             std::optional<ObjectFilter> object,
                                                             Delivery delivery, Callback callback) {
    auto registration = std::make_shared<Registration>();
    registration->name = std::move(name);
    registration->filter = std::move(object);
    registration->delivery = delivery;
    registration->callback = std::move(callback);
    std::lock_guard lock(state_->mutex);
    registration->id = state_->nextId++;
    state_->registrations.push_back(registration);
    return Observer(state_, registration->id);
}

void NotificationCenter::removeObserver(Observer& observer) {
    if (observer.state_.lock() != state_) return;
    observer.release();
}

void NotificationCenter::post(std::string name, std::any object) {
    RegistrationList matching;
    {
        std::lock_guard lock(state_->mutex);
        for (const auto& registration : state_->registrations) {
            if (registration->name == name) matching.push_back(registration);
        }
    }
    // Filters run user-supplied == on user values: keep them outside the lock.
    std::erase_if(matching, [&](const auto& registration) {
        return registration->filter && !registration->filter->matches(object);
    });
    if (matching.empty()) return;

    const auto notification =
        std::make_shared<const Notification>(Notification{std::move(name), std::move(object)});
    bool onMainThread = false;
    bool checkedThread = false;
    RegistrationList later;
    for (const auto& registration : matching) {
        if (registration->delivery == Delivery::mainQueue) {
            // Only ask when needed: a process with no main queue may still post to
            // posting-thread observers.
            if (!checkedThread) {
                onMainThread = mainQueue().isCurrent();
                checkedThread = true;
            }
            if (!onMainThread) {
                later.push_back(registration);
                continue;
            }
        }
        deliver(*registration, *notification);
    }
    if (!later.empty()) {
        mainQueue().async([later = std::move(later), notification] {
            for (const auto& registration : later) deliver(*registration, *notification);
        });
    }
}

NotificationCenter::Observer::~Observer() { release(); }

NotificationCenter::Observer::Observer(Observer&& other) noexcept
    : state_(std::move(other.state_)), id_(std::exchange(other.id_, 0)) {}

NotificationCenter::Observer& NotificationCenter::Observer::operator=(Observer&& other) noexcept {
    if (this != &other) {
        release();
        state_ = std::move(other.state_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

void NotificationCenter::Observer::release() {
    if (id_ == 0) return;
    if (auto state = state_.lock()) state->remove(id_);
    state_.reset();
    id_ = 0;
}

}  // namespace pressling
