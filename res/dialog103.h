// Dialog 103: the NMEA output configuration.
#pragma once

#include "control/output_config.h"
#include "platform/qt/dialog_template.h"

namespace pathlux::res {

constexpr int kNmeaOutputDialogId = 103;

enum NmeaOutputControl : int {
    kOkButton = 1,
    kCancelButton = 2,
    kClearButton = 3,
    kSummaryText = 1033,
    kLineBudgetText = 1048,
};

constexpr std::uint32_t kDefaultButtonStyle = 0x50010001;
constexpr std::uint32_t kRateComboStyle = 0x50210002;
constexpr std::uint32_t kSummaryStyle = 0x50020000;

using platform::ControlKind;

// The sentence buttons and the rate combos come from the sentence key table, so that each row
// pairs the button and the combo of one key.
constexpr int ButtonOf(SentenceKey key) {
    return kSentenceKeys[key].buttonId;
}
constexpr int ComboOf(SentenceKey key) {
    return kSentenceKeys[key].rateComboId;
}

inline constexpr platform::ControlTemplate kNmeaOutputControls[] = {
    {ControlKind::kButton, kOkButton, 21, 137, 27, 12, kDefaultButtonStyle, u"OK"},
    {ControlKind::kButton, kCancelButton, 95, 137, 27, 12, 0x50010000, u"Cancel"},
    {ControlKind::kButton, ButtonOf(kKeyGga), 30, 15, 30, 12, 0x50010000, u"GPGGA"},
    {ControlKind::kButton, ButtonOf(kKeyGsa), 30, 31, 30, 12, 0x50010000, u"GPGSA"},
    {ControlKind::kButton, ButtonOf(kKeyGsv), 30, 47, 30, 12, 0x50010000, u"GPGSV"},
    {ControlKind::kButton, ButtonOf(kKeyRmc), 30, 63, 30, 12, 0x50010000, u"GPRMC"},
    {ControlKind::kButton, ButtonOf(kKeyGll), 30, 79, 30, 12, 0x50010000, u"GPGLL"},
    {ControlKind::kButton, ButtonOf(kKeyZda), 30, 95, 30, 12, 0x50010000, u"GPZDA"},
    {ControlKind::kButton, ButtonOf(kKeyVtg), 30, 111, 30, 12, 0x50010000, u"GPVTG"},
    {ControlKind::kComboBox, ComboOf(kKeyGga), 85, 15, 25, 71, kRateComboStyle, u""},
    {ControlKind::kComboBox, ComboOf(kKeyGsa), 85, 31, 25, 71, kRateComboStyle, u""},
    {ControlKind::kComboBox, ComboOf(kKeyGsv), 85, 47, 25, 71, kRateComboStyle, u""},
    {ControlKind::kComboBox, ComboOf(kKeyRmc), 85, 63, 25, 71, kRateComboStyle, u""},
    {ControlKind::kComboBox, ComboOf(kKeyGll), 85, 79, 25, 71, kRateComboStyle, u""},
    {ControlKind::kComboBox, ComboOf(kKeyZda), 85, 95, 25, 71, kRateComboStyle, u""},
    {ControlKind::kComboBox, ComboOf(kKeyVtg), 85, 111, 25, 71, kRateComboStyle, u""},
    {ControlKind::kStatic, kSummaryText, 1, 2, 137, 10, kSummaryStyle, u""},
    {ControlKind::kButton, kClearButton, 59, 137, 27, 12, 0x50010000, u"Clear"},
    // Added below the buttons: whether the chosen output fits what the line carries.
    {ControlKind::kStatic, kLineBudgetText, 1, 152, 137, 10, kSummaryStyle, u""},
};

inline constexpr platform::DialogTemplate kNmeaOutputDialog = {
    kNmeaOutputDialogId,
    0x90C800C0,
    0,
    0,
    0,
    140,
    // 153 units, and one more line for the line budget.
    165,
    u"System",
    8,
    u"",
    kNmeaOutputControls,
    {},
};

}  // namespace pathlux::res
