#include "platform/post.h"

#include <map>
#include <mutex>
#include <string>

namespace pathlux::platform {
namespace {

constexpr std::uint32_t kFirstMessage = 0xC000;
constexpr std::uint32_t kLastMessage = 0xFFFF;

}  // namespace

std::uint32_t RegisterWindowMessage(std::string_view name) {
    // Function-local, so that registering from a static initialiser of another file is safe.
    static std::mutex mutex;
    static std::map<std::string, std::uint32_t, std::less<>> registered;
    if (name.empty()) {
        return 0;
    }
    std::lock_guard lock(mutex);
    if (const auto found = registered.find(name); found != registered.end()) {
        return found->second;
    }
    const std::uint32_t next = kFirstMessage + static_cast<std::uint32_t>(registered.size());
    if (next > kLastMessage) {
        return 0;  // the range is used up, as on the original platform
    }
    registered.emplace(name, next);
    return next;
}

}  // namespace pathlux::platform
