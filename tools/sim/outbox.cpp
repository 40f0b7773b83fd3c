#include "tools/sim/outbox.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace pathlux::sim {

void Outbox::Add(const std::vector<Chunk>& chunks) {
    queue_.insert(queue_.end(), chunks.begin(), chunks.end());
}

void Outbox::Drop() {
    ++sent_.drops;
    Clear();
}

void Outbox::Clear() {
    queue_.clear();
    written_ = 0;
}

bool Outbox::Write(int fd, Clock::time_point now, bool& wantWrite) {
    while (!queue_.empty() && now >= resumeAt_) {
        const Chunk& chunk = queue_.front();
        const ssize_t n = write(fd, chunk.bytes.data() + written_, chunk.bytes.size() - written_);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                wantWrite = true;
                return true;
            }
            return false;
        }
        written_ += static_cast<std::size_t>(n);
        sent_.bytes += static_cast<std::uint64_t>(n);
        if (written_ < chunk.bytes.size()) {
            continue;
        }
        sent_.lines += chunk.endsLine ? 1 : 0;
        if (chunk.pauseAfter) {
            resumeAt_ = Clock::now() + splitPause_;
        }
        queue_.pop_front();
        written_ = 0;
    }
    return true;
}

}  // namespace pathlux::sim
