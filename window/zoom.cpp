#include "window/zoom.h"

#include <QActionGroup>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace pathlux {
namespace {

using platform::DialogZoom;

// The share of the screen a window may take on each side, as a fraction.
constexpr int kScreenShareNum = 5;
constexpr int kScreenShareDen = 12;

bool Fits(int window, DialogZoom zoom, int available) {
    return std::int64_t{window} * zoom.num * kScreenShareDen <=
           std::int64_t{available} * kScreenShareNum * zoom.den;
}

DialogZoom ScreenZoom(const platform::Dialog& dialog) {
    const QScreen* screen = dialog.screen();
    if (screen == nullptr || QGuiApplication::platformName() == QStringLiteral("offscreen")) {
        return {};
    }
    return ZoomForScreen(dialog.size(), screen->availableGeometry().size());
}

std::optional<DialogZoom> ZoomAsked() {
    const char* text = std::getenv("PATHLUX_ZOOM");
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    const std::optional<DialogZoom> zoom = ParseZoom(text);
    if (!zoom) {
        std::fprintf(stderr,
                     "pathlux: PATHLUX_ZOOM=%s is not 1, 1.5, 2 or 3; zooming to fit the screen\n",
                     text);
    }
    return zoom;
}

}  // namespace

DialogZoom ZoomForScreen(QSize windowAt1x, QSize available) {
    for (auto step = std::rbegin(kZoomSteps); step != std::rend(kZoomSteps); ++step) {
        if (Fits(windowAt1x.width(), *step, available.width()) &&
            Fits(windowAt1x.height(), *step, available.height())) {
            return *step;
        }
    }
    return kZoomSteps[0];
}

std::optional<DialogZoom> ParseZoom(std::string_view text) {
    if (text.ends_with('x') || text.ends_with('X')) {
        text.remove_suffix(1);
    }
    double factor = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), factor);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    for (const DialogZoom step : kZoomSteps) {
        if (step.Factor() == factor) {
            return step;
        }
    }
    return std::nullopt;
}

DialogZoom StepZoom(DialogZoom zoom, int direction) {
    if (direction > 0) {
        for (const DialogZoom step : kZoomSteps) {
            if (step.Factor() > zoom.Factor()) {
                return step;
            }
        }
        return kZoomSteps[std::size(kZoomSteps) - 1];
    }
    for (auto step = std::rbegin(kZoomSteps); step != std::rend(kZoomSteps); ++step) {
        if (step->Factor() < zoom.Factor()) {
            return *step;
        }
    }
    return kZoomSteps[0];
}

void StartZoom(platform::Dialog& dialog) {
    const DialogZoom start = ZoomAsked().value_or(ScreenZoom(dialog));
    dialog.SetZoom(start);
    dialog.CenterWindow();

    const struct {
        QList<QKeySequence> keys;
        DialogZoom (*next)(DialogZoom current, DialogZoom start);
    } bindings[] = {
        // Ctrl+= too: the plus sign is its shifted key on many keyboards.
        {{QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
         [](DialogZoom current, DialogZoom) { return StepZoom(current, +1); }},
        {{QKeySequence(Qt::CTRL | Qt::Key_Minus)},
         [](DialogZoom current, DialogZoom) { return StepZoom(current, -1); }},
        {{QKeySequence(Qt::CTRL | Qt::Key_0)}, [](DialogZoom, DialogZoom first) { return first; }},
    };
    for (const auto& binding : bindings) {
        auto* shortcut = new QShortcut(&dialog);
        shortcut->setKeys(binding.keys);
        QObject::connect(
            shortcut, &QShortcut::activated, &dialog,
            [&dialog, next = binding.next, start] { dialog.SetZoom(next(dialog.zoom(), start)); });
    }
}

void AddZoomMenu(QMenu& menu, platform::Dialog& dialog) {
    QMenu* zoom = menu.addMenu(QStringLiteral("Zoom"));
    auto* group = new QActionGroup(zoom);
    for (const DialogZoom step : kZoomSteps) {
        QAction* action = zoom->addAction(QStringLiteral("%1x").arg(step.Factor()));
        action->setCheckable(true);
        action->setChecked(step == dialog.zoom());
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, &dialog,
                         [&dialog, step] { dialog.SetZoom(step); });
    }
}

}  // namespace pathlux
