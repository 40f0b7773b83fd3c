#include "tools/ttff/series.h"

#include <QGuiApplication>
#include <QString>
#include <memory>

#include "control/commands.h"
#include "nmea/interpreter.h"
#include "platform/errors.h"
#include "serial/serial_port.h"
#include "tools/ttff/options.h"
#include "ttff/feed.h"
#include "ttff/formats.h"
#include "ttff/plot_geometry.h"
#include "ttff/qt/plot_image.h"

namespace pathlux::ttff {
namespace {

constexpr std::size_t kReadChunk = 256;
// A flooding receiver must not keep the loop from the clock: after this many full chunks the
// loop looks at the time and the stop flag, then reads on without waiting.
constexpr int kMaxChunksPerWake = 64;
constexpr std::uint32_t kWriteLimitMs = 2000;
constexpr auto kProgressEvery = std::chrono::milliseconds(250);

bool Is(ErrorCode error, std::uint32_t platformError) {
    return error == static_cast<ErrorCode>(platformError);
}

// What the core writes, handed to the bench with the time of the read that brought it.
class CoreDisplay : public MonitorDisplay {
  public:
    void Attach(BenchFeed& feed) { feed_ = &feed; }
    void SetReadTime(TimePoint at) { at_ = at; }

    void SetFieldText(int controlId, const Text& text) override {
        feed_->OnFieldText(at_, controlId, text);
    }
    void AppendLog(const Text& line) override { feed_->OnLogLine(at_, line); }
    // The tool shows no TTFF field and no charts.
    void StartTimer(int, int) override {}
    void StopTimer(int) override {}
    void RedrawSkyPlot() override {}
    void RedrawSignalBars() override {}

  private:
    BenchFeed* feed_ = nullptr;
    TimePoint at_{};
};

// Where the results go as they come: plain lines or a progress line, CSV rows, JSON lines.
class Reporter {
  public:
    Reporter(const ToolOptions& options, const ToolIo& io, const TtffBench& bench)
        : options_(options),
          io_(io),
          bench_(bench),
          human_(options.json ? io.err : io.out),
          terminal_(options.json ? io.errTerminal : io.outTerminal) {}
    ~Reporter() {
        if (csv_ != nullptr) {
            std::fclose(csv_);
        }
    }

    bool OpenCsv() {
        if (options_.csv.empty()) {
            return true;
        }
        csv_ = std::fopen(options_.csv.c_str(), "w");
        if (csv_ == nullptr) {
            return false;
        }
        std::fprintf(csv_, "%s\n", CsvHeader().c_str());
        return std::fflush(csv_) == 0;
    }

    // Prints the runs finished since the last call, and the progress line on a terminal.
    void Update(TimePoint now) {
        while (shown_ < bench_.runs().size()) {
            const RunResult& run = bench_.runs()[shown_++];
            ClearProgress();
            std::fprintf(human_, "%s\n", RunLine(bench_, run).c_str());
            std::fflush(human_);
            if (options_.json) {
                std::fprintf(io_.out, "%s\n", JsonRun(bench_, run).c_str());
                std::fflush(io_.out);
            }
            if (csv_ != nullptr) {
                std::fprintf(csv_, "%s\n", CsvRow(bench_, run).c_str());
                csvFailed_ = csvFailed_ || std::fflush(csv_) != 0;
            }
        }
        if (terminal_ && bench_.phase() != TtffBench::Phase::kEnded &&
            now - lastProgress_ >= kProgressEvery) {
            lastProgress_ = now;
            std::fprintf(human_, "\r%s\x1b[K", ProgressLine(bench_, now).c_str());
            std::fflush(human_);
            progressShown_ = true;
        }
    }

    void Finish() {
        ClearProgress();
        if (bench_.ending() != Ending::kComplete) {
            std::fprintf(human_, "stopped after %zu of %d runs: %s\n", bench_.runs().size(),
                         bench_.settings().runs, EndingName(bench_.ending()));
        }
        std::fprintf(human_, "%s", StatsTable(bench_).c_str());
        std::fflush(human_);
        if (options_.json) {
            std::fprintf(io_.out, "%s\n", JsonSummary(bench_).c_str());
            std::fflush(io_.out);
        }
    }

    bool csvFailed() const { return csvFailed_; }

  private:
    void ClearProgress() {
        if (progressShown_) {
            std::fprintf(human_, "\r\x1b[K");
            progressShown_ = false;
        }
    }

    const ToolOptions& options_;
    const ToolIo& io_;
    const TtffBench& bench_;
    std::FILE* human_;
    bool terminal_;
    std::FILE* csv_ = nullptr;
    bool csvFailed_ = false;
    std::size_t shown_ = 0;
    TimePoint lastProgress_{};
    bool progressShown_ = false;
};

// The tool draws off screen; a QGuiApplication is made for the fonts if the caller has none.
bool WritePlot(const TtffBench& bench, const std::string& path) {
    std::unique_ptr<QGuiApplication> application;
    if (QCoreApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "pathlux-ttff";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
    return SavePlot(LayoutPlot(PlotInputOf(bench), kPlotWidth), QString::fromStdString(path));
}

class Series {
  public:
    Series(const ToolOptions& options, const ToolIo& io)
        : options_(options),
          io_(io),
          bench_(options.bench),
          feed_(bench_, core_.state()),
          reporter_(options, io, bench_) {
        display_.Attach(feed_);
    }

    int Run() {
        if (!reporter_.OpenCsv()) {
            return Fail(kExitOutput, "cannot write " + options_.csv);
        }
        const QString name = QString::fromStdString(options_.port);
        if (port_.Open(name.toStdU16String(), 0, 0) != 0) {
            std::string reason = port_.lastSystemError();
            if (reason.empty()) {
                reason = "error " + std::to_string(port_.lastError());
            }
            return Fail(kExitPort, "cannot open " + options_.port + " (device " +
                                       port_.lastOpenPath() + "): " + reason);
        }
        if (port_.Configure(options_.baud, 8, 0, 0) != 0) {
            return Fail(kExitPort, "cannot set " + options_.port + " to " +
                                       std::to_string(options_.baud) + " baud 8N1");
        }
        Loop();
        port_.Close();
        reporter_.Finish();
        bool outputFailed = reporter_.csvFailed();
        if (!options_.plot.empty() && !WritePlot(bench_, options_.plot)) {
            std::fprintf(io_.err, "pathlux-ttff: cannot write %s\n", options_.plot.c_str());
            outputFailed = true;
        }
        return ExitCode(outputFailed);
    }

  private:
    int Fail(int code, const std::string& message) {
        std::fprintf(io_.err, "pathlux-ttff: %s\n", message.c_str());
        return code;
    }

    void Loop() {
        bench_.Start(Clock::now());
        bool more = false;
        while (bench_.phase() != TtffBench::Phase::kEnded) {
            if (io_.stop != nullptr && io_.stop->load()) {
                bench_.Stop(Ending::kInterrupted);
                break;
            }
            const TimePoint now = Clock::now();
            bench_.OnTick(now);
            if (bench_.RestartDue(now) && !SendRestart()) {
                break;
            }
            if (!more) {
                const ErrorCode waited = port_.WaitForEvent(nullptr, kWakeMs);
                if (waited != 0 && !Is(waited, platform::ERROR_TIMEOUT)) {
                    Lost(waited);
                    break;
                }
            }
            // Read after every wake, not only on an event: it costs one call per wake and no
            // arrival can be missed.
            if (!Drain(more)) {
                break;
            }
            reporter_.Update(Clock::now());
        }
        reporter_.Update(Clock::now());
    }

    bool SendRestart() {
        const auto row = static_cast<std::size_t>(options_.bench.restart);
        const std::string bytes = EncodeCommand(RestartSentence(kRestartCommands[row]));
        std::uint32_t written = 0;
        const ErrorCode error = port_.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                                            &written, nullptr, kWriteLimitMs);
        if (error != 0) {
            Lost(error);
            return false;
        }
        bench_.RestartSent(Clock::now());
        return true;
    }

    // Reads what has arrived into the core; false when the port failed. more: stopped after
    // kMaxChunksPerWake full chunks.
    bool Drain(bool& more) {
        std::uint8_t buffer[kReadChunk];
        for (int chunk = 0; chunk < kMaxChunksPerWake; ++chunk) {
            std::uint32_t count = 0;
            const ErrorCode error =
                port_.Read(buffer, sizeof buffer, &count, nullptr, platform::INFINITE);
            // The time of the read that delivered the bytes stands for every sentence ended
            // in them.
            display_.SetReadTime(Clock::now());
            core_.FeedBytes(buffer, std::min<std::size_t>(count, sizeof buffer));
            if (error != 0) {
                Lost(error);
                return false;
            }
            if (count < sizeof buffer) {
                more = false;
                return true;
            }
        }
        more = true;
        return true;
    }

    void Lost(ErrorCode error) {
        bench_.Stop(Ending::kPortLost);
        std::fprintf(io_.err, "pathlux-ttff: %s lost (error %d)\n", options_.port.c_str(), error);
    }

    int ExitCode(bool outputFailed) const {
        if (bench_.ending() == Ending::kPortLost) {
            return kExitPort;
        }
        if (bench_.ending() == Ending::kInterrupted) {
            return kExitInterrupted;
        }
        if (outputFailed) {
            return kExitOutput;
        }
        for (const RunResult& run : bench_.runs()) {
            if (run.timedOut) {
                return kExitSomeFailed;
            }
        }
        return kExitAllFixed;
    }

    const ToolOptions& options_;
    const ToolIo& io_;
    TtffBench bench_;
    CoreDisplay display_;
    NmeaInterpreter core_{display_};
    BenchFeed feed_;
    Reporter reporter_;
    CSerialPort port_;
};

}  // namespace

int RunTool(const std::vector<std::string>& args, const ToolIo& io) {
    ToolOptions options;
    const std::string error = ParseToolOptions(args, options);
    if (!error.empty()) {
        std::fprintf(io.err, "pathlux-ttff: %s (try --help)\n", error.c_str());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(kToolUsage, io.out);
        return kExitAllFixed;
    }
    return Series(options, io).Run();
}

}  // namespace pathlux::ttff
