// A dialog window built from a template: controls by id, command notifications, window timers
// by id, messages posted from other threads, message boxes and the paint entry. Derived windows
// route messages through their message map in OnMessage.
#pragma once

#include <QBasicTimer>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QRegion>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/post.h"
#include "platform/qt/dialog_template.h"
#include "platform/qt/rect.h"

class QPainter;

namespace pathlux::platform {

// The dialog font for a template's face and point size, at a zoom, and its base units.
QFont DialogFont(std::u16string_view face, int points, DialogZoom zoom = {});
DialogBaseUnits BaseUnitsOf(const QFont& font);

// The icon of a pixel-art resource.
QIcon LoadAppIcon();

class Dialog : public QDialog, public PostTarget {
  public:
    // The owner, when given, is the window a modal run of this dialog belongs to: it stays
    // below the dialog and takes no input while the run lasts.
    explicit Dialog(const DialogTemplate& dialogTemplate, QWidget* owner = nullptr);
    ~Dialog() override;

    // Initialises the dialog and runs it modally until it ends; returns the end result.
    int DoModal();
    // Initialises the dialog and shows it without a modal loop of its own.
    void Create();

    QWidget* GetDlgItem(int id) const;
    void SetDlgItemText(int id, const QString& text);
    QString GetDlgItemText(int id) const;
    void EnableDlgItem(int id, bool enable);
    int GetCurSel(int listId) const;
    // Appends an entry to a list, as CB_ADDSTRING.
    void AddListItem(int listId, const QString& text);
    // Selects without a selection-change notification, as the original's CB_SETCURSEL.
    void SetCurSel(int listId, int index);
    // A tip shown for one item of a list.
    void SetListItemTip(int listId, int index, const QString& tip);
    struct ListItem {
        QString text;
        QString tip;
    };
    // Replaces the list's items from index from on and selects select (-1: none), without a
    // selection-change notification.
    void ReplaceListItems(int listId, int from, const std::vector<ListItem>& items, int select);
    // Runs hook each time the list is about to drop down, before it shows its items.
    void SetListDropHook(int listId, std::function<void()> hook);
    // Centres the window on the screen it is on.
    void CenterWindow();
    // The control's rectangle in the dialog's client coordinates.
    Rect GetDlgItemRect(int id) const;

    // Starts the timer, or restarts it with the new period so the next tick is a period away.
    void SetTimer(int timerId, int periodMs);
    void KillTimer(int timerId);
    bool HasTimer(int timerId) const;

    // A modal box with one OK button; the caption is the application's name. It belongs to the
    // modal dialog that is active, if any, so that it shows above it.
    void MessageBox(const QString& text, const QString& detail = QString());

    // Thread-safe: the message is handled later on this dialog's thread, in the order posted.
    bool PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;

    DialogBaseUnits baseUnits() const { return baseUnits_; }

    // Lays the dialog out again as its template would be with a font that many times larger:
    // the font, the dialog's size and every control's rectangle. The window keeps its top-left
    // corner.
    void SetZoom(DialogZoom zoom);
    DialogZoom zoom() const { return zoom_; }

  protected:
    virtual bool OnInitDialog() { return true; }
    // What a click on the buttons with ids 1 (OK) and 2 (Cancel) does when the message map has
    // no entry for it: end the dialog with that result.
    virtual void OnOK() { accept(); }
    virtual void OnCancel() { reject(); }
    // The window's message map; false leaves the message to the default handling.
    virtual bool OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                           std::intptr_t* result) = 0;
    // The paint surface while WM_PAINT is handled, else null.
    QPainter* paintSurface() const { return paintSurface_; }
    // The part of the client area being painted, as the original's rcPaint.
    Rect paintRect() const { return paintRect_; }
    // Exactly what is painted: a field's repaint and a chart's can share a bounding rectangle
    // that spans the other chart.
    const QRegion& paintRegion() const { return paintRegion_; }

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    void BuildControls();
    // The font, the size and the controls' rectangles at the zoom.
    void PlaceControls();
    // OnInitDialog, then, unless it set the focus itself, the focus on the first tab stop.
    void InitDialog();
    void SendCommand(int controlId, int notification);

    const DialogTemplate& template_;
    DialogBaseUnits baseUnits_{};  // of the template's font, at 1x
    DialogZoom zoom_;
    std::vector<QWidget*> placed_;  // one per template control, in template order
    std::map<int, QWidget*> controls_;
    std::vector<QWidget*> tabStops_;     // in template order
    std::map<int, QBasicTimer> timers_;  // by our timer id
    QPainter* paintSurface_ = nullptr;
    Rect paintRect_;
    QRegion paintRegion_;
    bool settingSelection_ = false;
};

}  // namespace pathlux::platform
