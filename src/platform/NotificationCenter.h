#pragma once

#include <any>
#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace pressling {

// One posted notification, as observers receive it. A plain value; any thread.
struct Notification {
    std::string name;
    // What the poster passed along: a sender, or a value such as the index path of a selected
    // feed. Empty when the poster passed nothing.
    std::any object;

    // The object as a T, or null when it holds something else or nothing. The pointer lives as
    // long as this notification.
    template <class T>
    const T* objectAs() const {
        return std::any_cast<T>(&object);
    }
};

// A value an observer can ask for by equality: the object a notification must carry for that
// observer to hear it.
template <class T>
concept FilterableObject = std::equality_comparable<T> && std::copy_constructible<T>;

// Broadcasts named notifications within the process. Posters and observers know only the name
// (and, optionally, the object), never each other.
//
// Thread-safe: observers may be added, removed and notified from any thread, and an observer
// may add or remove observers — itself included — while it is being called. A notification
// reaches the observers registered when it was posted, in registration order; an observer
// added during a delivery does not receive the notification being delivered.
class NotificationCenter {
public:
    // Where an observer's callback runs.
    enum class Delivery {
        // On the thread that posts, before post returns.
        postingThread,
        // On the main queue. A post from the main thread calls the observer before post
        // returns, exactly like postingThread: callers rely on state being updated by then. A
        // post from any other thread hands the call to mainQueue().async.
        mainQueue,
    };

    // Which objects an observer hears about. Built implicitly from any copyable value with ==:
    // a notification matches when its object holds the same type and compares equal. Pointers
    // compare by address, and a pointer filter also matches a posted pointer that differs from
    // it only in const (so a filter of `this` in a const member function matches a post of
    // `this` elsewhere); a string literal is a pointer too, so filter on a std::string to
    // compare text. A notification without an object matches no filter.
    class ObjectFilter {
    public:
        template <FilterableObject T>
        ObjectFilter(T object) : matches_(matcher(std::move(object))) {}

        bool matches(const std::any& object) const { return matches_(object); }

    private:
        template <class T>
        static std::function<bool(const std::any&)> matcher(T wanted);
        std::function<bool(const std::any&)> matches_;
    };

    class Observer;
    using Callback = std::function<void(const Notification&)>;

    // A centre of its own, for code and tests that want isolation from the default one.
    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // The process's shared centre. Never destroyed, so a worker that posts while the process
    // exits finds it still there.
    static NotificationCenter& defaultCenter();

    // Calls callback for every notification named name whose object passes the filter (no
    // filter: any object, or none). Observation lasts as long as the returned token: destroying
    // it, or passing it to removeObserver, ends it. Discarding the token ends it at once.
    // A callback that throws propagates to whoever ran it: the poster for synchronous
    // delivery, the main queue (which logs it) otherwise.
    [[nodiscard]] Observer addObserver(std::string name, std::optional<ObjectFilter> object,
                                       Delivery delivery, Callback callback);

    // Ends observer's observation, leaving the token empty. After it returns, no call to that
    // observer starts on the calling thread, nor on the main queue if called from the main
    // thread; a call already running on another thread is not waited for. An empty token, or
    // one of another centre, is ignored.
    void removeObserver(Observer& observer);

    // Delivers a notification named name carrying object to every matching observer.
    void post(std::string name, std::any object = {});

private:
    struct State;
    std::shared_ptr<State> state_;
};

// The handle of one observation; destroying it removes the observer. Move-only. A token may
// outlive its centre: it then does nothing. Use a token from one thread at a time.
class NotificationCenter::Observer {
public:
    // An empty token that observes nothing.
    Observer() = default;
    ~Observer();
    Observer(Observer&& other) noexcept;
    Observer& operator=(Observer&& other) noexcept;
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

private:
    friend class NotificationCenter;
    Observer(std::weak_ptr<State> state, std::uint64_t id) : state_(std::move(state)), id_(id) {}
    void release();

    std::weak_ptr<State> state_;
    std::uint64_t id_ = 0;
};

template <class T>
std::function<bool(const std::any&)> NotificationCenter::ObjectFilter::matcher(T wanted) {
    return [wanted = std::move(wanted)](const std::any& object) {
        if constexpr (std::is_pointer_v<T>) {
            using Pointee = std::remove_cv_t<std::remove_pointer_t<T>>;
            if (auto* posted = std::any_cast<Pointee*>(&object)) return *posted == wanted;
            if (auto* posted = std::any_cast<const Pointee*>(&object)) return *posted == wanted;
            return false;
        } else {
            const T* posted = std::any_cast<T>(&object);
            return posted != nullptr && *posted == wanted;
        }
    };
}

}  // namespace pressling
