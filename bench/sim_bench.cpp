// How fast the simulator makes its output: bounds what --speed and the flood fault can reach.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "tools/sim/commands.h"
#include "tools/sim/faults.h"
#include "tools/sim/receiver.h"

namespace pathlux::sim {
namespace {

void BM_ReceiverSecondAllSentences(benchmark::State& state) {
    Receiver receiver({kDefaultPlace, 1796558400, 1});
    receiver.Obey(ParseCommand("$PNMRX108,GGA,GLL,GSA,GSV,RMC,VTG,ZDA*1B").command);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::vector<std::string> sentences = receiver.NextSecond();
        for (const std::string& s : sentences) {
            bytes += s.size() + 2;
        }
        benchmark::DoNotOptimize(sentences.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_ReceiverSecondAllSentences);

void BM_FaultInjectorAllLineFaults(benchmark::State& state) {
    FaultInjector injector(
        kFaultNoise | kFaultControl | kFaultSplit | kFaultChecksum | kFaultMissing | kFaultLongLine,
        20, 1);
    const std::string line =
        "$GPGGA,120000.000,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,0.0,M,,*6C\r\n";
    std::vector<Chunk> chunks;
    for (auto _ : state) {
        chunks.clear();
        injector.Emit(line, chunks);
        benchmark::DoNotOptimize(chunks.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_FaultInjectorAllLineFaults);

void BM_ParseCommand(benchmark::State& state) {
    const std::string line = "$PNMRX103,GGA,8,GLL,8,GSA,8,GSV,8,RMC,8,VTG,8,ZDA,8*04";
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseCommand(line));
    }
}
BENCHMARK(BM_ParseCommand);

}  // namespace
}  // namespace pathlux::sim
