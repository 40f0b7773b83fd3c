// What a watched port costs: opening and closing it with its watcher on a quiet line (Close must
// stay far inside its 128 ms bound), and one arrival from the receiver's write to the window's
// read, through the watcher's notification.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "serial/serial.h"
#include "tests/support/post_queue.h"

namespace pathlux {
namespace {

// The receiver's end of a pseudo-terminal.
class Receiver {
  public:
    Receiver() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        grantpt(master_);
        unlockpt(master_);
        char path[128] = {};
        ptsname_r(master_, path, sizeof path);
        name_.assign(path, path + std::char_traits<char>::length(path));
        termios raw{};
        tcgetattr(master_, &raw);
        cfmakeraw(&raw);
        tcsetattr(master_, TCSANOW, &raw);
    }
    ~Receiver() { close(master_); }
    const std::u16string& name() const { return name_; }
    bool Send(char byte) { return write(master_, &byte, 1) == 1; }

  private:
    int master_ = -1;
    std::u16string name_;
};

void BM_OpenCloseWithWatcher(benchmark::State& state) {
    Receiver receiver;
    test::PostQueue window;
    CSerialWnd port;
    for (auto _ : state) {
        if (port.OpenWithWatcher(receiver.name(), &window, 0, 0, 2048, 2048) != 0) {
            state.SkipWithError("open failed");
            break;
        }
        port.Close();
    }
}
BENCHMARK(BM_OpenCloseWithWatcher);

void BM_CloseQuietWatchedPort(benchmark::State& state) {
    Receiver receiver;
    test::PostQueue window;
    CSerialWnd port;
    for (auto _ : state) {
        state.PauseTiming();
        if (port.OpenWithWatcher(receiver.name(), &window, 0, 0, 2048, 2048) != 0) {
            state.SkipWithError("open failed");
            break;
        }
        state.ResumeTiming();
        port.Close();
    }
}
BENCHMARK(BM_CloseQuietWatchedPort)->Unit(benchmark::kMicrosecond);

void BM_ArrivalToRead(benchmark::State& state) {
    Receiver receiver;
    test::PostQueue window;
    CSerialWnd port;
    if (port.OpenWithWatcher(receiver.name(), &window, 0, 0, 2048, 2048) != 0) {
        state.SkipWithError("open failed");
        return;
    }
    char chunk[100];
    std::uint32_t count = 0;
    for (auto _ : state) {
        if (!receiver.Send('$') || !window.Take()) {
            state.SkipWithError("no notification");
            break;
        }
        port.Read(chunk, sizeof chunk, &count, nullptr, platform::INFINITE);
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_ArrivalToRead)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pathlux

BENCHMARK_MAIN();
