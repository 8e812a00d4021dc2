#pragma once
// The listeners of a value: permanent ones, and removable ones whose Subscription may outlive the
// value (removing then does nothing).

#include "platform/Subscription.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

template <class... Args> class Listeners {
public:
    using Listener = std::function<void(Args...)>;

    void add(Listener listener) { entries_->items.push_back({0, std::move(listener)}); }

    Subscription subscribe(Listener listener) {
        const int id = ++entries_->lastId;
        entries_->items.push_back({id, std::move(listener)});
        return Subscription([weak = std::weak_ptr<Entries>(entries_), id] {
            if (const auto entries = weak.lock())
                std::erase_if(entries->items, [id](const auto& item) { return item.first == id; });
        });
    }

    // Calls each listener; one added in the same round waits for the next, one removed is skipped.
    void notify(const Args&... args) const {
        const auto entries = entries_;
        const auto items = entries->items;
        for (const auto& item : items)
            if (item.first == 0 || stillListed(*entries, item.first)) item.second(args...);
    }

private:
    struct Entries {
        std::vector<std::pair<int, Listener>> items;
        int lastId = 0;
    };
    static bool stillListed(const Entries& entries, int id) {
        for (const auto& item : entries.items)
            if (item.first == id) return true;
        return false;
    }
    std::shared_ptr<Entries> entries_ = std::make_shared<Entries>();
};
