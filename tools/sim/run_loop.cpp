#include "tools/sim/run_loop.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>

#include "tools/sim/commands.h"
#include "tools/sim/faults.h"
#include "tools/sim/line_speed.h"
#include "tools/sim/outbox.h"
#include "tools/sim/report.h"

namespace pathlux::sim {
namespace {

using Clock = Outbox::Clock;
using Seconds = std::chrono::duration<double>;

constexpr Clock::time_point kNever = Clock::time_point::max();
// Pause after a piece of a split sentence, so that the reader sees it on its own; at high speed
// a fraction of the tick instead, so that the pieces still go out within their second.
constexpr auto kSplitPause = std::chrono::milliseconds(20);
constexpr int kSplitPausesPerTick = 8;

// The wait for ppoll until wake, in timeout; null for no limit.
const timespec* WaitUntil(Clock::time_point wake, timespec& timeout) {
    if (wake == kNever) {
        return nullptr;
    }
    const auto wait = std::max(wake - Clock::now(), Clock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
    timeout.tv_nsec = static_cast<long>(ns % 1000000000);
    return &timeout;
}

// How a run ended: an empty error when it ended as it should.
struct Ending {
    std::string error;
};
// Nothing while the loop goes on.
using Turn = std::optional<Ending>;

class Simulator {
  public:
    Simulator(const SimOptions& options, Link& link, Signals& signals, Receiver* receiver,
              std::vector<std::string> replay)
        : options_(options),
          link_(link),
          signals_(signals),
          receiver_(receiver),
          replay_(std::move(replay)),
          injector_(options.faults & ~kFaultFlood, options.faultPercent, options.seed),
          flood_((options.faults & kFaultFlood) != 0) {}

    std::string Run() {
        Start();
        while (!signals_.StopRequested()) {
            const Clock::time_point now = Clock::now();
            if (limited_ && now >= deadline_) {
                break;
            }
            if (const Turn ending = Step(now)) {
                return ending->error;
            }
        }
        if (!sentReported_) {
            ReportSent();
        }
        return {};
    }

  private:
    void Start() {
        period_ = std::chrono::duration_cast<Clock::duration>(
            Seconds((receiver_ != nullptr ? 1.0 : 1.0 / options_.rate) / options_.speed));
        outbox_.SetSplitPause(
            std::min<Clock::duration>(kSplitPause, period_ / kSplitPausesPerTick));
        const Clock::time_point start = Clock::now();
        limited_ = options_.duration > 0;
        deadline_ = start + std::chrono::duration_cast<Clock::duration>(Seconds(options_.duration));
        nextTick_ = start;
    }

    // One turn: a replug when asked for, a tick when due, the writes, then the wait.
    Turn Step(Clock::time_point now) {
        // Decided on the queue as it was before a replug empties it.
        const bool floodGoesOn = FloodGoesOn();
        if (signals_.TakeReplugRequest()) {
            const std::string error = Replug();
            if (!error.empty()) {
                return Ending{"cannot plug in again: " + error};
            }
        }
        if (!outputEnded_ && (floodGoesOn || now >= nextTick_)) {
            Tick(now, floodGoesOn);
        }
        bool wantWrite = false;
        if (!outbox_.Write(link_.fd(), now, wantWrite)) {
            return Ending{ErrnoText("cannot write to " + link_.path())};
        }
        if (outputEnded_ && outbox_.empty() && !sentReported_) {
            ReportSent();
            if (options_.count == 0) {
                return Ending{};  // the replay is over and sent
            }
        }
        return Wait(now, wantWrite);
    }

    // A flood goes on as soon as the reader took everything; a second with nothing to send (an
    // empty output list) waits for its tick as usual rather than spinning.
    bool FloodGoesOn() const { return flood_ && outbox_.empty() && lastTickSent_; }

    void Tick(Clock::time_point now, bool floodGoesOn) {
        if (!outbox_.empty()) {
            DropUnsent();
        }
        outputEnded_ = !Produce();
        lastTickSent_ = !outbox_.empty();
        // After a stall, go on from now instead of catching up in a burst.
        nextTick_ = floodGoesOn ? now + period_ : std::max(nextTick_ + period_, now);
    }

    // Puts the next second (or replayed line) into the queue; false when nothing is left.
    bool Produce() {
        if (options_.count != 0 && ticks_ == options_.count) {
            return false;
        }
        std::vector<std::string> lines;
        if (receiver_ != nullptr) {
            lines = ReceiverSecond();
        } else if (const std::string* line = NextReplayLine()) {
            lines.push_back(*line);
        } else {
            return false;
        }
        ++ticks_;
        std::vector<Chunk> chunks;
        for (const std::string& line : lines) {
            injector_.Emit(line, chunks);
        }
        const std::uint32_t readerBaud = link_.ReaderBaud();
        for (Chunk& chunk : chunks) {
            chunk.bytes = sendGarbler_.Pass(chunk.bytes, options_.baud, readerBaud);
        }
        outbox_.Add(chunks);
        return true;
    }

    std::vector<std::string> ReceiverSecond() {
        std::vector<std::string> lines = receiver_->NextSecond();
        for (std::string& line : lines) {
            line += "\r\n";
        }
        if (receiver_->last().modeChanged) {
            WriteReport(FixReport(receiver_->last(), receiver_->place()));
        }
        return lines;
    }

    // The next line of the log, from its start again with --loop; null at its end.
    const std::string* NextReplayLine() {
        if (nextLine_ >= replay_.size()) {
            if (!options_.loop || replay_.empty()) {
                return nullptr;
            }
            nextLine_ = 0;
        }
        return &replay_[nextLine_++];
    }

    // A receiver does not hold back its output: what the reader has not taken by the next
    // second is lost, and on a pseudo-terminal so are the stale bytes nobody read.
    void DropUnsent() {
        outbox_.Drop();
        link_.FlushUnread();
    }

    void ReportSent() {
        WriteReport(SentReport(outbox_.sent()));
        sentReported_ = true;
    }

    // The receiver is unplugged and plugged in again: a new pseudo-terminal, and what was not
    // yet sent is lost with the old one. An existing device stays as it is. Returns what failed.
    std::string Replug() {
        if (!options_.device.empty()) {
            return {};
        }
        outbox_.Clear();
        link_.Close();
        std::string error = link_.OpenPty(options_.link, options_.baud);
        if (error.empty()) {
            WriteReport(ReplugReport(link_.path()));
        }
        return error;
    }

    // Waits for a signal, the link, or the next thing due, and serves what came.
    Turn Wait(Clock::time_point now, bool wantWrite) {
        const int linkEvents = (link_.readable() ? POLLIN : 0) | (wantWrite ? POLLOUT : 0);
        pollfd fds[2] = {{signals_.wakeFd(), POLLIN, 0},
                         {link_.fd(), static_cast<short>(linkEvents), 0}};
        timespec timeout{};
        if (ppoll(fds, 2, WaitUntil(WakeAt(now, wantWrite), timeout), nullptr) < 0) {
            if (errno == EINTR) {
                return std::nullopt;
            }
            return Ending{ErrnoText("cannot wait")};
        }
        if ((fds[0].revents & POLLIN) != 0) {
            signals_.DrainWake();
        }
        const short link = fds[1].revents;
        if ((link & POLLIN) != 0 && !ReadCommands()) {
            return Ending{ErrnoText("cannot read from " + link_.path())};
        }
        if ((link & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (link & POLLIN) == 0) {
            return Ending{link_.path() + " hung up"};
        }
        return std::nullopt;
    }

    // When the wait ends at the latest, if neither a signal nor the link ends it first.
    Clock::time_point WakeAt(Clock::time_point now, bool wantWrite) const {
        Clock::time_point wake = TickWake(now);
        if (!outbox_.empty() && !wantWrite) {
            wake = std::min(wake, outbox_.resumeAt());  // the end of a split pause
        }
        if (limited_) {
            wake = std::min(wake, deadline_);
        }
        return wake;
    }

    // When the next tick is due.
    Clock::time_point TickWake(Clock::time_point now) const {
        if (outputEnded_) {
            return kNever;
        }
        if (FloodGoesOn()) {
            return now;
        }
        // A flood with output waiting ticks once the reader has taken it all.
        if (flood_ && !outbox_.empty()) {
            return kNever;
        }
        return nextTick_;
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
        // What a reader at another speed sends arrives garbled too.
        const std::string bytes =
            receiveGarbler_.Pass(std::string_view(buffer, static_cast<std::size_t>(n)),
                                 link_.ReaderBaud(), options_.baud);
        std::vector<LineSplitter::Line> lines;
        splitter_.Feed(bytes, lines);
        for (const LineSplitter::Line& line : lines) {
            Answer(line);
        }
        return true;
    }

    // Reports a line from the reader, and obeys it when it is a command accepted.
    void Answer(const LineSplitter::Line& line) {
        const ParsedCommand parsed =
            line.tooLong ? ParsedCommand{Verdict::kTooLong, {}} : ParseCommand(line.text);
        WriteReport(RxReport(line, parsed.verdict));
        // A replayed log is what it is: commands are reported but change nothing.
        if (parsed.verdict != Verdict::kAccepted || receiver_ == nullptr) {
            return;
        }
        receiver_->Obey(parsed.command);
        if (parsed.command.type == Command::Type::kRestart) {
            WriteReport(RestartReport(parsed.command.restart));
        }
    }

    const SimOptions& options_;
    Link& link_;
    Signals& signals_;
    Receiver* receiver_;
    std::vector<std::string> replay_;
    FaultInjector injector_;
    bool flood_;
    Clock::duration period_{};
    bool limited_ = false;  // by --duration
    Clock::time_point deadline_;
    Clock::time_point nextTick_;
    std::size_t nextLine_ = 0;
    Outbox outbox_;
    bool lastTickSent_ = true;  // the last tick queued something
    bool outputEnded_ = false;  // --count reached, or the replay is over
    bool sentReported_ = false;
    std::uint64_t ticks_ = 0;
    LineSplitter splitter_;
    LineGarbler sendGarbler_;
    LineGarbler receiveGarbler_;
};

}  // namespace

std::string RunSimulation(const SimOptions& options, Link& link, Signals& signals,
                          Receiver* receiver, std::vector<std::string> replay) {
    return Simulator(options, link, signals, receiver, std::move(replay)).Run();
}

}  // namespace pathlux::sim
