// The window's zoom: the steps, the one a screen calls for, and the keys and menu that change it.
// A zoom lays the dialog out as a font that many times larger would; the charts keep their
// geometry and are composed at as many times the pixels.
#pragma once

#include <QSize>
#include <optional>
#include <string_view>

#include "platform/qt/dialog.h"

class QMenu;

namespace pathlux {

// Smallest first.
inline constexpr platform::DialogZoom kZoomSteps[] = {{1, 1}, {3, 2}, {2, 1}, {3, 1}};

// The largest step at which a window of the given size at 1x takes at most 5/12 of the screen's
// available width and height (both in logical pixels), else 1x: 1.5x on a 1080p screen, 3x on a
// 4K one at its own density (1.5x when the desktop doubles its pixels, which looks the same).
platform::DialogZoom ZoomForScreen(QSize windowAt1x, QSize available);

// A zoom as a user writes it: "1", "1.5", "2" or "3", with or without an "x" after it. Anything
// else is none.
std::optional<platform::DialogZoom> ParseZoom(std::string_view text);

// The next step up (direction > 0) or down from the zoom; the first and last steps stay.
platform::DialogZoom StepZoom(platform::DialogZoom zoom, int direction);

// Sets a dialog laid out at 1x to its start zoom and centres it again: PATHLUX_ZOOM when it names
// a step, else the screen's (1x on the offscreen platform: it renders for tests and screenshots,
// with no screen to fit). Ctrl+Plus and Ctrl+Minus step the zoom, Ctrl+0 goes back to the start.
void StartZoom(platform::Dialog& dialog);

// A "Zoom" submenu of the steps, the dialog's own checked.
void AddZoomMenu(QMenu& menu, platform::Dialog& dialog);

}  // namespace pathlux
