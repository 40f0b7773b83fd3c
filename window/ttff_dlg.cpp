#include "window/ttff_dlg.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "control/commands.h"
#include "ttff/formats.h"
#include "ttff/plot_geometry.h"
#include "ttff/qt/plot_image.h"
#include "window/monitor_dlg.h"

namespace pathlux {
namespace {

using ttff::Clock;
using ttff::TtffBench;

constexpr int kDefaultRuns = 10;
constexpr int kMaxRuns = 1000;
constexpr double kDefaultTimeoutS = 180;
constexpr double kDefaultSettleS = 3;
constexpr double kMaxSeconds = 3600;

ttff::Millis Millis(double seconds) {
    return ttff::Millis(static_cast<std::int64_t>(std::llround(seconds * 1000)));
}

}  // namespace

CTtffDlg::CTtffDlg(CMonitorDlg& monitor)
    : QDialog(&monitor),
      monitor_(monitor),
      restartBox_(new QComboBox),
      runsBox_(new QSpinBox),
      timeoutBox_(new QDoubleSpinBox),
      settleBox_(new QDoubleSpinBox),
      startButton_(new QPushButton(QStringLiteral("Start"))),
      progress_(new QLabel(QStringLiteral("Ready"))),
      results_(new QPlainTextEdit),
      plot_(new QLabel) {
    setWindowTitle(QStringLiteral("TTFF series"));
    for (const RestartCommand& command : kRestartCommands) {
        restartBox_->addItem(QString::fromLatin1(command.caption));
    }
    runsBox_->setRange(1, kMaxRuns);
    runsBox_->setValue(kDefaultRuns);
    for (QDoubleSpinBox* box : {timeoutBox_, settleBox_}) {
        box->setDecimals(1);
        box->setSuffix(QStringLiteral(" s"));
    }
    timeoutBox_->setRange(0.1, kMaxSeconds);
    timeoutBox_->setValue(kDefaultTimeoutS);
    settleBox_->setRange(0, kMaxSeconds);
    settleBox_->setValue(kDefaultSettleS);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Restart"), restartBox_);
    form->addRow(QStringLiteral("Runs"), runsBox_);
    form->addRow(QStringLiteral("Time-out"), timeoutBox_);
    form->addRow(QStringLiteral("Settle"), settleBox_);
    auto* controls = new QHBoxLayout;
    controls->addLayout(form);
    controls->addWidget(startButton_, 0, Qt::AlignBottom);

    results_->setReadOnly(true);
    results_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    results_->setLineWrapMode(QPlainTextEdit::NoWrap);
    results_->setMinimumHeight(160);
    plot_->setMinimumSize(ttff::kPlotWidth, 0);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(progress_);
    layout->addWidget(results_);
    layout->addWidget(plot_);

    connect(startButton_, &QPushButton::clicked, this, &CTtffDlg::OnStartStop);
    connect(&tick_, &QTimer::timeout, this, &CTtffDlg::OnTick);
}

CTtffDlg::~CTtffDlg() {
    monitor_.SetReceiverWatcher(nullptr);
}

void CTtffDlg::OnStartStop() {
    if (running()) {
        bench_->Stop(ttff::Ending::kInterrupted);
        Finish();
        return;
    }
    if (monitor_.portOpen() == 0) {
        progress_->setText(QStringLiteral("Open the port first."));
        return;
    }
    Start();
}

void CTtffDlg::Start() {
    ttff::BenchSettings settings;
    settings.restart = static_cast<ttff::RestartKind>(restartBox_->currentIndex());
    settings.runs = runsBox_->value();
    settings.timeout = Millis(timeoutBox_->value());
    settings.settle = Millis(settleBox_->value());
    bench_ = std::make_unique<TtffBench>(settings);
    feed_ = std::make_unique<ttff::BenchFeed>(*bench_, monitor_.state());
    runsShown_ = 0;
    results_->clear();
    plot_->clear();
    EnableSettings(false);
    monitor_.SetReceiverWatcher(this);
    bench_->Start(Clock::now());
    tick_.start(kTickMs);
    ShowProgress();
}

// The settings are those of the series under way: they can be changed only between series.
void CTtffDlg::EnableSettings(bool enable) {
    for (QWidget* setting :
         {static_cast<QWidget*>(restartBox_), static_cast<QWidget*>(runsBox_),
          static_cast<QWidget*>(timeoutBox_), static_cast<QWidget*>(settleBox_)}) {
        setting->setEnabled(enable);
    }
    startButton_->setText(enable ? QStringLiteral("Start") : QStringLiteral("Stop"));
}

void CTtffDlg::OnTick() {
    if (!running()) {
        return;
    }
    const ttff::TimePoint now = Clock::now();
    bench_->OnTick(now);
    if (bench_->RestartDue(now)) {
        // The window's own restart: the command, then its TTFF count from zero.
        monitor_.RestartReceiver(kRestartCommands[static_cast<int>(bench_->settings().restart)]);
        bench_->RestartSent(Clock::now());
    }
    ShowProgress();
}

// The core reports inside the notification that read the sentence: now is the time of that read.
void CTtffDlg::OnFieldText(int controlId, const Text& text) {
    if (running()) {
        feed_->OnFieldText(Clock::now(), controlId, text);
        ShowProgress();
    }
}

void CTtffDlg::OnLogLine(const Text& line) {
    if (running()) {
        feed_->OnLogLine(Clock::now(), line);
    }
}

void CTtffDlg::OnPortClosed(bool lost) {
    if (running()) {
        bench_->Stop(lost ? ttff::Ending::kPortLost : ttff::Ending::kInterrupted);
        Finish();
    }
}

void CTtffDlg::ShowProgress() {
    while (runsShown_ < bench_->runs().size()) {
        results_->appendPlainText(
            QString::fromStdString(ttff::RunLine(*bench_, bench_->runs()[runsShown_++])));
    }
    if (bench_->phase() == TtffBench::Phase::kEnded) {
        if (tick_.isActive()) {
            Finish();
        }
        return;
    }
    progress_->setText(QString::fromStdString(ttff::ProgressLine(*bench_, Clock::now())));
}

void CTtffDlg::Finish() {
    tick_.stop();
    monitor_.SetReceiverWatcher(nullptr);
    ShowProgress();
    progress_->setText(QStringLiteral("%1: %2 of %3 runs")
                           .arg(QString::fromLatin1(ttff::EndingName(bench_->ending())))
                           .arg(bench_->runs().size())
                           .arg(bench_->settings().runs));
    results_->appendPlainText(QString::fromStdString(ttff::StatsTable(*bench_)));
    plot_->setPixmap(QPixmap::fromImage(
        ttff::DrawPlot(ttff::LayoutPlot(ttff::PlotInputOf(*bench_), ttff::kPlotWidth))));
    EnableSettings(true);
}

}  // namespace pathlux
