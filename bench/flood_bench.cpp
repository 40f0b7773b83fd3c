// The monitor window (offscreen) on the simulator's flood: bytes per second read and dispatched,
// lines sent against lines dispatched, CPU seconds per MB, and how the window answers meanwhile:
// the lateness of a 10 ms timer and the time from a click being queued to its handling.
//   flood_bench [SECONDS-OF-OUTPUT]   (default 20000, about 9.4 MB)

#include <sys/resource.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/common/qt_test_app.h"
#include "tests/load/load_window.h"
#include "tests/support/sim_process.h"

namespace pathlux {
namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Times a thread of the window went to sleep and was woken, over all its threads.
long Wakeups() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

// The value below which the given share of the sorted values lies.
double Quantile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(share * values.size()))];
}

int Run(int seconds) {
    testing::TestApp();
    test::CountingMonitor dialog;
    dialog.Create();
    dialog.show();
    const int first = 12 * 3600;
    const int last = first + seconds - 1;
    test::SimProcess sim({"--fault", "flood", "--count", std::to_string(seconds), "--speed", "0.01",
                          "--start", "2026-12-06T12:00:00", "--duration", "3600"});
    if (!sim.WaitFor([&] { return sim.stdoutText.find('\n') != std::string::npos; })) {
        std::fputs("flood_bench: the simulator did not start\n", stderr);
        return 1;
    }
    sim.SetPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); });

    // Timer lateness: how far past its due time each tick of a 10 ms timer comes.
    constexpr int kTickMs = 10;
    std::vector<double> lateMs;
    QElapsedTimer clock;
    clock.start();
    qint64 due = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        lateMs.push_back(std::max<qint64>(0, now - due) / 1e6);
        due = now + kTickMs * 1000000LL;
    });
    // Click latency: a click on a command button (a warm restart) queued every 250 ms, as a user's
    // click waits behind what the port posted; measured to the button's handling.
    std::vector<double> clickMs;
    qint64 queuedAt = 0;
    auto* button = qobject_cast<QPushButton*>(dialog.GetDlgItem(res::kWarmButton));
    QObject::connect(button, &QPushButton::clicked,
                     [&] { clickMs.push_back((clock.nsecsElapsed() - queuedAt) / 1e6); });
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        queuedAt = clock.nsecsElapsed();
        QMetaObject::invokeMethod(
            button, [&] { QTest::mouseClick(button, Qt::LeftButton); }, Qt::QueuedConnection);
    });

    const double cpu0 = CpuSeconds();
    const long wakeups0 = Wakeups();
    const qint64 t0 = clock.nsecsElapsed();
    dialog.OpenOn(sim);
    due = clock.nsecsElapsed() + kTickMs * 1000000LL;
    ticker.start(kTickMs);
    clicker.start(250);
    // The window's own event loop, as in the program, until the last second is shown (or an
    // hour has passed).
    const auto done = [&] { return dialog.lastShown == last; };
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > 3600 * 1000) {
            loop.quit();
        }
    });
    check.start(50);
    loop.exec();
    const double elapsed = (clock.nsecsElapsed() - t0) / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    const long wakeups = Wakeups() - wakeups0;
    ticker.stop();
    clicker.stop();
    // The {"sent":{...}} report, whole: the only one that ends in "}}".
    sim.WaitFor([&] { return sim.StderrHas("}}\n"); });
    const long long bytes = std::atoll(test::JsonValue(sim.stderrText, "sent.bytes").c_str());
    const long long lines = std::atoll(test::JsonValue(sim.stderrText, "sent.lines").c_str());
    if (!done() || bytes <= 0) {
        std::fputs("flood_bench: the flood did not get through\n", stderr);
        return 1;
    }
    const bool unbroken = dialog.skips == 0;
    const double mb = static_cast<double>(bytes) / 1e6;
    std::printf("flood: %.2f MB in %.2f s: %.2f MB/s, %.3f CPU s/MB (window process)\n", mb,
                elapsed, mb / elapsed, cpu / mb);
    std::printf("flood: %ld wake-ups of the window's threads, %.0f per MB\n", wakeups,
                static_cast<double>(wakeups) / mb);
    std::printf("flood: %lld lines sent, %llu dispatched; seconds shown %d of %d, %s\n", lines,
                static_cast<unsigned long long>(dialog.logLines),
                dialog.lastShown - dialog.firstShown + 1, seconds,
                unbroken ? "unbroken to the last" : "WITH GAPS");
    std::printf(
        "flood: 10 ms timer, %zu ticks: late by median %.1f ms, 99%% %.1f ms, max %.1f ms\n",
        lateMs.size(), Quantile(lateMs, 0.5), Quantile(lateMs, 0.99), Quantile(lateMs, 1.0));
    std::printf(
        "flood: %zu queued clicks handled after median %.1f ms, 99%% %.1f ms, max %.1f ms\n",
        clickMs.size(), Quantile(clickMs, 0.5), Quantile(clickMs, 0.99), Quantile(clickMs, 1.0));
    return unbroken ? 0 : 1;
}

}  // namespace
}  // namespace pathlux

int main(int argc, char** argv) {
    return pathlux::Run(argc > 1 ? std::atoi(argv[1]) : 20000);
}
