// A thread-safe queue that stands in for the window: the watcher posts to it, the test takes the
// notifications off it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/post.h"

namespace pathlux::test {

struct Posted {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

class PostQueue : public platform::PostTarget {
  public:
    bool PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard lock(mutex_);
        posted_.push_back({message, wParam, lParam});
        changed_.notify_all();
        return true;
    }

    // The next notification, or nothing when none comes within the time.
    std::optional<Posted> Take(std::chrono::milliseconds within = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, within, [this] { return !posted_.empty(); })) {
            return std::nullopt;
        }
        const Posted first = posted_.front();
        posted_.pop_front();
        return first;
    }

    std::size_t Size() const {
        std::lock_guard lock(mutex_);
        return posted_.size();
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Posted> posted_;
};

}  // namespace pathlux::test
