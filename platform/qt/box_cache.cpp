#include "platform/qt/box_cache.h"

namespace pathlux::platform {

const QImage* BoxCache::Find(const QByteArray& key) const {
    const auto found = kept_.constFind(key);
    return found != kept_.cend() ? &found.value() : nullptr;
}

void BoxCache::Keep(const QByteArray& key, const QImage& after) {
    const std::size_t size = static_cast<std::size_t>(key.size()) + after.sizeInBytes();
    if (bytes_ + size > kMaxBytes) {
        kept_.clear();
        bytes_ = 0;
    }
    kept_.insert(key, after);
    bytes_ += size;
}

}  // namespace pathlux::platform
