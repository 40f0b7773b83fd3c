// pathlux-sim: a simulated GPS receiver on a pseudo-terminal (or an existing device), for the
// demo and the end-to-end tests. See --help.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/sim/commands.h"
#include "tools/sim/faults.h"
#include "tools/sim/link.h"
#include "tools/sim/options.h"
#include "tools/sim/receiver.h"
#include "tools/sim/replay.h"
#include "tools/sim/report.h"
#include "tools/sim/signals.h"

namespace pathlux::sim {
namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

// Pause after a piece of a split sentence, so that the reader sees it on its own; at high speed
// a fraction of the tick instead, so that the pieces still go out within their second.
constexpr auto kSplitPause = std::chrono::milliseconds(20);
constexpr int kSplitPausesPerTick = 8;

int Fail(const std::string& message) {
    std::fprintf(stderr, "pathlux-sim: %s\n", message.c_str());
    return 1;
}

class Simulator {
  public:
    Simulator(const SimOptions& options, Link& link, Signals& signals)
        : options_(options),
          link_(link),
          signals_(signals),
          injector_(options.faults & ~kFaultFlood, options.faultPercent, options.seed),
          flood_((options.faults & kFaultFlood) != 0) {}

    void UseReceiver(Receiver& receiver) { receiver_ = &receiver; }
    void UseReplay(std::vector<std::string> lines) { replay_ = std::move(lines); }

    int Run() {
        const auto period = std::chrono::duration_cast<Clock::duration>(
            Seconds((receiver_ != nullptr ? 1.0 : 1.0 / options_.rate) / options_.speed));
        splitPause_ = std::min<Clock::duration>(kSplitPause, period / kSplitPausesPerTick);
        const Clock::time_point start = Clock::now();
        const bool limited = options_.duration > 0;
        const Clock::time_point deadline =
            start + std::chrono::duration_cast<Clock::duration>(Seconds(options_.duration));
        Clock::time_point nextTick = start;

        while (!signals_.StopRequested()) {
            Clock::time_point now = Clock::now();
            if (limited && now >= deadline) {
                break;
            }
            // A flood goes on as soon as the reader took everything; a second with nothing to
            // send (an empty output list) waits for its tick as usual rather than spinning.
            const bool floodGoesOn = flood_ && queue_.empty() && lastTickSent_;
            if (signals_.TakeReplugRequest()) {
                if (!Replug()) {
                    return Fail(ErrnoText("cannot plug in again"));
                }
            }
            if (!outputEnded_ && (floodGoesOn || now >= nextTick)) {
                if (!queue_.empty()) {
                    DropUnsent();
                }
                outputEnded_ = !Tick();
                lastTickSent_ = !queue_.empty();
                // After a stall, go on from now instead of catching up in a burst.
                nextTick = floodGoesOn ? now + period : std::max(nextTick + period, now);
            }
            bool wantWrite = false;
            if (!Write(now, wantWrite)) {
                return Fail(ErrnoText("cannot write to " + link_.path()));
            }
            if (outputEnded_ && queue_.empty() && !sentReported_) {
                ReportSent();
                if (options_.count == 0) {
                    return 0;  // the replay is over and sent
                }
            }

            Clock::time_point wake = outputEnded_                      ? Clock::time_point::max()
                                     : !flood_                         ? nextTick
                                     : queue_.empty() && lastTickSent_ ? now
                                     : queue_.empty()                  ? nextTick
                                                                       : Clock::time_point::max();
            if (!queue_.empty() && !wantWrite) {
                wake = std::min(wake, resumeAt_);
            }
            if (limited) {
                wake = std::min(wake, deadline);
            }
            pollfd fds[2] = {
                {signals_.wakeFd(), POLLIN, 0},
                {link_.fd(),
                 static_cast<short>((link_.readable() ? POLLIN : 0) | (wantWrite ? POLLOUT : 0)),
                 0}};
            timespec timeout{};
            timespec* timeoutPtr = nullptr;
            if (wake != Clock::time_point::max()) {
                const auto wait = std::max(wake - Clock::now(), Clock::duration::zero());
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
                timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
                timeout.tv_nsec = static_cast<long>(ns % 1000000000);
                timeoutPtr = &timeout;
            }
            if (ppoll(fds, 2, timeoutPtr, nullptr) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return Fail(ErrnoText("cannot wait"));
            }
            if ((fds[0].revents & POLLIN) != 0) {
                signals_.DrainWake();
            }
            if ((fds[1].revents & POLLIN) != 0 && !ReadCommands()) {
                return Fail(ErrnoText("cannot read from " + link_.path()));
            }
            if ((fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 &&
                (fds[1].revents & POLLIN) == 0) {
                return Fail(link_.path() + " hung up");
            }
        }
        if (!sentReported_) {
            ReportSent();
        }
        return 0;
    }

  private:
    // Produces the next second (or replayed line) into the queue; false when nothing is left.
    bool Tick() {
        if (options_.count != 0 && ticks_ == options_.count) {
            return false;
        }
        ++ticks_;
        std::vector<std::string> lines;
        if (receiver_ != nullptr) {
            lines = receiver_->NextSecond();
            for (std::string& line : lines) {
                line += "\r\n";
            }
            if (receiver_->last().modeChanged) {
                WriteReport(FixReport(receiver_->last(), receiver_->place()));
            }
        } else {
            if (nextLine_ >= replay_.size()) {
                if (!options_.loop || replay_.empty()) {
                    --ticks_;
                    return false;
                }
                nextLine_ = 0;
            }
            lines.push_back(replay_[nextLine_++]);
        }
        std::vector<Chunk> chunks;
        for (const std::string& line : lines) {
            injector_.Emit(line, chunks);
        }
        queue_.insert(queue_.end(), chunks.begin(), chunks.end());
        return true;
    }

    // A receiver does not hold back its output: what the reader has not taken by the next
    // second is lost, and on a pseudo-terminal so are the stale bytes nobody read.
    void DropUnsent() {
        ++sent_.drops;
        queue_.clear();
        written_ = 0;
        link_.FlushUnread();
    }

    // Writes queued pieces until the link is full or a split pause starts. False on an error.
    bool Write(Clock::time_point now, bool& wantWrite) {
        while (!queue_.empty() && now >= resumeAt_) {
            const Chunk& chunk = queue_.front();
            const ssize_t n =
                write(link_.fd(), chunk.bytes.data() + written_, chunk.bytes.size() - written_);
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

    void ReportSent() {
        WriteReport(SentReport(sent_));
        sentReported_ = true;
    }

    // The receiver is unplugged and plugged in again: a new pseudo-terminal, and what was not
    // yet sent is lost with the old one. An existing device stays as it is. False on an error.
    bool Replug() {
        if (!options_.device.empty()) {
            return true;
        }
        queue_.clear();
        written_ = 0;
        link_.Close();
        const std::string error = link_.OpenPty(options_.link);
        if (!error.empty()) {
            WriteReport(error);
            return false;
        }
        WriteReport(ReplugReport(link_.path()));
        return true;
    }

    // Reads what the reader sent; false on a read error.
    bool ReadCommands() {
        char buffer[4096];
        const ssize_t n = read(link_.fd(), buffer, sizeof buffer);
        if (n == 0) {
            link_.EndInput();  // end of input: a file or a closed pipe
            return true;
        }
        if (n < 0) {
            return errno == EAGAIN || errno == EINTR;
        }
        std::vector<LineSplitter::Line> lines;
        splitter_.Feed(std::string_view(buffer, static_cast<std::size_t>(n)), lines);
        for (const LineSplitter::Line& line : lines) {
            const ParsedCommand parsed =
                line.tooLong ? ParsedCommand{Verdict::kTooLong, {}} : ParseCommand(line.text);
            WriteReport(RxReport(line, parsed.verdict));
            // A replayed log is what it is: commands are reported but change nothing.
            if (parsed.verdict == Verdict::kAccepted && receiver_ != nullptr) {
                receiver_->Obey(parsed.command);
                if (parsed.command.type == Command::Type::kRestart) {
                    WriteReport(RestartReport(parsed.command.restart));
                }
            }
        }
        return true;
    }

    const SimOptions& options_;
    Link& link_;
    Signals& signals_;
    FaultInjector injector_;
    bool flood_;
    Receiver* receiver_ = nullptr;
    std::vector<std::string> replay_;
    std::size_t nextLine_ = 0;
    std::deque<Chunk> queue_;
    std::size_t written_ = 0;  // of the queue's first piece
    Clock::time_point resumeAt_;
    Clock::duration splitPause_{};
    bool lastTickSent_ = true;  // the last tick queued something
    bool outputEnded_ = false;  // --count reached, or the replay is over
    bool sentReported_ = false;
    std::uint64_t ticks_ = 0;
    SentCount sent_;
    LineSplitter splitter_;
};

int Run(int argc, char** argv) {
    SimOptions options;
    options.place = kDefaultPlace;
    const std::string error =
        ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!error.empty()) {
        std::fprintf(stderr, "pathlux-sim: %s (try --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    std::vector<std::string> replayLines;
    if (!options.replay.empty()) {
        std::string log;
        const std::string readError = ReadReplayLog(options.replay, log);
        if (!readError.empty()) {
            return Fail(readError);
        }
        replayLines = ReplayLines(log);
    }

    Signals signals;
    const std::string signalError = signals.Catch();
    if (!signalError.empty()) {
        return Fail(signalError);
    }

    int status = 0;
    {
        Link link;
        const std::string linkError =
            options.device.empty() ? link.OpenPty(options.link) : link.OpenDevice(options.device);
        if (!linkError.empty()) {
            status = Fail(linkError);
        } else if (std::printf("%s\n", link.path().c_str()) < 0 || std::fflush(stdout) != 0) {
            status = Fail("cannot write to standard output");
        } else {
            Simulator simulator(options, link, signals);
            ReceiverSetup setup;
            setup.place = options.place;
            setup.seed = options.seed;
            setup.startUtc =
                options.startUtc.value_or(static_cast<std::int64_t>(std::time(nullptr)));
            Receiver receiver(setup);
            if (options.replay.empty()) {
                simulator.UseReceiver(receiver);
            } else {
                simulator.UseReplay(std::move(replayLines));
            }
            status = simulator.Run();
        }
    }
    return status;
}

}  // namespace
}  // namespace pathlux::sim

int main(int argc, char** argv) {
    return pathlux::sim::Run(argc, argv);
}
