// "TTFF series": the TTFF bench on the monitor window's open port. Restarts go through the
// window's own restart path, so its TTFF field counts each run as a click on a restart button
// would; the runs, the statistics table and the plot are shown here.
#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "ttff/bench.h"
#include "ttff/feed.h"
#include "window/receiver_watch.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace pathlux {

class CMonitorDlg;

class CTtffDlg : public QDialog, public ReceiverWatcher {
  public:
    static constexpr int kTickMs = 100;

    explicit CTtffDlg(CMonitorDlg& monitor);
    ~CTtffDlg() override;

    // The Start/Stop button.
    void OnStartStop();
    bool running() const {
        return bench_ != nullptr && bench_->phase() != ttff::TtffBench::Phase::kEnded;
    }
    // The last series, or null before the first.
    const ttff::TtffBench* bench() const { return bench_.get(); }

    void OnFieldText(int controlId, const Text& text) override;
    void OnLogLine(const Text& line) override;
    void OnPortClosed(bool lost) override;

    QComboBox* restartBox() const { return restartBox_; }
    QSpinBox* runsBox() const { return runsBox_; }
    QDoubleSpinBox* timeoutBox() const { return timeoutBox_; }
    QDoubleSpinBox* settleBox() const { return settleBox_; }
    QPushButton* startButton() const { return startButton_; }
    QLabel* progressLabel() const { return progress_; }
    QPlainTextEdit* resultsView() const { return results_; }
    QLabel* plotLabel() const { return plot_; }

  private:
    void Start();
    void OnTick();
    // Shows the runs finished since the last call, and the end once the series ended.
    void ShowProgress();
    void Finish();
    void EnableSettings(bool enable);

    CMonitorDlg& monitor_;
    QComboBox* restartBox_;
    QSpinBox* runsBox_;
    QDoubleSpinBox* timeoutBox_;
    QDoubleSpinBox* settleBox_;
    QPushButton* startButton_;
    QLabel* progress_;
    QPlainTextEdit* results_;
    QLabel* plot_;
    QTimer tick_;
    std::unique_ptr<ttff::TtffBench> bench_;
    std::unique_ptr<ttff::BenchFeed> feed_;
    std::size_t runsShown_ = 0;
};

}  // namespace pathlux
