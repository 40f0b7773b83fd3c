// The NMEA output configuration dialog: which sentences the receiver sends, in which order and
// how often. Works on a copy of the monitor window's configuration and writes it back on OK.
#pragma once

#include <QString>

#include "control/output_config.h"
#include "platform/qt/dialog.h"

namespace pathlux {

class CMonitorDlg;

class CNmeaOutputDlg : public platform::Dialog {
  public:
    // The owner is the monitor window: its configuration is read at the start, and OK sends
    // the two sentences through it and stores the choice in it.
    explicit CNmeaOutputDlg(CMonitorDlg& owner);

    template <SentenceKey Key>
    void OnSentenceButton() {
        AddKey(Key);
    }
    template <SentenceKey Key>
    void OnRateChanged() {
        RateChanged(Key);
    }
    void OnClearButton();

    const OutputSelection& selection() const { return working_; }
    const Text& listCommand() const { return working_.listCommand(); }
    const Text& rateCommand() const { return working_.rateCommand(); }

    // "Line: 422 of 960 bytes/s", or a warning when the output needs more than 9600 baud carry;
    // GSV takes as many messages as the satellites in view need.
    static QString LineBudgetText(const NmeaOutputConfig& config, int satellitesInView);

  protected:
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                   std::intptr_t* result) override;

  private:
    void AddKey(SentenceKey key);
    void RateChanged(SentenceKey key);
    // Shows what the last change built: the summary, the line budget, OK only with a list.
    void Rebuild();

    CMonitorDlg& owner_;
    OutputSelection working_;
};

}  // namespace pathlux
