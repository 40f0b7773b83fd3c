// The signals pathlux-sim answers: SIGINT and SIGTERM stop it, SIGUSR1 unplugs it and plugs it in
// again. A handler only notes the request and writes a byte to a pipe, so that the run loop's wait
// ends at once and the loop does the work.
#pragma once

#include <string>

namespace pathlux::sim {

// The handlers are the process's: one instance at a time.
class Signals {
  public:
    Signals() = default;
    Signals(const Signals&) = delete;
    Signals& operator=(const Signals&) = delete;
    ~Signals();

    // Makes the wake pipe and installs the handlers; a reader that goes away then ends a write
    // with an error instead of killing the process. Empty string on success, else what failed.
    std::string Catch();

    // Readable once a signal came; DrainWake empties it.
    int wakeFd() const { return wakeRead_; }
    void DrainWake() const;

    bool StopRequested() const;
    // True once after SIGUSR1 (signals that come before it is taken count as one).
    bool TakeReplugRequest();

  private:
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
};

}  // namespace pathlux::sim
