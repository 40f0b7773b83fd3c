#include "window/nmea_output_dlg.h"

#include <algorithm>
#include <cmath>

#include "platform/qt/message_map.h"
#include "platform/qt/text.h"
#include "res/dialog103.h"
#include "window/monitor_dlg.h"

namespace pathlux {
namespace {

using platform::ToQString;

using Entry = platform::MessageMapEntry<CNmeaOutputDlg>;

constexpr Entry kMessageMap[] = {
    Entry::Command(platform::kBnClicked, res::ButtonOf(kKeyGga),
                   &CNmeaOutputDlg::OnSentenceButton<kKeyGga>),
    Entry::Command(platform::kBnClicked, res::kClearButton, &CNmeaOutputDlg::OnClearButton),
    Entry::Command(platform::kBnClicked, res::ButtonOf(kKeyGsa),
                   &CNmeaOutputDlg::OnSentenceButton<kKeyGsa>),
    Entry::Command(platform::kBnClicked, res::ButtonOf(kKeyGsv),
                   &CNmeaOutputDlg::OnSentenceButton<kKeyGsv>),
    Entry::Command(platform::kBnClicked, res::ButtonOf(kKeyRmc),
                   &CNmeaOutputDlg::OnSentenceButton<kKeyRmc>),
    Entry::Command(platform::kBnClicked, res::ButtonOf(kKeyGll),
                   &CNmeaOutputDlg::OnSentenceButton<kKeyGll>),
    Entry::Command(platform::kBnClicked, res::ButtonOf(kKeyZda),
                   &CNmeaOutputDlg::OnSentenceButton<kKeyZda>),
    Entry::Command(platform::kBnClicked, res::ButtonOf(kKeyVtg),
                   &CNmeaOutputDlg::OnSentenceButton<kKeyVtg>),
    Entry::Command(platform::kCbnSelChange, res::ComboOf(kKeyGga),
                   &CNmeaOutputDlg::OnRateChanged<kKeyGga>),
    Entry::Command(platform::kCbnSelChange, res::ComboOf(kKeyGsa),
                   &CNmeaOutputDlg::OnRateChanged<kKeyGsa>),
    Entry::Command(platform::kCbnSelChange, res::ComboOf(kKeyGsv),
                   &CNmeaOutputDlg::OnRateChanged<kKeyGsv>),
    Entry::Command(platform::kCbnSelChange, res::ComboOf(kKeyRmc),
                   &CNmeaOutputDlg::OnRateChanged<kKeyRmc>),
    Entry::Command(platform::kCbnSelChange, res::ComboOf(kKeyGll),
                   &CNmeaOutputDlg::OnRateChanged<kKeyGll>),
    Entry::Command(platform::kCbnSelChange, res::ComboOf(kKeyZda),
                   &CNmeaOutputDlg::OnRateChanged<kKeyZda>),
    Entry::Command(platform::kCbnSelChange, res::ComboOf(kKeyVtg),
                   &CNmeaOutputDlg::OnRateChanged<kKeyVtg>),
};

}  // namespace

CNmeaOutputDlg::CNmeaOutputDlg(CMonitorDlg& owner)
    : platform::Dialog(res::kNmeaOutputDialog, &owner),
      owner_(owner),
      working_(owner.nmeaOutput()) {}

bool CNmeaOutputDlg::OnInitDialog() {
    working_ = OutputSelection(owner_.nmeaOutput());
    for (int key = 0; key < kSentenceKeyCount; ++key) {
        for (int rate = kMinRate; rate <= kMaxRate; ++rate) {
            AddListItem(kSentenceKeys[key].rateComboId, QString::number(rate));
        }
        SetCurSel(kSentenceKeys[key].rateComboId, working_.working().rates[key] - 1);
    }
    Rebuild();
    return true;
}

bool CNmeaOutputDlg::OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                               std::intptr_t* result) {
    return platform::DispatchMessage<CNmeaOutputDlg>(kMessageMap, *this, message, wParam, lParam,
                                                     result);
}

void CNmeaOutputDlg::AddKey(SentenceKey key) {
    if (working_.AddKey(key)) {
        Rebuild();
    }
}

void CNmeaOutputDlg::RateChanged(SentenceKey key) {
    working_.SetRate(key, GetCurSel(kSentenceKeys[key].rateComboId) + 1);
    Rebuild();
}

void CNmeaOutputDlg::OnClearButton() {
    working_.Clear();
    for (const SentenceKeyInfo& info : kSentenceKeys) {
        SetCurSel(info.rateComboId, 0);
    }
    Rebuild();
}

void CNmeaOutputDlg::Rebuild() {
    EnableDlgItem(res::kOkButton, working_.okEnabled());
    SetDlgItemText(res::kSummaryText, ToQString(working_.summary()));
    SetDlgItemText(res::kLineBudgetText,
                   LineBudgetText(working_.working(), owner_.state().inViewCount));
}

void CNmeaOutputDlg::OnOK() {
    // The port can go away while the dialog is open (a receiver unplugged): then nothing could
    // be sent, and the receiver keeps its output. Say so rather than end as if it were sent.
    if (owner_.portOpen() == 0) {
        MessageBox(QStringLiteral("Nothing sent: the port is closed."),
                   QStringLiteral("Cancel, open the port again, then choose the output."));
        return;
    }
    owner_.SendCommand(working_.listCommand());
    owner_.SendCommand(working_.rateCommand());
    NmeaOutputConfig stored = owner_.nmeaOutput();
    for (int key = 0; key < kSentenceKeyCount; ++key) {
        stored.rates[key] = GetCurSel(kSentenceKeys[key].rateComboId) + 1;
    }
    stored.count = working_.working().count;
    std::copy_n(working_.working().keys.begin(), stored.count, stored.keys.begin());
    owner_.SetNmeaOutput(stored);
    platform::Dialog::OnOK();
}

QString CNmeaOutputDlg::LineBudgetText(const NmeaOutputConfig& config, int satellitesInView) {
    const long needed = std::lround(OutputBytesPerSecond(config, GsvMessagesFor(satellitesInView)));
    if (needed > kLineBytesPerSecond) {
        return QStringLiteral("Too much for 9600 baud: %1 of %2 bytes/s")
            .arg(needed)
            .arg(kLineBytesPerSecond);
    }
    return QStringLiteral("Line: %1 of %2 bytes/s").arg(needed).arg(kLineBytesPerSecond);
}

}  // namespace pathlux
