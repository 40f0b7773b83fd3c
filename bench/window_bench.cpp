// Redraw time of the two charts: composing the image off-screen and copying it onto a surface
// of the window's size, with the constellation of a real receiver log.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <fstream>
#include <sstream>
#include <string>

#include "nmea/nmea.h"
#include "platform/qt/draw_surface.h"
#include "window/signal_bars.h"
#include "window/sky_plot.h"

namespace pathlux {
namespace {

class DiscardingDisplay : public MonitorDisplay {
  public:
    void SetFieldText(int, const Text&) override {}
    void AppendLog(const Text&) override {}
    void StartTimer(int, int) override {}
    void StopTimer(int) override {}
    void RedrawSkyPlot() override {}
    void RedrawSignalBars() override {}
};

// The receiver state after a log with a 3D fix and twelve satellites in view.
ReceiverState StateOfLog(const char* name) {
    std::ifstream in(std::string(PATHLUX_LOG_DIR) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string bytes;
    for (const char c : text.str()) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    DiscardingDisplay display;
    NmeaInterpreter interpreter(display);
    interpreter.FeedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return interpreter.state();
}

QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "window_bench";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    return *application;
}

// The frames of the monitor window at its standard size.
constexpr int kSkyWidth = 144;
constexpr int kSkyHeight = 140;
constexpr int kBarWidth = 235;
constexpr int kBarHeight = 58;
constexpr int kWindowWidth = 242;
constexpr int kWindowHeight = 278;

void BM_SkyPlotRedraw(benchmark::State& run) {
    App();
    const qreal dpr = static_cast<qreal>(run.range(0));
    const ReceiverState state = StateOfLog("ublox-lea-5h.log");
    const SkyPlotStyle style{platform::CreateCellFont(12, 7), 12, 9};
    QImage window(static_cast<int>(kWindowWidth * dpr), static_cast<int>(kWindowHeight * dpr),
                  QImage::Format_RGB32);
    window.setDevicePixelRatio(dpr);
    QPainter target(&window);
    for (auto _ : run) {
        SkyGeometry geometry;
        target.drawImage(QPoint(4, 26),
                         ComposeSkyPlot(state, kSkyWidth, kSkyHeight, style, dpr, geometry));
    }
}
BENCHMARK(BM_SkyPlotRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_SignalBarsRedraw(benchmark::State& run) {
    App();
    const qreal dpr = static_cast<qreal>(run.range(0));
    ReceiverState state = StateOfLog("ublox-lea-5h.log");
    QImage window(static_cast<int>(kWindowWidth * dpr), static_cast<int>(kWindowHeight * dpr),
                  QImage::Format_RGB32);
    window.setDevicePixelRatio(dpr);
    QPainter target(&window);
    for (auto _ : run) {
        target.drawImage(QPoint(4, 166), ComposeSignalBars(state, kBarWidth, kBarHeight, dpr));
    }
}
BENCHMARK(BM_SignalBarsRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pathlux

BENCHMARK_MAIN();
