// pathlux-replay: runs a captured byte stream through the interpretation core with a headless
// display and prints what the window would be told, one JSON object per line.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "capture/capture_file.h"
#include "nmea/nmea.h"
#include "tools/common/crlf.h"
#include "tools/common/json.h"

namespace pathlux {
namespace {

constexpr const char* kUsage =
    "usage: pathlux-replay [--crlf] [--log] [FILE]\n"
    "Decodes an NMEA byte stream (FILE, or standard input) as the Pathlux monitor window does\n"
    "and prints one JSON line per event. A capture the window saved is read by its first line:\n"
    "its bytes received are decoded, the commands sent are left out.\n"
    "  {\"field\":ID,\"text\":\"...\"}     a display field written\n"
    "  {\"redraw\":true,\"fix3d\":F,\"inView\":N,\"sats\":[...]}   a sky plot redraw: the\n"
    "      satellites shown, each {\"prn\":P,\"el\":E,\"az\":A,\"snr\":S,\"used\":U}; GPS and\n"
    "      SBAS by the number sent, other systems by their own number with \"sys\" (GL GLONASS,\n"
    "      GA Galileo, GB BeiDou, GQ QZSS, GI NavIC); N is the in-view count sent, or for a\n"
    "      receiver of several systems the number of satellites listed\n"
    "  {\"timer\":\"start\"|\"stop\"}     the TTFF count starts or stops\n"
    "  {\"log\":\"...\"}                 a log line (with --log)\n"
    "options:\n"
    "  --crlf   turn each bare LF into CR LF before framing\n"
    "  --log    also print the log lines\n"
    "  --help   this text\n";

// The talker code of a satellite's system, for satellites other than GPS and SBAS.
std::string_view OtherSystemCode(const ShownSatellite& satellite) {
    if (!satellite.id.valid() || satellite.id.system == Constellation::kGps ||
        satellite.id.system == Constellation::kSbas) {
        return {};
    }
    return InfoOf(satellite.id.system).code;
}

class JsonDisplay : public MonitorDisplay {
  public:
    explicit JsonDisplay(bool withLog) : withLog_(withLog) {}
    ~JsonDisplay() override { Flush(); }

    void SetFieldText(int controlId, const Text& text) override {
        out_ += "{\"field\":";
        out_ += std::to_string(controlId);
        out_ += ",\"text\":";
        AppendJsonString(out_, text);
        out_ += '}';
        EndLine();
    }
    void AppendLog(const Text& line) override {
        if (!withLog_) {
            return;
        }
        // The line's own CR LF is the log's line break, not part of the text.
        TextView text = line;
        if (text.ends_with(u"\r\n")) {
            text.remove_suffix(2);
        }
        out_ += "{\"log\":";
        AppendJsonString(out_, text);
        out_ += '}';
        EndLine();
    }
    void StartTimer(int, int) override {
        out_ += "{\"timer\":\"start\"}";
        EndLine();
    }
    void StopTimer(int) override {
        out_ += "{\"timer\":\"stop\"}";
        EndLine();
    }
    // The state the redraw lines report; the display is made before the core that owns it.
    void ShowStateOf(const ReceiverState& state) { state_ = &state; }

    void RedrawSkyPlot() override {
        const ReceiverState& state = *state_;
        const int shown = state.ShownCount();
        // A GPS receiver's in-view count is as it sent it; a receiver of several systems has
        // one per system, and the count is of the satellites listed.
        const std::int32_t inView = state.multiSystem ? shown : state.inViewCount;
        out_ += "{\"redraw\":true,\"fix3d\":" + std::to_string(state.fix3d) +
                ",\"inView\":" + std::to_string(inView) + ",\"sats\":[";
        for (int i = 0; i < shown; ++i) {
            const ShownSatellite satellite = state.Shown(i);
            const SatelliteRecord& r = *satellite.record;
            out_ += i == 0 ? "{" : ",{";
            out_ += "\"prn\":" + std::to_string(satellite.label);
            if (const std::string_view system = OtherSystemCode(satellite); !system.empty()) {
                out_ += ",\"sys\":\"";
                out_ += system;
                out_ += '"';
            }
            out_ += ",\"el\":" + std::to_string(r.elevation) +
                    ",\"az\":" + std::to_string(r.azimuth) + ",\"snr\":" + std::to_string(r.snr) +
                    ",\"used\":" + std::to_string(r.used) + "}";
        }
        out_ += "]}";
        EndLine();
    }
    void RedrawSignalBars() override {}

    bool Flush() {
        const bool ok = std::fwrite(out_.data(), 1, out_.size(), stdout) == out_.size();
        out_.clear();
        return ok && std::fflush(stdout) == 0;
    }

  private:
    void EndLine() {
        out_.push_back('\n');
        if (out_.size() >= kFlushAt) {
            Flush();
        }
    }

    static constexpr std::size_t kFlushAt = 1 << 16;
    const ReceiverState* state_ = nullptr;
    bool withLog_;
    std::string out_;
};

// Serves the stream to the port notification in the window's read sizes.
class StreamSource : public ByteSource {
  public:
    StreamSource(std::FILE* file, bool crlf) : file_(file), crlf_(crlf) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t max) override {
        if (pending_.size() - offset_ < max && !eof_) {
            Refill();
        }
        const std::size_t n = std::min(max, pending_.size() - offset_);
        std::memcpy(buffer, pending_.data() + offset_, n);
        offset_ += n;
        return n;
    }
    bool Finished() const { return eof_ && offset_ == pending_.size(); }
    bool Failed() const { return error_ != 0; }
    int error() const { return error_; }
    // What is wrong with a capture, empty for a good one or a plain stream.
    const std::string& captureError() const { return captureError_; }

  private:
    void Refill() {
        pending_.erase(0, offset_);
        offset_ = 0;
        char chunk[1 << 16];
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, file_);
        if (n < sizeof chunk) {
            eof_ = true;
            if (std::ferror(file_)) {
                error_ = errno != 0 ? errno : EIO;
            }
        }
        std::string_view bytes(chunk, n);
        if (first_) {
            first_ = false;
            capture_ = IsCapture(bytes);
        }
        if (capture_) {
            received_.clear();
            captureError_ = captureReader_.Feed(bytes, received_);
            if (captureError_.empty() && eof_) {
                captureError_ = captureReader_.Finish();
            }
            // The rest of a damaged capture is not read.
            eof_ = eof_ || !captureError_.empty();
            bytes = received_;
        }
        if (crlf_) {
            converter_.Convert(bytes, pending_);
        } else {
            pending_.append(bytes);
        }
    }

    std::FILE* file_;
    bool crlf_;
    bool eof_ = false;
    int error_ = 0;
    bool first_ = true;
    bool capture_ = false;
    CaptureReader captureReader_;
    std::string received_;
    std::string captureError_;
    std::string pending_;
    std::size_t offset_ = 0;
    BareLfToCrLf converter_;
};

int UsageError(const std::string& message) {
    std::fprintf(stderr, "pathlux-replay: %s (try --help)\n", message.c_str());
    return 2;
}

int Run(int argc, char** argv) {
    bool crlf = false;
    bool withLog = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--crlf") {
            crlf = true;
        } else if (arg == "--log") {
            withLog = true;
        } else if (arg.starts_with("-") && arg != "-") {
            return UsageError("unknown option " + std::string(arg));
        } else if (path != nullptr) {
            return UsageError("more than one input file");
        } else {
            path = argv[i];
        }
    }

    std::FILE* file = stdin;
    if (path != nullptr && std::string_view(path) != "-") {
        file = std::fopen(path, "rb");
        if (file == nullptr) {
            return UsageError(std::string("cannot open ") + path + ": " + std::strerror(errno));
        }
    }

    int status = 0;
    JsonDisplay display(withLog);
    NmeaInterpreter core(display);
    display.ShowStateOf(core.state());
    StreamSource source(file, crlf);
    while (!source.Finished()) {
        core.OnSerialNotify(NmeaInterpreter::kEventRxChar, source);
        if (source.Failed()) {
            break;
        }
    }
    if (source.Failed()) {
        status = UsageError(std::string("cannot read ") + (path ? path : "standard input") + ": " +
                            std::strerror(source.error()));
    }
    if (!source.captureError().empty()) {
        std::fprintf(stderr, "pathlux-replay: %s: %s\n", path ? path : "standard input",
                     source.captureError().c_str());
        status = 1;
    }
    if (!display.Flush()) {
        std::fprintf(stderr, "pathlux-replay: cannot write the output\n");
        status = 1;
    }
    if (file != stdin) {
        std::fclose(file);
    }
    return status;
}

}  // namespace
}  // namespace pathlux

int main(int argc, char** argv) {
    return pathlux::Run(argc, argv);
}
