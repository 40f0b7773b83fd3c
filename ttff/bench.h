// The TTFF bench: a series of restarts, each timed to the receiver's first 2D and 3D fix (and,
// when asked, to a position near a known place). It owns no port and no loop: the face that
// drives it (the command-line tool, the window) reports what arrived and when, asks whether a
// restart is due, and sends it.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pathlux::ttff {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Millis = std::chrono::milliseconds;

// What a run waits for. A 3D fix is also a 2D one: 2D is the first fix of either kind.
enum Target : int { kTarget2D = 0, kTarget3D = 1, kTargetNear = 2 };
constexpr int kTargetCount = 3;

// The row of the restart command table (cold, warm, hot, factory).
enum class RestartKind : int { kCold = 0, kWarm = 1, kHot = 2, kFactory = 3 };

// "cold", "warm", "hot" or "factory".
const char* RestartName(RestartKind kind);
// The kind of a name as RestartName gives it; nothing for any other text.
std::optional<RestartKind> ParseRestartName(const std::string& name);

struct NearPlace {
    double latitudeDeg = 0;
    double longitudeDeg = 0;
    double metres = 0;
};

struct BenchSettings {
    RestartKind restart = RestartKind::kCold;
    int runs = 1;
    Millis timeout{180000};
    // Before each restart the fix mode must have stayed the same (a held fix, no fix, or a
    // silent receiver) for this long, so that every run starts from the same kind of state.
    Millis settle{3000};
    bool until3d = true;  // false: a run ends at its first fix
    std::optional<NearPlace> near;
};

struct RunResult {
    int run = 0;  // from 1
    // Milliseconds from the end of the restart's write to the read that delivered the deciding
    // sentence; nothing for a target not reached (or not asked for).
    std::array<std::optional<std::int64_t>, kTargetCount> ms;
    // The receiver's UTC ("hh:mm:ss") last sent before the deciding sentence, or empty.
    std::array<std::string, kTargetCount> utc;
    bool timedOut = false;
};

// Why a series ended.
enum class Ending : int { kNone, kComplete, kInterrupted, kPortLost };
const char* EndingName(Ending ending);

// Great-circle distance in metres between two places in degrees.
double DistanceMetres(double lat1Deg, double lon1Deg, double lat2Deg, double lon2Deg);

class TtffBench {
  public:
    enum class Phase { kIdle, kSettling, kRunning, kEnded };

    explicit TtffBench(const BenchSettings& settings) : settings_(settings) {}

    const BenchSettings& settings() const { return settings_; }
    // Whether a run waits for the target at all.
    bool Wants(Target target) const;

    void Start(TimePoint now);
    // Ends the series; a run in progress is dropped, the runs done are kept.
    void Stop(Ending why);

    // What the receiver said, at the time of the read that brought it.
    // The fix mode of a GSA: 2 and 3 are fixes, anything else none.
    void OnFixMode(TimePoint at, int mode);
    // The version sentence, which the receiver sends when it starts again.
    void OnRestartAnnounced(TimePoint at);
    void OnUtc(std::string utc) { lastUtc_ = std::move(utc); }
    // A GGA position (1/10000 arc-minute, negative south and west), and whether the receiver
    // marked it as fixed.
    void OnPosition(TimePoint at, std::int32_t latitude, std::int32_t longitude, bool fixed);

    // Time passing: ends a run at its time-out, and a settling that never settles at the
    // time-out too, so that a restless receiver cannot stall the series.
    void OnTick(TimePoint now);
    // True when the restart command is to be sent now; the face sends it, then calls
    // RestartSent with the time its write ended.
    bool RestartDue(TimePoint now) const;
    void RestartSent(TimePoint writeEnded);

    Phase phase() const { return phase_; }
    Ending ending() const { return ending_; }
    const std::vector<RunResult>& runs() const { return runs_; }
    // The run in progress (from 1), or the next one while settling.
    int currentRun() const { return static_cast<int>(runs_.size()) + 1; }
    // When the current phase began (the restart's write, while running).
    TimePoint phaseStart() const { return phaseStart_; }
    // The targets the run in progress has reached.
    const RunResult& current() const { return current_; }

  private:
    void Reach(Target target, TimePoint at);
    void FinishRunIfComplete(TimePoint at);
    void FinishRun(TimePoint at, bool timedOut);
    void BeginSettling(TimePoint now);

    BenchSettings settings_;
    Phase phase_ = Phase::kIdle;
    Ending ending_ = Ending::kNone;
    TimePoint phaseStart_{};
    TimePoint settledSince_{};
    int lastMode_ = 0;  // 0 before any GSA
    // A fix counts only once the receiver has shown that it restarted (no fix, or its version
    // sentence): a fix still in the pipe from before the command is not a fast first fix.
    bool restartSeen_ = false;
    std::string lastUtc_;
    RunResult current_;
    std::vector<RunResult> runs_;
};

}  // namespace pathlux::ttff
