// Throughput of the interpretation core: bytes through framer, dispatch and handlers, with a
// display that discards what it is told.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "nmea/nmea.h"
#include "tools/common/crlf.h"

namespace pathlux {
namespace {

class DiscardingDisplay : public MonitorDisplay {
  public:
    void SetFieldText(int, const Text& text) override { benchmark::DoNotOptimize(text.data()); }
    void AppendLog(const Text& line) override { benchmark::DoNotOptimize(line.data()); }
    void StartTimer(int, int) override {}
    void StopTimer(int) override {}
    void RedrawSkyPlot() override {}
    void RedrawSignalBars() override {}
};

// Every shared receiver log with CR LF line ends, concatenated.
const std::string& SharedLogs() {
    static const std::string all = [] {
        std::string out;
        BareLfToCrLf crlf;
        for (const auto& entry : std::filesystem::directory_iterator(PATHLUX_LOG_DIR)) {
            if (entry.path().extension() != ".log") {
                continue;
            }
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream bytes;
            bytes << in.rdbuf();
            crlf.Convert(bytes.str(), out);
        }
        return out;
    }();
    return all;
}

void BM_InterpretSharedLogs(benchmark::State& state) {
    const std::string& bytes = SharedLogs();
    DiscardingDisplay display;
    NmeaInterpreter core(display);
    for (auto _ : state) {
        core.FeedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_InterpretSharedLogs);

// The same bytes in the window's 100-byte reads.
class MemorySource : public ByteSource {
  public:
    explicit MemorySource(const std::string& bytes) : bytes_(bytes) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t max) override {
        const std::size_t n = std::min(max, bytes_.size() - offset_);
        std::copy_n(bytes_.data() + offset_, n, buffer);
        offset_ += n;
        return n;
    }
    bool Done() const { return offset_ == bytes_.size(); }

  private:
    const std::string& bytes_;
    std::size_t offset_ = 0;
};

void BM_NotificationsSharedLogs(benchmark::State& state) {
    const std::string& bytes = SharedLogs();
    DiscardingDisplay display;
    NmeaInterpreter core(display);
    for (auto _ : state) {
        MemorySource source(bytes);
        while (!source.Done()) {
            core.OnSerialNotify(NmeaInterpreter::kEventRxChar, source);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_NotificationsSharedLogs);

}  // namespace
}  // namespace pathlux

BENCHMARK_MAIN();
