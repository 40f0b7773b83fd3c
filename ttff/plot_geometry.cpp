#include "ttff/plot_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "ttff/formats.h"
#include "ttff/stats.h"

namespace pathlux::ttff {
namespace {

constexpr int kTitleHeight = 28;
constexpr int kRowHeight = 76;
constexpr int kAxisHeight = 40;
constexpr int kMarginLeft = 96;  // row labels and time-out counts
constexpr int kMarginRight = 24;
constexpr int kMaxTicks = 10;
constexpr int kDotRadius = 4;
// Dots of close times would hide each other on one line: runs take turns on a few lanes.
constexpr int kLanes = 5;
constexpr int kLaneGap = 9;
constexpr int kMarkLabelRoom = 16;  // above and below the lanes, for the line labels

// Decimals enough to tell the ticks of a step apart: 0 for 5, 1 for 0.5, 2 for 0.05.
int DecimalsOf(double step) {
    return std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 6);
}

std::string SecondsText(double seconds, int decimals) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, seconds);
    return buffer;
}

// A line's label has one decimal more than the ticks: it falls between them.
std::string MarkText(const char* name, double seconds, int tickDecimals) {
    return std::string(name) + " " + SecondsText(seconds, tickDecimals + 1) + " s";
}

}  // namespace

double TickStep(double span, int maxTicks) {
    if (!(span > 0) || maxTicks < 1) {
        return 1;
    }
    const double raw = span / maxTicks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= raw) {
            return factor * power;
        }
    }
    return 10 * power;
}

PlotLayout LayoutPlot(const PlotInput& input, int width) {
    PlotLayout layout;
    layout.width = width;
    layout.title = input.title;
    layout.dotRadius = kDotRadius;
    layout.height = kTitleHeight +
                    kRowHeight * static_cast<int>(std::max<std::size_t>(input.rows.size(), 1)) +
                    kAxisHeight;
    layout.axisLeft = kMarginLeft;
    layout.axisRight = width - kMarginRight;
    layout.axisY = layout.height - kAxisHeight;

    double longest = 0;
    for (const PlotRow& row : input.rows) {
        for (const double s : row.seconds) {
            longest = std::max(longest, s);
        }
    }
    const double step = TickStep(longest > 0 ? longest : 1, kMaxTicks);
    const double end = std::max(step, std::ceil(longest / step) * step);
    const int decimals = DecimalsOf(step);
    const double span = layout.axisRight - layout.axisLeft;
    const auto xOf = [&](double seconds) {
        return layout.axisLeft + static_cast<int>(std::lround(seconds / end * span));
    };
    for (int i = 0; i * step <= end + step / 1000; ++i) {
        layout.ticks.push_back({xOf(i * step), SecondsText(i * step, decimals)});
    }

    int top = kTitleHeight;
    for (const PlotRow& row : input.rows) {
        PlotRowLayout out;
        out.top = top;
        out.bottom = top + kRowHeight;
        out.label = row.label;
        if (row.failures > 0) {
            out.failureLabel =
                std::to_string(row.failures) + (row.failures == 1 ? " time-out" : " time-outs");
        }
        const int firstLane = top + kMarkLabelRoom + kDotRadius + 2;
        for (std::size_t i = 0; i < row.seconds.size(); ++i) {
            out.dots.push_back(
                {xOf(row.seconds[i]), firstLane + static_cast<int>(i % kLanes) * kLaneGap});
        }
        if (row.median) {
            out.median = PlotMark{xOf(*row.median), MarkText("median", *row.median, decimals)};
        }
        if (row.p90) {
            out.p90 = PlotMark{xOf(*row.p90), MarkText("p90", *row.p90, decimals)};
        }
        layout.rows.push_back(std::move(out));
        top += kRowHeight;
    }
    return layout;
}

PlotInput PlotInputOf(const TtffBench& bench) {
    PlotInput input;
    const std::size_t runs = bench.runs().size();
    input.title = "TTFF after " + std::string(RestartName(bench.settings().restart)) +
                  " restart: " + std::to_string(runs) + (runs == 1 ? " run" : " runs");
    for (int t = 0; t < kTargetCount; ++t) {
        const auto target = static_cast<Target>(t);
        if (!bench.Wants(target)) {
            continue;
        }
        PlotRow row;
        row.label = TargetName(target);
        for (const RunResult& run : bench.runs()) {
            if (run.ms[t]) {
                row.seconds.push_back(static_cast<double>(*run.ms[t]) / 1000.0);
            }
        }
        const TargetStats stats = StatsOf(bench.runs(), target);
        row.failures = stats.failures;
        if (stats.spread) {
            row.median = stats.spread->median / 1000.0;
            row.p90 = stats.spread->p90 / 1000.0;
        }
        input.rows.push_back(std::move(row));
    }
    return input;
}

}  // namespace pathlux::ttff
