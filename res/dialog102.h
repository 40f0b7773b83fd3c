// Dialog 102: the monitor window.
#pragma once

#include <iterator>
#include <string_view>

#include "platform/qt/dialog_template.h"

namespace pathlux::res {

constexpr int kMonitorDialogId = 102;

// Controls addressed by the window beyond the display fields of the interpretation core.
enum MonitorControl : int {
    kColdButton = 1003,
    kWarmButton = 1004,
    kHotButton = 1005,
    kFactoryButton = 1008,
    kNmeaButton = 1009,
    kPortList = 1015,
    kOpenButton = 1016,
    kBarFrame = 1026,
    kSkyFrame = 1027,
};

constexpr std::uint32_t kPushButtonStyle = 0x50010000;
constexpr std::uint32_t kLabelStyle = 0x50020000;
constexpr std::uint32_t kTextStyle = 0x50000000;
constexpr std::uint32_t kHiddenFrameStyle = 0x4080030E;

using platform::ControlKind;
using platform::kStaticId;

inline constexpr platform::ControlTemplate kMonitorControls[] = {
    {ControlKind::kButton, kColdButton, 115, 63, 21, 10, kPushButtonStyle, u"Cold"},
    {ControlKind::kButton, kWarmButton, 115, 52, 21, 10, kPushButtonStyle, u"Warm"},
    {ControlKind::kButton, kHotButton, 115, 41, 21, 10, kPushButtonStyle, u"Hot"},
    {ControlKind::kStatic, kStaticId, 2, 0, 16, 8, kLabelStyle, u"LAT"},
    {ControlKind::kStatic, kStaticId, 2, 7, 15, 8, kLabelStyle, u"LON"},
    {ControlKind::kStatic, 1006, 19, 0, 52, 8, kTextStyle, u"N000'00'00.00'"},
    {ControlKind::kStatic, 1007, 19, 7, 52, 8, kLabelStyle, u"E000'00'00.00'"},
    {ControlKind::kEdit, 1013, 2, 128, 134, 28, 0x50A01084, u""},
    {ControlKind::kStatic, kSkyFrame, 2, 15, 82, 80, kHiddenFrameStyle, u""},
    {ControlKind::kStatic, kBarFrame, 2, 95, 134, 33, kHiddenFrameStyle, u""},
    {ControlKind::kComboBox, kPortList, 77, 1, 33, 46, 0x50200403, u""},
    {ControlKind::kButton, kOpenButton, 111, 1, 25, 12, kPushButtonStyle, u"Open"},
    {ControlKind::kStatic, 1023, 93, 38, 20, 8, kTextStyle, u"00.0"},
    {ControlKind::kStatic, 1024, 93, 46, 20, 8, kTextStyle, u"00.0"},
    {ControlKind::kStatic, 1025, 93, 54, 20, 8, kTextStyle, u"00.0"},
    {ControlKind::kStatic, 1017, 99, 30, 11, 8, kLabelStyle, u"NA"},
    {ControlKind::kStatic, kStaticId, 85, 22, 18, 8, kLabelStyle, u"TTFF"},
    {ControlKind::kStatic, 1018, 105, 22, 31, 8, kLabelStyle, u"00:00:00"},
    {ControlKind::kStatic, 1019, 101, 14, 35, 9, kTextStyle, u"Unkonwn"},
    {ControlKind::kStatic, kStaticId, 85, 30, 14, 8, kLabelStyle, u"FIX:"},
    {ControlKind::kStatic, kStaticId, 85, 14, 14, 8, kLabelStyle, u"Ver:"},
    {ControlKind::kStatic, kStaticId, 85, 38, 10, 8, kLabelStyle, u"H:"},
    {ControlKind::kStatic, kStaticId, 85, 46, 10, 8, kLabelStyle, u"P:"},
    {ControlKind::kStatic, kStaticId, 85, 54, 10, 8, kLabelStyle, u"V:"},
    {ControlKind::kStatic, 1037, 84, 86, 21, 8, kLabelStyle, u"01/01"},
    {ControlKind::kStatic, 1028, 106, 86, 30, 8, kLabelStyle, u"00:00:00"},
    {ControlKind::kButton, kFactoryButton, 115, 74, 21, 10, kPushButtonStyle, u"Def."},
    {ControlKind::kButton, kNmeaButton, 115, 30, 21, 10, kPushButtonStyle, u"NMEA"},
    {ControlKind::kStatic, 1034, 85, 62, 29, 8, kLabelStyle, u"0 km"},
    {ControlKind::kStatic, 1035, 85, 70, 30, 8, kLabelStyle, u"0'"},
    {ControlKind::kStatic, 1036, 85, 78, 29, 8, kLabelStyle, u"0m"},
};

// The port list's items: index i stands for port number i + 1.
inline constexpr std::u16string_view kPortListItems[] = {
    u"COM1", u"COM2",  u"COM3",  u"COM4",  u"COM5",  u"COM6",  u"COM7",  u"COM8",
    u"COM9", u"COM10", u"COM11", u"COM12", u"COM13", u"COM14", u"COM15", u"COM16",
};
static_assert(std::size(kPortListItems) == 16);

inline constexpr platform::ListItems kMonitorLists[] = {{kPortList, kPortListItems}};

inline constexpr platform::DialogTemplate kMonitorDialog = {
    kMonitorDialogId,
    0x90C00040,
    0x80040000,
    0,
    0,
    138,
    159,
    u"System",
    8,
    u"Pathlux V0.10 For Orvane",
    kMonitorControls,
    kMonitorLists,
};

}  // namespace pathlux::res
