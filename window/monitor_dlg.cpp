#include "window/monitor_dlg.h"

#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <iterator>

#include "platform/qt/draw_surface.h"
#include "platform/qt/message_map.h"
#include "res/dialog102.h"
#include "window/signal_bars.h"
#include "window/sky_plot.h"

namespace pathlux {
namespace {

using Entry = platform::MessageMapEntry<CMonitorDlg>;

constexpr Entry kMessageMap[] = {
    Entry::Timer(&CMonitorDlg::OnTimer),
    Entry::Paint(&CMonitorDlg::OnPaint),
};

constexpr int kCommandButtons[] = {res::kColdButton, res::kWarmButton, res::kHotButton,
                                   res::kFactoryButton, res::kNmeaButton};

constexpr int kInitialPort = 7;  // COM8

// The sky plot labels' font: cell height 12, width 7.
constexpr int kDisplayFontHeight = 12;
constexpr int kDisplayFontWidth = 7;

QString ToQString(const Text& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QRect ToQRect(const platform::Rect& rect) {
    return QRect(rect.left, rect.top, rect.Width(), rect.Height());
}

// A log line as the edit control shows it: the closing CR LF becomes the line break; control
// characters show as their pictures (a zero byte would otherwise hide the rest of the line) and
// bytes above 0x7F as the replacement character.
QString LogText(const Text& line) {
    std::u16string_view body(line);
    const bool ended = body.ends_with(u"\r\n");
    if (ended) {
        body.remove_suffix(2);
    }
    QString text;
    text.reserve(static_cast<qsizetype>(body.size()) + 1);
    for (const char16_t c : body) {
        if (c < 0x20 && c != u'\t') {
            text += QChar(static_cast<char16_t>(0x2400 + c));
        } else if (c == 0x7F) {
            text += QChar(u'\u2421');
        } else if (c >= 0x80) {
            text += QChar(u'\uFFFD');
        } else {
            text += QChar(c);
        }
    }
    if (ended) {
        text += u'\n';
    }
    return text;
}

}  // namespace

CMonitorDlg::CMonitorDlg()
    : platform::Dialog(res::kMonitorDialog),
      appIcon(platform::LoadAppIcon()),
      interpreter_(*this) {}

CMonitorDlg::~CMonitorDlg() = default;

bool CMonitorDlg::OnInitDialog() {
    setWindowIcon(appIcon);
    CenterWindow();
    SetCurSel(res::kPortList, kInitialPort);
    portOpen = 0;
    EnableCommandButtons(false);

    ReceiverState& receiver = state();
    receiver.fix3d = 0;
    receiver.maxSnr = 20;
    receiver.inViewCount = 12;

    SetFieldText(kLatitudeField, u"N000\u00B000'00.00\"");
    SetFieldText(kLongitudeField, u"E000\u00B000'00.00\"");
    SetFieldText(kSpeedField, u"0km/h");
    SetFieldText(kCourseField, u"0\u00B0");
    SetFieldText(kAltitudeField, u"0m");

    // The widget is the client area and paints in client coordinates, so the frames are taken
    // relative to it and the charts land exactly on the hidden frames.
    barFrameRect = GetDlgItemRect(res::kBarFrame);
    skyFrameRect = GetDlgItemRect(res::kSkyFrame);

    receiver.gpsSats = {};
    receiver.sbasSats = {};
    receiver.inViewPrns = {};

    skyDotRadius = 9;
    skyLabelBox = 12;
    displayFont = platform::CreateCellFont(kDisplayFontHeight, kDisplayFontWidth);

    if (auto* log = qobject_cast<QPlainTextEdit*>(GetDlgItem(kLogField))) {
        // Lines are replaced, never undone; an undo history would only grow.
        log->setUndoRedoEnabled(false);
    }
    return true;
}

bool CMonitorDlg::OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                            std::intptr_t* result) {
    return platform::DispatchMessage<CMonitorDlg>(kMessageMap, *this, message, wParam, lParam,
                                                  result);
}

void CMonitorDlg::EnableCommandButtons(bool enable) {
    for (const int id : kCommandButtons) {
        EnableDlgItem(id, enable);
    }
}

void CMonitorDlg::SetFieldText(int controlId, const Text& text) {
    SetDlgItemText(controlId, ToQString(text));
}

void CMonitorDlg::AppendLog(Text line) {
    auto* log = qobject_cast<QPlainTextEdit*>(GetDlgItem(kLogField));
    if (log == nullptr) {
        return;
    }
    QTextDocument* document = log->document();
    // The count includes the empty line after the last line break, as the edit control's does.
    if (document->blockCount() > kLogMaxLines) {
        QTextCursor oldest(document);
        oldest.setPosition(document->findBlockByNumber(kLogKeptFromLine).position(),
                           QTextCursor::KeepAnchor);
        oldest.removeSelectedText();
    }
    QTextCursor end(document);
    end.movePosition(QTextCursor::End);
    end.insertText(LogText(line));
    log->setTextCursor(end);
    log->ensureCursorVisible();
}

void CMonitorDlg::StartTimer(int timerId, int periodMs) {
    SetTimer(timerId, periodMs);
}

void CMonitorDlg::StopTimer(int timerId) {
    KillTimer(timerId);
}

// Qt draws on a widget only inside its paint event: a redraw asks for the chart's area to be
// painted, and the paint handler composes and copies the charts.
void CMonitorDlg::RedrawSkyPlot() {
    update(ToQRect(skyFrameRect));
}

void CMonitorDlg::RedrawSignalBars() {
    update(ToQRect(barFrameRect));
}

void CMonitorDlg::OnPaint() {
    if (QPainter* target = paintSurface()) {
        DrawSkyPlot(*target);
        DrawSignalBars(*target);
    }
}

void CMonitorDlg::OnTimer(int timerId) {
    interpreter_.OnTimer(timerId);
}

void CMonitorDlg::DrawSkyPlot(QPainter& target) {
    SkyGeometry geometry;
    const QImage image =
        ComposeSkyPlot(state(), skyFrameRect.Width(), skyFrameRect.Height(),
                       {displayFont, skyLabelBox, skyDotRadius}, devicePixelRatioF(), geometry);
    skyRadius = geometry.skyRadius;
    skyCentre = geometry.skyCentre;
    target.drawImage(QPoint(skyFrameRect.left, skyFrameRect.top), image);
}

void CMonitorDlg::DrawSignalBars(QPainter& target) {
    const QImage image = ComposeSignalBars(state(), barFrameRect.Width(), barFrameRect.Height(),
                                           devicePixelRatioF());
    target.drawImage(QPoint(barFrameRect.left, barFrameRect.top), image);
}

Point CMonitorDlg::SkyToPoint(double azimuth, double elevation) const {
    return pathlux::SkyToPoint({skyRadius, skyCentre}, azimuth, elevation);
}

}  // namespace pathlux
