// When the window reads the port and shows what the receiver changed: notifications held for the
// next frame or, in a flood, read at a steady pace; field texts, log lines and chart redraws
// gathered and shown once a frame.

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <chrono>
#include <utility>

#include "platform/qt/text.h"
#include "res/dialog102.h"
#include "window/bar_geometry.h"
#include "window/monitor_dlg.h"
#include "window/port_line.h"

namespace pathlux {
namespace {

using platform::ToQString;

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::intptr_t CMonitorDlg::OnSerialNotify(std::uintptr_t wParam, std::intptr_t lParam) {
    const std::uint32_t events = NotifiedEvents(wParam);
    if (events == NmeaInterpreter::kEventRxChar && NotifiedLineErrors(wParam) == 0 && !draining_ &&
        lParam == portGeneration_) {
        // While a frame waits, the bytes of a slow stream are read just before it, with all that
        // comes meanwhile: the gate stays shut, so they wake the window once.
        if (HasTimer(kFrameTimerId) && !readAtOnce_) {
            readAtFrame_ = true;
            notifyGate_.Hold();
            return 0;
        }
        // A flood is read kGatherMs after it is notified: each read then takes what many of the
        // sender's writes brought, where each write would wake both threads.
        if (readAtOnce_) {
            if (!HasTimer(kGatherTimerId)) {
                SetTimer(kGatherTimerId, kGatherMs);
            }
            notifyGate_.Hold();
            return 0;
        }
    }
    notifyGate_.Taken();
    if (portOpen_ == 0 || lParam != portGeneration_ ||
        (events & CSerialEvents::kEventPortLost) != 0) {
        notifyGate_.Release();
        if (portOpen_ != 0 && lParam == portGeneration_) {
            OnPortLost();
        }
        return 0;
    }
    draining_ =
        interpreter_.OnSerialNotify(events, portLine_->reader()) == NmeaInterpreter::kMoreWaiting;
    if (draining_) {
        // The rest is read on a notification of our own, queued behind the clicks, timer ticks
        // and paints that came meanwhile, and not held back.
        notifyGate_.PostMessage(defaultComMessage, NmeaInterpreter::kEventRxChar, lParam);
    } else if (readAtOnce_ && portLine_->bytesRead() != bytesAtGather_) {
        // A flood goes on: it is read again kGatherMs from now, the watcher still resting, until
        // a read finds nothing new.
        bytesAtGather_ = portLine_->bytesRead();
        if (!HasTimer(kGatherTimerId)) {
            SetTimer(kGatherTimerId, kGatherMs);
        }
    } else {
        // A watcher held for this read rested while it took what came; it watches again for
        // what comes after.
        notifyGate_.Release();
    }
    return 0;
}

void CMonitorDlg::ReadHeldBytes() {
    draining_ = true;
    OnSerialNotify(NmeaInterpreter::kEventRxChar, portGeneration_);
}

void CMonitorDlg::SetFieldText(int controlId, const Text& text) {
    if (watcher_ != nullptr) {
        watcher_->OnFieldText(controlId, text);
    }
    pendingFields_[controlId] = text;
    ScheduleFrame();
}

void CMonitorDlg::AppendLog(const Text& line) {
    if (watcher_ != nullptr) {
        watcher_->OnLogLine(line);
    }
    FollowLogSetElsewhere();
    log_.Append(LogLineText(line));
    ScheduleFrame();
}

// Text set on the log control other than by AppendLog is what it shows now; the lines waiting
// for the frame follow it.
void CMonitorDlg::FollowLogSetElsewhere() {
    if (!logChangedElsewhere_) {
        return;
    }
    if (const auto* log = qobject_cast<QPlainTextEdit*>(GetDlgItem(kLogField))) {
        log_.Rebase(log->toPlainText());
    }
    logChangedElsewhere_ = false;
}

void CMonitorDlg::ScheduleFrame() {
    if (!HasTimer(kFrameTimerId)) {
        SetTimer(kFrameTimerId, pacer_.DelayMs(NowMs()));
    }
}

void CMonitorDlg::UpdateWindow() {
    KillTimer(kFrameTimerId);
    if (std::exchange(readAtFrame_, false)) {
        ReadHeldBytes();
        KillTimer(kFrameTimerId);  // what it read shows now
    }
    pacer_.Shown(NowMs());
    readAtOnce_ = portLine_->bytesRead() - bytesAtFrame_ >= kPromptReadBytes;
    bytesAtFrame_ = portLine_->bytesRead();
    for (const auto& [id, text] : pendingFields_) {
        SetDlgItemText(id, ToQString(text));
    }
    pendingFields_.clear();
    ShowLog();
    if (skyRedrawDue_) {
        update(ChartArea(res::kSkyFrame, skyFrameRect_));
    }
    if (barsRedrawDue_) {
        update(ChartArea(res::kBarFrame, barFrameRect_));
    }
    skyRedrawDue_ = barsRedrawDue_ = false;
}

// The lines since the last frame reach the control as one edit, laid out once.
void CMonitorDlg::ShowLog() {
    auto* log = qobject_cast<QPlainTextEdit*>(GetDlgItem(kLogField));
    if (log == nullptr) {
        return;
    }
    FollowLogSetElsewhere();
    if (!log_.HasEdit()) {
        return;
    }
    const LogLines::Edit edit = log_.TakeEdit();
    showingLog_ = true;
    QTextCursor cursor(log->document());
    cursor.beginEditBlock();
    if (edit.removeFront > 0) {
        cursor.setPosition(static_cast<int>(edit.removeFront), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(edit.append);
    cursor.endEditBlock();
    showingLog_ = false;
    log->setTextCursor(cursor);
    log->ensureCursorVisible();
}

// Qt draws on a widget only inside its paint event: a redraw keeps the state it is to show and,
// unless the chart would look as it does, asks for the chart's area to be painted at the next
// frame. A chart already due is not compared again: its paint draws whatever the last redraw
// kept.
void CMonitorDlg::RedrawSkyPlot() {
    skyShown_ = state();
    if (!skyRedrawDue_ && !charts_.SkyUnchanged(skyShown_)) {
        skyRedrawDue_ = true;
        ScheduleFrame();
    }
}

// The scale rises here, at every redraw, whether or not the window paints before the next one.
void CMonitorDlg::RedrawSignalBars() {
    ReceiverState& receiver = state();
    receiver.maxSnr = RaisedMaxSnr(receiver, BarsToDraw(receiver));
    barsShown_ = receiver;
    if (!barsRedrawDue_ && !charts_.BarsUnchanged(barsShown_)) {
        barsRedrawDue_ = true;
        ScheduleFrame();
    }
}

}  // namespace pathlux
