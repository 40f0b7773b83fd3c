#include "platform/qt/dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimerEvent>
#include <algorithm>

#include "platform/qt/app_icon.h"
#include "platform/qt/message_map.h"
#include "platform/qt/text.h"

namespace pathlux::platform {
namespace {

// Messages posted from other threads travel as this event type.
const QEvent::Type kPostedMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class PostedMessage : public QEvent {
  public:
    PostedMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
        : QEvent(kPostedMessageEvent), message(message), wParam(wParam), lParam(lParam) {}
    const std::uint32_t message;
    const std::uintptr_t wParam;
    const std::intptr_t lParam;
};

// A tab stop takes the focus by Tab and by a click; any other control only by a click, as the
// platform's dialog navigation passes over it.
Qt::FocusPolicy FocusPolicyOf(std::uint32_t style) {
    return (style & kWsTabStop) != 0 ? Qt::StrongFocus : Qt::ClickFocus;
}

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
            return true;
        default:
            return false;
    }
}

// While a modal run lasts its owner takes no input, as the platform disables the owner of a
// modal dialog. Qt's modality keeps the window system's input away from it; this also stops
// input delivered to its widgets directly.
class OwnerInputBlock : public QObject {
  public:
    explicit OwnerInputBlock(QWidget* owner) : owner_(owner) {
        if (owner_ != nullptr) {
            QCoreApplication::instance()->installEventFilter(this);
        }
    }
    ~OwnerInputBlock() override {
        if (owner_ != nullptr) {
            QCoreApplication::instance()->removeEventFilter(this);
        }
    }
    OwnerInputBlock(const OwnerInputBlock&) = delete;
    OwnerInputBlock& operator=(const OwnerInputBlock&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto* widget = qobject_cast<QWidget*>(watched);
        return widget != nullptr && widget->window() == owner_ && IsUserInput(event->type());
    }

  private:
    QWidget* owner_;
};

// A drop-down list that can be told, each time it drops down, to bring its items up to date.
class DropDownList : public QComboBox {
  public:
    using QComboBox::QComboBox;
    std::function<void()> beforeDrop;

    void showPopup() override {
        if (beforeDrop) {
            beforeDrop();
        }
        // The drop-down is as wide as its longest item, however narrow the closed list.
        view()->setMinimumWidth(view()->sizeHintForColumn(0) + view()->frameWidth() * 2);
        QComboBox::showPopup();
    }
};

Qt::Alignment StaticAlignment(std::uint32_t style) {
    switch (style & kSsTypeMask) {
        case kSsCenter:
            return Qt::AlignHCenter | Qt::AlignTop;
        case kSsRight:
            return Qt::AlignRight | Qt::AlignTop;
        default:
            return Qt::AlignLeft | Qt::AlignTop;
    }
}

}  // namespace

QFont DialogFont(std::u16string_view face, int points, DialogZoom zoom) {
    // "System" is not a face here; the original's 8-point dialog font has a 14-pixel cell, as
    // Liberation Sans has at 12 pixels.
    (void)face;
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(std::max(1, points * 3 * zoom.num / (2 * zoom.den)));
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    // As the original dialog manager: the average width of the 52 letters, rounded, and the
    // character height.
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QIcon LoadAppIcon() {
    QIcon icon;
    for (const int size : {16, 32, 64}) {
        icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
    }
    return icon;
}

Dialog::Dialog(const DialogTemplate& dialogTemplate, QWidget* owner)
    : QDialog(owner), template_(dialogTemplate) {
    setWindowTitle(ToQString(dialogTemplate.title));
    const QFont font = DialogFont(dialogTemplate.fontFace, dialogTemplate.fontPoints);
    setFont(font);
    baseUnits_ = BaseUnitsOf(font);
    BuildControls();
    PlaceControls();
    for (const ListItems& list : dialogTemplate.lists) {
        if (auto* combo = qobject_cast<QComboBox*>(GetDlgItem(list.controlId))) {
            settingSelection_ = true;
            for (const std::u16string_view item : list.items) {
                combo->addItem(ToQString(item));
            }
            combo->setCurrentIndex(-1);
            settingSelection_ = false;
        }
    }
}

Dialog::~Dialog() = default;

void Dialog::BuildControls() {
    for (const ControlTemplate& control : template_.controls) {
        QWidget* widget = nullptr;
        const QString text = ToQString(control.text);
        const int id = control.id;
        switch (control.kind) {
            case ControlKind::kButton: {
                auto* button = new QPushButton(text, this);
                // Enter presses the template's default button and no other.
                button->setAutoDefault(false);
                button->setDefault((control.style & kBsTypeMask) == kBsDefPushButton);
                connect(button, &QPushButton::clicked, this,
                        [this, id] { SendCommand(id, kBnClicked); });
                widget = button;
                break;
            }
            case ControlKind::kStatic: {
                if ((control.style & kSsTypeMask) > kSsRight) {
                    widget = new QFrame(this);
                    break;
                }
                auto* label = new QLabel(text, this);
                // Receiver text is shown as it is, never read as markup.
                label->setTextFormat(Qt::PlainText);
                label->setAlignment(StaticAlignment(control.style));
                widget = label;
                break;
            }
            case ControlKind::kEdit: {
                if ((control.style & kEsMultiline) == 0) {
                    auto* edit = new QLineEdit(text, this);
                    edit->setReadOnly((control.style & kEsReadOnly) != 0);
                    widget = edit;
                    break;
                }
                auto* edit = new QPlainTextEdit(text, this);
                edit->setReadOnly((control.style & kEsReadOnly) != 0);
                // Tab moves between the dialog's controls, as in any dialog.
                edit->setTabChangesFocus(true);
                if ((control.style & kEsAutoHScroll) != 0) {
                    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
                }
                edit->setVerticalScrollBarPolicy((control.style & kWsVScroll) != 0
                                                     ? Qt::ScrollBarAlwaysOn
                                                     : Qt::ScrollBarAlwaysOff);
                // Without the style a long line scrolls sideways with the caret, barless.
                edit->setHorizontalScrollBarPolicy((control.style & kWsHScroll) != 0
                                                       ? Qt::ScrollBarAlwaysOn
                                                       : Qt::ScrollBarAlwaysOff);
                if ((control.style & kWsBorder) == 0) {
                    edit->setFrameShape(QFrame::NoFrame);
                }
                widget = edit;
                break;
            }
            case ControlKind::kComboBox: {
                auto* combo = new DropDownList(this);
                // Only the user's choice changes a list, never a wheel turned over it in passing.
                combo->installEventFilter(this);
                connect(combo, &QComboBox::currentIndexChanged, this, [this, id, combo](int i) {
                    combo->setToolTip(combo->itemData(i, Qt::ToolTipRole).toString());
                    if (!settingSelection_) {
                        SendCommand(id, kCbnSelChange);
                    }
                });
                widget = combo;
                break;
            }
        }
        widget->setVisible((control.style & kWsVisible) != 0);
        widget->setEnabled((control.style & kWsDisabled) == 0);
        if (widget->focusPolicy() != Qt::NoFocus) {
            widget->setFocusPolicy(FocusPolicyOf(control.style));
            if ((control.style & kWsTabStop) != 0) {
                tabStops_.push_back(widget);
            }
        }
        if (id != kStaticId) {
            controls_[id] = widget;
        }
        placed_.push_back(widget);
    }
}

void Dialog::SetZoom(DialogZoom zoom) {
    if (zoom.num <= 0 || zoom.den <= 0 || zoom == zoom_) {
        return;
    }
    zoom_ = zoom;
    PlaceControls();
}

void Dialog::PlaceControls() {
    setFont(DialogFont(template_.fontFace, template_.fontPoints, zoom_));
    setFixedSize(DialogUnitsToPixelsX(template_.width, baseUnits_, zoom_),
                 DialogUnitsToPixelsY(template_.height, baseUnits_, zoom_));
    for (std::size_t i = 0; i < placed_.size(); ++i) {
        const ControlTemplate& control = template_.controls[i];
        QWidget* widget = placed_[i];
        const int x = DialogUnitsToPixelsX(control.x, baseUnits_, zoom_);
        const int y = DialogUnitsToPixelsY(control.y, baseUnits_, zoom_);
        const int width = DialogUnitsToPixelsX(control.width, baseUnits_, zoom_);
        int height = DialogUnitsToPixelsY(control.height, baseUnits_, zoom_);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // A style sheet ends the font's inheritance from the dialog: the font is set anew.
            combo->setFont(font());
            // Narrow drop-downs of the original show their text beside a slim arrow.
            combo->setStyleSheet(
                QStringLiteral("QComboBox { padding: 0px 0px 0px %1px; } QComboBox::drop-down { "
                               "width: %2px; }")
                    .arg(3 * zoom_.num / zoom_.den)
                    .arg(12 * zoom_.num / zoom_.den));
            // A drop-down's template height is that of its open list; closed it is one line.
            const int lineHeight = combo->sizeHint().height();
            combo->setMaxVisibleItems(std::max(1, (height - lineHeight) / fontMetrics().height()));
            height = lineHeight;
        }
        widget->setGeometry(x, y, width, height);
    }
}

int Dialog::DoModal() {
    InitDialog();
    // The run shows the dialog itself: shown before it, Qt would not make it modal.
    const OwnerInputBlock ownerBlocked(parentWidget());
    return exec();
}

void Dialog::Create() {
    InitDialog();
    show();
}

void Dialog::InitDialog() {
    if (!OnInitDialog()) {
        return;
    }
    for (QWidget* widget : tabStops_) {
        if (!widget->isHidden() && widget->isEnabled()) {
            widget->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

QWidget* Dialog::GetDlgItem(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

void Dialog::SetDlgItemText(int id, const QString& text) {
    QWidget* widget = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setText(text);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
        edit->setPlainText(text);
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        line->setText(text);
    }
}

QString Dialog::GetDlgItemText(int id) const {
    QWidget* widget = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        return button->text();
    }
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
        return edit->toPlainText();
    }
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        return line->text();
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        return combo->currentText();
    }
    return QString();
}

void Dialog::EnableDlgItem(int id, bool enable) {
    if (QWidget* widget = GetDlgItem(id)) {
        widget->setEnabled(enable);
    }
}

void Dialog::AddListItem(int listId, const QString& text) {
    if (auto* combo = qobject_cast<QComboBox*>(GetDlgItem(listId))) {
        settingSelection_ = true;
        combo->addItem(text);
        settingSelection_ = false;
    }
}

int Dialog::GetCurSel(int listId) const {
    const auto* combo = qobject_cast<const QComboBox*>(GetDlgItem(listId));
    return combo != nullptr ? combo->currentIndex() : -1;
}

void Dialog::SetCurSel(int listId, int index) {
    if (auto* combo = qobject_cast<QComboBox*>(GetDlgItem(listId))) {
        settingSelection_ = true;
        combo->setCurrentIndex(index);
        settingSelection_ = false;
    }
}

void Dialog::SetListItemTip(int listId, int index, const QString& tip) {
    if (auto* combo = qobject_cast<QComboBox*>(GetDlgItem(listId))) {
        combo->setItemData(index, tip, Qt::ToolTipRole);
        if (index == combo->currentIndex()) {
            combo->setToolTip(tip);
        }
    }
}

void Dialog::ReplaceListItems(int listId, int from, const std::vector<ListItem>& items,
                              int select) {
    auto* combo = qobject_cast<QComboBox*>(GetDlgItem(listId));
    if (combo == nullptr) {
        return;
    }
    settingSelection_ = true;
    while (combo->count() > from) {
        combo->removeItem(combo->count() - 1);
    }
    for (const ListItem& item : items) {
        combo->addItem(item.text);
        combo->setItemData(combo->count() - 1, item.tip, Qt::ToolTipRole);
    }
    combo->setCurrentIndex(select);
    combo->setToolTip(combo->itemData(combo->currentIndex(), Qt::ToolTipRole).toString());
    settingSelection_ = false;
}

void Dialog::SetListDropHook(int listId, std::function<void()> hook) {
    if (auto* combo = dynamic_cast<DropDownList*>(GetDlgItem(listId))) {
        combo->beforeDrop = std::move(hook);
    }
}

void Dialog::CenterWindow() {
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

Rect Dialog::GetDlgItemRect(int id) const {
    const QWidget* widget = GetDlgItem(id);
    if (widget == nullptr) {
        return {};
    }
    const QRect r = widget->geometry();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void Dialog::SetTimer(int timerId, int periodMs) {
    // Precise, so that a count of ticks is a count of seconds.
    timers_[timerId].start(periodMs, Qt::PreciseTimer, this);
}

void Dialog::KillTimer(int timerId) {
    timers_.erase(timerId);
}

bool Dialog::HasTimer(int timerId) const {
    const auto found = timers_.find(timerId);
    return found != timers_.end() && found->second.isActive();
}

void Dialog::MessageBox(const QString& text, const QString& detail) {
    QWidget* owner = QApplication::activeModalWidget();
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    owner != nullptr ? owner : this);
    box.setInformativeText(detail);
    box.exec();
}

bool Dialog::PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    QCoreApplication::postEvent(this, new PostedMessage(message, wParam, lParam));
    return true;
}

bool Dialog::event(QEvent* event) {
    if (event->type() == kPostedMessageEvent) {
        const auto* posted = static_cast<PostedMessage*>(event);
        OnMessage(posted->message, posted->wParam, posted->lParam, nullptr);
        return true;
    }
    return QDialog::event(event);
}

bool Dialog::eventFilter(QObject* watched, QEvent* event) {
    // A wheel over a list without the focus changes nothing (the lists are the only controls
    // this dialog watches).
    if (event->type() == QEvent::Wheel) {
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && !widget->hasFocus()) {
            event->ignore();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Dialog::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    paintSurface_ = &painter;
    const QRect r = event->rect();
    paintRect_ = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    paintRegion_ = event->region();
    if (!OnMessage(kWmPaint, 0, 0, nullptr)) {
        QDialog::paintEvent(event);
    }
    paintSurface_ = nullptr;
    paintRect_ = {};
    paintRegion_ = QRegion();
}

void Dialog::timerEvent(QTimerEvent* event) {
    for (const auto& [id, timer] : timers_) {
        if (timer.timerId() == event->timerId()) {
            OnMessage(kWmTimer, static_cast<std::uintptr_t>(id), 0, nullptr);
            return;
        }
    }
    QDialog::timerEvent(event);
}

void Dialog::SendCommand(int controlId, int notification) {
    if (OnMessage(kWmCommand, MakeCommandParam(controlId, notification), 0, nullptr) ||
        notification != kBnClicked) {
        return;
    }
    if (controlId == kIdOk) {
        OnOK();
    } else if (controlId == kIdCancel) {
        OnCancel();
    }
}

}  // namespace pathlux::platform
