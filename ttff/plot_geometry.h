// Where the TTFF plot puts things: one horizontal strip per target with a dot per run on a
// common time axis from zero, the median as a solid line and the 90th percentile as a dashed
// one. Plain numbers, so that the layout is tested without drawing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ttff/bench.h"

namespace pathlux::ttff {

struct PlotRow {
    std::string label;  // "2D", "3D", "near"
    std::vector<double> seconds;
    int failures = 0;
    std::optional<double> median;
    std::optional<double> p90;
};

struct PlotInput {
    std::string title;
    std::vector<PlotRow> rows;
};

struct PlotDot {
    int x = 0;
    int y = 0;
};

struct PlotMark {
    int x = 0;
    std::string label;
};

struct PlotRowLayout {
    int top = 0;
    int bottom = 0;
    std::string label;         // at the left, vertically centred
    std::string failureLabel;  // "2 time-outs" below the label, or empty
    std::vector<PlotDot> dots;
    std::optional<PlotMark> median;  // solid line across the strip, label at its top
    std::optional<PlotMark> p90;     // dashed line, label at its bottom
};

struct PlotLayout {
    int width = 0;
    int height = 0;
    std::string title;
    int axisLeft = 0;
    int axisRight = 0;
    int axisY = 0;
    std::vector<PlotMark> ticks;  // on the axis, labelled in seconds
    std::vector<PlotRowLayout> rows;
    int dotRadius = 0;
};

constexpr int kPlotWidth = 720;

// A tick step of 1, 2 or 5 times a power of ten, giving at most maxTicks steps over the span.
double TickStep(double span, int maxTicks);

PlotLayout LayoutPlot(const PlotInput& input, int width);

// The plot input of a bench's runs: a row per target it waits for.
PlotInput PlotInputOf(const TtffBench& bench);

}  // namespace pathlux::ttff
