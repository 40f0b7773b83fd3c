// Dialog templates as data: the dialog's style, size, font and caption, and its controls in
// template order. Positions and sizes are in dialog units.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace pathlux::platform {

// Window styles the dialog builder honours.
constexpr std::uint32_t kWsVisible = 0x10000000;
constexpr std::uint32_t kWsDisabled = 0x08000000;
constexpr std::uint32_t kWsBorder = 0x00800000;
constexpr std::uint32_t kWsVScroll = 0x00200000;
constexpr std::uint32_t kWsHScroll = 0x00100000;
constexpr std::uint32_t kWsTabStop = 0x00010000;
constexpr std::uint32_t kBsTypeMask = 0x0000000F;
constexpr std::uint32_t kBsDefPushButton = 0x00000001;
constexpr std::uint32_t kSsTypeMask = 0x0000001F;
constexpr std::uint32_t kSsCenter = 0x00000001;
constexpr std::uint32_t kSsRight = 0x00000002;
constexpr std::uint32_t kEsMultiline = 0x00000004;
constexpr std::uint32_t kEsAutoHScroll = 0x00000080;
constexpr std::uint32_t kEsReadOnly = 0x00000800;

// The buttons that end a dialog by default.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// The identifier of controls that are never addressed (labels).
constexpr int kStaticId = 65535;

enum class ControlKind { kButton, kStatic, kEdit, kComboBox };

struct ControlTemplate {
    ControlKind kind;
    int id;
    int x, y, width, height;  // dialog units
    std::uint32_t style;
    std::u16string_view text;
};

// Items the dialog manager puts into a list control before the dialog's own initialisation.
struct ListItems {
    int controlId;
    std::span<const std::u16string_view> items;
};

struct DialogTemplate {
    int id;
    std::uint32_t style;
    std::uint32_t exStyle;
    int x, y, width, height;  // dialog units
    std::u16string_view fontFace;
    int fontPoints;
    std::u16string_view title;
    std::span<const ControlTemplate> controls;
    std::span<const ListItems> lists;
};

// Dialog units to pixels with the dialog font's base units, rounding as the original dialog
// manager does: x * baseX / 4 and y * baseY / 8, rounded to the nearest pixel.
struct DialogBaseUnits {
    int x;  // average character width
    int y;  // character height
};

// A dialog shown larger, as with a dialog font that many times larger: its base units are the
// template font's times num / den, rounded once with the dialog units. A fraction keeps the
// conversion exact (3/2 is 1.5x). Both parts are positive.
struct DialogZoom {
    int num = 1;
    int den = 1;

    constexpr double Factor() const { return static_cast<double>(num) / den; }
    friend constexpr bool operator==(DialogZoom a, DialogZoom b) {
        return std::int64_t{a.num} * b.den == std::int64_t{b.num} * a.den;
    }
};

constexpr int DialogUnitsToPixelsX(int units, DialogBaseUnits base, DialogZoom zoom = {}) {
    return static_cast<int>(
        (static_cast<std::int64_t>(units) * base.x * zoom.num + std::int64_t{2} * zoom.den) /
        (std::int64_t{4} * zoom.den));
}
constexpr int DialogUnitsToPixelsY(int units, DialogBaseUnits base, DialogZoom zoom = {}) {
    return static_cast<int>(
        (static_cast<std::int64_t>(units) * base.y * zoom.num + std::int64_t{4} * zoom.den) /
        (std::int64_t{8} * zoom.den));
}

}  // namespace pathlux::platform
