#include "framework/dialog.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCollator>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>

#include "framework/assets.h"
#include "framework/message_box_qt.h"
#include "framework/qt_text.h"
#include "framework/color_font_static.h"
#include "framework/xgroup_box.h"

namespace wing {
namespace {

// A Send from another thread: the caller waits on it while the UI thread runs the handler.
struct SendCall {
    std::mutex mutex;
    std::condition_variable cv;
    bool started = false;
    bool done = false;
    bool abandoned = false;
    LRESULT result = 0;
};

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent : public QEvent {
public:
    MessageEvent(unsigned m, WPARAM w, LPARAM l, std::shared_ptr<SendCall> c = {})
        : QEvent(kMessageEvent), msg(m), wParam(w), lParam(l), call(std::move(c)) {}
    unsigned msg;
    WPARAM wParam;
    LPARAM lParam;
    std::shared_ptr<SendCall> call;
};

const char* kSortedProperty = "wingSorted";

// The position a sorted list or combo puts `text` at: after every entry that does not
// sort after it, comparing without regard to case as the platform's sorted lists do.
int SortedPosition(const QStringList& entries, const QString& text) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    int pos = 0;
    while (pos < entries.size() && collator.compare(entries[pos], text) <= 0) ++pos;
    return pos;
}

int MulDiv(int value, int numerator, int denominator) {
    long long v = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(v >= 0 ? (v + half) / denominator : (v - half) / denominator);
}

}  // namespace

namespace {
// A combo box that tells its dialog before it drops down (CBN_DROPDOWN).
class DropDownCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override {
        if (onDropDown) onDropDown();
        QComboBox::showPopup();
    }
    std::function<void()> onDropDown;
};
}  // namespace

struct CDialog::Impl {
    std::map<int, QWidget*> items;
    std::vector<QWidget*> controls;  // template order
    std::vector<QWidget*> groupBoxes;
    std::map<unsigned, Handler> messages;
    // The mapped ids again, for Post on other threads: a message nothing handles is not
    // queued, so it does not wake the UI thread.
    mutable std::mutex mappedLock;
    std::set<unsigned> mapped;
    std::map<int, std::function<void()>> commands;
    std::vector<std::pair<int, QString>> systemMenuItems;
    QFont font;
    QSize baseUnits{1, 1};
    int defaultButtonId = IDOK;
    std::atomic<bool> alive{true};
    std::atomic<bool> closing{false};
    std::atomic<bool> closeItemEnabled{true};
    bool initialised = false;
    bool destroyed = false;
};

CDialog::CDialog(const DialogTemplate& tmpl, QWidget* parent)
    : QDialog(parent), m_impl(new Impl), m_template(tmpl) {
    InstallFontSubstitutions();

    // The dialog font and the base units Windows derives from it: the average width of
    // the 52 Latin letters, rounded as GdiGetCharDimensions does, and the character height.
    m_impl->font = MakePixelFont(ToQString(tmpl.fontName ? tmpl.fontName : L"MS Shell Dlg"),
                                 PointsToPixels(tmpl.fontPointSize > 0 ? tmpl.fontPointSize : 8));
    setFont(m_impl->font);
    QFontMetrics fm(m_impl->font);
    int letters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_impl->baseUnits = QSize(std::max(1, (letters / 26 + 1) / 2), std::max(1, fm.height()));

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (tmpl.style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if ((tmpl.style & WS_MINIMIZEBOX) && (tmpl.style & WS_POPUP)) flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setWindowTitle(ToQString(tmpl.title ? tmpl.title : L""));
    QRect client = DialogUnitsToPixels({0, 0, tmpl.width, tmpl.height});
    setFixedSize(client.size());
    setWindowIcon(ApplicationIcon());

    BuildControls();
}

CDialog::~CDialog() {
    m_impl->alive = false;
    delete m_impl;
}

void CDialog::BuildControls() {
    QWidget* previousTab = nullptr;
    QButtonGroup* radioGroup = nullptr;
    for (const DialogControl& c : m_template.controls) {
        const QString cls = QString::fromLatin1(c.className);
        const QRect rect = DialogUnitsToPixels(c.rect);
        const QString ownText = c.text ? ToQString(c.text) : QString();
        QWidget* w = nullptr;
        bool focusable = false;

        if (cls == QLatin1String(kButtonClass)) {
            const std::uint32_t type = c.style & BS_TYPEMASK;
            if (type == BS_GROUPBOX) {
                QGroupBox* box = c.binding == ControlBinding::XGroupBox ? new CXGroupBox(this) : new QGroupBox(this);
                box->setTitle(ownText);
                box->setAttribute(Qt::WA_TransparentForMouseEvents);
                box->setFocusPolicy(Qt::NoFocus);
                m_impl->groupBoxes.push_back(box);
                w = box;
            } else {
                QAbstractButton* button = nullptr;
                if (type == BS_AUTOCHECKBOX) {
                    button = new QCheckBox(ownText, this);
                } else if (type == BS_AUTORADIOBUTTON) {
                    auto* radio = new QRadioButton(ownText, this);
                    if ((c.style & WS_GROUP) || radioGroup == nullptr) {
                        radioGroup = new QButtonGroup(this);
                        radioGroup->setExclusive(true);
                    }
                    radioGroup->addButton(radio);
                    button = radio;
                } else {
                    auto* push = new QPushButton(ownText, this);
                    push->setAutoDefault(false);
                    if (type == BS_DEFPUSHBUTTON) {
                        push->setDefault(true);
                        m_impl->defaultButtonId = c.id;
                    }
                    button = push;
                }
                const int id = c.id;
                connect(button, &QAbstractButton::clicked, this, [this, id] { OnButtonClicked(id); });
                focusable = true;
                w = button;
            }
        } else if (cls == QLatin1String(kStaticClass)) {
            const std::uint32_t type = c.style & SS_TYPEMASK;
            if (type == SS_ICON || type == SS_BITMAP) {
                auto* label = new QLabel(this);
                QPixmap pixmap = type == SS_ICON ? ApplicationIcon().pixmap(32, 32) : ProductPicture();
                if (type == SS_BITMAP && !pixmap.isNull()) {
                    int inner = (c.style & WS_BORDER) ? 2 : 0;
                    pixmap = pixmap.scaled(rect.size() - QSize(inner, inner), Qt::KeepAspectRatio,
                                           Qt::SmoothTransformation);
                    label->setAlignment(Qt::AlignCenter);
                } else {
                    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                }
                label->setPixmap(pixmap);
                if (c.style & WS_BORDER) {
                    label->setFrameStyle(QFrame::Box | QFrame::Plain);
                    label->setLineWidth(1);
                }
                w = label;
            } else if (c.binding == ControlBinding::ColorFontStatic) {
                auto* text = new CColorFontStatic(this);
                text->SetNoPrefix((c.style & SS_NOPREFIX) != 0);
                w = text;
            } else {
                auto* label = new QLabel(ownText, this);
                label->setTextFormat(Qt::PlainText);
                label->setWordWrap(true);
                label->setAlignment((type == SS_CENTER ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
                w = label;
            }
        } else if (cls == QLatin1String(kEditClass)) {
            auto* edit = new QLineEdit(ownText, this);
            edit->setReadOnly((c.style & ES_READONLY) != 0);
            edit->setFrame((c.style & WS_BORDER) != 0);
            focusable = true;
            w = edit;
        } else if (cls == QLatin1String(kListBoxClass)) {
            auto* list = new QListWidget(this);
            list->setProperty(kSortedProperty, (c.style & LBS_SORT) != 0);
            list->setVerticalScrollBarPolicy((c.style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
            list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            list->setTextElideMode(Qt::ElideNone);
            focusable = true;
            w = list;
        } else if (cls == QLatin1String(kComboBoxClass)) {
            auto* combo = new DropDownCombo(this);
            combo->setEditable((c.style & 0x3) == CBS_DROPDOWN);
            combo->setProperty(kSortedProperty, (c.style & CBS_SORT) != 0);
            combo->setInsertPolicy(QComboBox::NoInsert);
            focusable = true;
            w = combo;
        } else if (cls == QLatin1String(kProgressClass)) {
            auto* bar = new QProgressBar(this);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            w = bar;
        } else if (cls == QLatin1String(kDatePickerClass)) {
            auto* picker = new QDateTimeEdit(QDateTime::currentDateTime(), this);
            if ((c.style & DTS_TIMEFORMAT) == DTS_TIMEFORMAT) {
                picker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
            } else {
                picker->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
                picker->setCalendarPopup(true);
            }
            focusable = true;
            w = picker;
        } else {
            w = new QWidget(this);
        }

        w->setGeometry(rect);
        w->setProperty("wingControlId", c.id);
        if (focusable) {
            // Controls without the tab-stop style take focus by click only, as Tab skips them.
            w->setFocusPolicy((c.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
            if (c.style & WS_TABSTOP) {
                if (previousTab) QWidget::setTabOrder(previousTab, w);
                previousTab = w;
            }
        }
        if (!(c.style & WS_VISIBLE)) w->hide();
        if (c.id != IDC_STATIC && !m_impl->items.count(c.id)) m_impl->items[c.id] = w;
        m_impl->controls.push_back(w);

        if (auto* text = dynamic_cast<CColorFontStatic*>(w)) text->Attach();
        if (auto* box = dynamic_cast<CXGroupBox*>(w)) box->Attach();
    }

    // A combo box is as tall as its edit field; the template's height is that of the
    // dropped list.
    for (auto& [id, w] : m_impl->items) {
        if (auto* combo = dynamic_cast<QComboBox*>(w)) {
            QRect r = combo->geometry();
            int h = std::min(r.height(), combo->sizeHint().height());
            combo->setGeometry(r.x(), r.y(), r.width(), h);
        }
    }
    // Group frames lie below the controls they frame, whatever the template order.
    for (QWidget* box : m_impl->groupBoxes) box->lower();
}

QRect CDialog::DialogUnitsToPixels(const DialogRect& r) const {
    const int cx = m_impl->baseUnits.width();
    const int cy = m_impl->baseUnits.height();
    return QRect(MulDiv(r.x, cx, 4), MulDiv(r.y, cy, 8), MulDiv(r.width, cx, 4), MulDiv(r.height, cy, 8));
}

const QFont& CDialog::DialogFont() const { return m_impl->font; }
QSize CDialog::BaseUnits() const { return m_impl->baseUnits; }

// ---- life ----------------------------------------------------------------------------

bool CDialog::OnInitDialog() { return true; }

void CDialog::Create() {
    if (m_impl->initialised) return;
    m_impl->initialised = true;
    const bool setFocus = OnInitDialog();
    show();
    if (setFocus) SetInitialFocus();
}

void CDialog::SetInitialFocus() {
    for (const DialogControl& c : m_template.controls) {
        QWidget* w = Item(c.id);
        if (w && (c.style & WS_TABSTOP) && w->isEnabled() && !w->isHidden()) {
            w->setFocus(Qt::TabFocusReason);
            break;
        }
    }
}

int CDialog::DoModal() {
    int result = IDCANCEL;
    if (!m_impl->initialised) {
        // Initialised while still hidden, then shown by the modal loop itself so that the
        // window is modal from its first appearance.
        m_impl->initialised = true;
        const bool setFocus = OnInitDialog();
        if (!m_impl->destroyed) {
            if (setFocus) QMetaObject::invokeMethod(this, [this] { SetInitialFocus(); }, Qt::QueuedConnection);
            result = exec();
        }
    } else if (!m_impl->destroyed) {
        result = exec();
    }
    DestroyWindow();
    return result;
}

void CDialog::EndDialog(int result) {
    SetClosing(true);
    done(result);
}

void CDialog::DestroyWindow() {
    if (m_impl->destroyed) return;
    m_impl->destroyed = true;
    SetClosing(true);
    // A worker waiting on a message box may be one that OnDestroy waits for.
    const bool topLevel = parentWidget() == nullptr;
    if (topLevel) SetMessageBoxesClosing(true);
    OnDestroy();
    if (topLevel) SetMessageBoxesClosing(false);
    m_impl->alive = false;
    hide();
}

void CDialog::SetClosing(bool closing) { m_impl->closing = closing; }
bool CDialog::IsClosing() const { return m_impl->closing; }

void CDialog::OnClose() { OnCancel(); }
void CDialog::OnDestroy() {}
void CDialog::OnOK() { EndDialog(IDOK); }
void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnSysCommand(int command) {
    if (command == SC_CLOSE && m_impl->closeItemEnabled) Dispatch(WM_CLOSE, 0, 0);
}

void CDialog::OnPaintDialog(QPainter&) {}

void CDialog::Close() { Send(WM_CLOSE, 0, 0); }

// ---- Qt events -------------------------------------------------------------------------

bool CDialog::event(QEvent* e) {
    if (e->type() != kMessageEvent) return QDialog::event(e);
    auto* m = static_cast<MessageEvent*>(e);
    if (!m->call) {
        if (m_impl->alive) Dispatch(m->msg, m->wParam, m->lParam);
        return true;
    }
    SendCall& call = *m->call;
    {
        std::lock_guard<std::mutex> lock(call.mutex);
        if (call.abandoned) return true;
        if (!m_impl->alive || m_impl->closing) {
            call.done = true;
            call.cv.notify_all();
            return true;
        }
        call.started = true;
    }
    LRESULT result = Dispatch(m->msg, m->wParam, m->lParam);
    {
        std::lock_guard<std::mutex> lock(call.mutex);
        call.result = result;
        call.done = true;
    }
    call.cv.notify_all();
    return true;
}

void CDialog::closeEvent(QCloseEvent* e) {
    // The close button and Alt+F4 are the system menu's Close item: greyed, they do nothing.
    e->ignore();
    if (!m_impl->closeItemEnabled || m_impl->destroyed) return;
    Dispatch(WM_CLOSE, 0, 0);
}

void CDialog::reject() { OnCancel(); }

void CDialog::keyPressEvent(QKeyEvent* e) {
    if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) {
        if (e->key() == Qt::Key_Escape) {
            OnButtonClicked(IDCANCEL);
            return;
        }
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            // A focused push button is the default one; otherwise the dialog's default id.
            if (auto* push = qobject_cast<QPushButton*>(focusWidget()); push && push->isEnabled()) {
                push->click();
            } else {
                QWidget* def = Item(m_impl->defaultButtonId);
                auto* button = qobject_cast<QAbstractButton*>(def);
                if (button && button->isEnabled())
                    button->click();
                else if (!button)
                    OnButtonClicked(IDOK);
            }
            return;
        }
    }
    QDialog::keyPressEvent(e);
}

void CDialog::paintEvent(QPaintEvent* e) {
    QDialog::paintEvent(e);
    QPainter painter(this);
    OnPaintDialog(painter);
}

void CDialog::contextMenuEvent(QContextMenuEvent* e) {
    // The window's context menu stands in for the system menu.
    QMenu menu(this);
    QAction* minimise = menu.addAction(tr("Minimize"));
    minimise->setEnabled((windowFlags() & Qt::WindowMinimizeButtonHint) != 0);
    connect(minimise, &QAction::triggered, this, [this] { showMinimized(); });
    menu.addSeparator();
    QAction* close = menu.addAction(tr("Close") + QStringLiteral("\tAlt+F4"));
    close->setEnabled(m_impl->closeItemEnabled);
    connect(close, &QAction::triggered, this, [this] { Dispatch(WM_SYSCOMMAND, SC_CLOSE, 0); });
    if (!m_impl->systemMenuItems.empty()) menu.addSeparator();
    for (const auto& [command, text] : m_impl->systemMenuItems) {
        QAction* a = menu.addAction(text);
        const int cmd = command;
        connect(a, &QAction::triggered, this, [this, cmd] { Dispatch(WM_SYSCOMMAND, static_cast<WPARAM>(cmd), 0); });
    }
    menu.exec(e->globalPos());
}

void CDialog::OnButtonClicked(int id) {
    auto it = m_impl->commands.find(id);
    if (it != m_impl->commands.end()) {
        it->second();
        return;
    }
    if (id == IDOK) OnOK();
    else if (id == IDCANCEL) OnCancel();
}

// ---- messages --------------------------------------------------------------------------

LRESULT CDialog::Dispatch(unsigned msg, WPARAM wParam, LPARAM lParam) {
    auto it = m_impl->messages.find(msg);
    if (it != m_impl->messages.end()) return it->second(wParam, lParam);
    switch (msg) {
        case WM_CLOSE: OnClose(); return 0;
        case WM_COMMAND: OnButtonClicked(static_cast<int>(wParam & 0xFFFF)); return 0;
        case WM_SYSCOMMAND: OnSysCommand(static_cast<int>(wParam)); return 0;
        default: return 0;
    }
}

bool CDialog::Post(unsigned msg, WPARAM wParam, LPARAM lParam) {
    if (!m_impl->alive) return false;
    const bool builtIn = msg == WM_CLOSE || msg == WM_COMMAND || msg == WM_SYSCOMMAND;
    if (!builtIn) {
        std::lock_guard<std::mutex> lock(m_impl->mappedLock);
        if (m_impl->mapped.count(msg) == 0) return true;  // it would change nothing
    }
    QCoreApplication::postEvent(this, new MessageEvent(msg, wParam, lParam));
    return true;
}

LRESULT CDialog::Send(unsigned msg, WPARAM wParam, LPARAM lParam) {
    if (IsUiThread()) return m_impl->alive ? Dispatch(msg, wParam, lParam) : 0;
    if (!m_impl->alive || m_impl->closing) return 0;
    auto call = std::make_shared<SendCall>();
    QCoreApplication::postEvent(this, new MessageEvent(msg, wParam, lParam, call));
    std::unique_lock<std::mutex> lock(call->mutex);
    while (!call->done) {
        // A window that starts closing while we wait may be waiting for this thread:
        // give the message up unless its handler is already running.
        if (!call->started && (m_impl->closing || !m_impl->alive)) {
            call->abandoned = true;
            return 0;
        }
        call->cv.wait_for(lock, std::chrono::milliseconds(10));
    }
    return call->result;
}

bool CDialog::IsWindow() const { return m_impl->alive; }

void CDialog::MapMessage(unsigned msg, Handler handler) {
    m_impl->messages[msg] = std::move(handler);
    std::lock_guard<std::mutex> lock(m_impl->mappedLock);
    m_impl->mapped.insert(msg);
}

void CDialog::MapCommand(int id, std::function<void()> handler) { m_impl->commands[id] = std::move(handler); }

void CDialog::MapToggled(int id, std::function<void()> handler) {
    if (auto* button = qobject_cast<QAbstractButton*>(Item(id)))
        connect(button, &QAbstractButton::toggled, this, [handler = std::move(handler)](bool) { handler(); });
}

void CDialog::MapDropDown(int id, std::function<void()> handler) {
    if (auto* combo = dynamic_cast<DropDownCombo*>(Item(id))) combo->onDropDown = std::move(handler);
}

void CDialog::RunOnUiThread(std::function<void()> fn) {
    if (IsUiThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

bool CDialog::IsUiThread() const { return QThread::currentThread() == thread(); }

// ---- system menu -----------------------------------------------------------------------

void CDialog::EnableCloseItem(bool enable) { m_impl->closeItemEnabled = enable; }
bool CDialog::IsCloseItemEnabled() const { return m_impl->closeItemEnabled; }

void CDialog::AddSystemMenuItem(int command, const std::wstring& text) {
    m_impl->systemMenuItems.emplace_back(command, ToQString(text));
}

std::vector<int> CDialog::SystemMenuCommands() const {
    std::vector<int> out;
    for (const auto& item : m_impl->systemMenuItems) out.push_back(item.first);
    return out;
}

// ---- controls ----------------------------------------------------------------------------

QWidget* CDialog::Item(int id) const {
    auto it = m_impl->items.find(id);
    return it == m_impl->items.end() ? nullptr : it->second;
}

const std::vector<QWidget*>& CDialog::Controls() const { return m_impl->controls; }

CColorFontStatic* CDialog::ColorStatic(int id) const { return ItemAs<CColorFontStatic>(id); }
CXGroupBox* CDialog::GroupBox(int id) const { return ItemAs<CXGroupBox>(id); }
QDateTimeEdit* CDialog::Picker(int id) const { return ItemAs<QDateTimeEdit>(id); }

QRect CDialog::ItemRect(int id) const {
    QWidget* w = Item(id);
    return w ? w->geometry() : QRect();
}

void CDialog::SetItemText(int id, const std::wstring& text) {
    QWidget* w = Item(id);
    const QString q = ToQString(text);
    if (auto* cfs = dynamic_cast<CColorFontStatic*>(w)) {
        cfs->SetText(text);
    } else if (auto* box = dynamic_cast<CXGroupBox*>(w)) {
        box->SetCaption(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        group->setTitle(q);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(q);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(q);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(q);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->isEditable()) combo->setEditText(q);
    }
}

std::wstring CDialog::ItemText(int id) const {
    QWidget* w = Item(id);
    if (auto* cfs = dynamic_cast<CColorFontStatic*>(w)) return cfs->Text();
    if (auto* group = qobject_cast<QGroupBox*>(w)) return FromQString(group->title());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return FromQString(button->text());
    if (auto* label = qobject_cast<QLabel*>(w)) return FromQString(label->text());
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return FromQString(edit->text());
    if (auto* combo = qobject_cast<QComboBox*>(w)) return FromQString(combo->currentText());
    return {};
}

void CDialog::EnableItem(int id, bool enable) {
    if (QWidget* w = Item(id)) w->setEnabled(enable);
}
bool CDialog::IsItemEnabled(int id) const {
    QWidget* w = Item(id);
    return w && w->isEnabled();
}
void CDialog::ShowItem(int id, bool show) {
    if (QWidget* w = Item(id)) w->setVisible(show);
}
bool CDialog::IsItemVisible(int id) const {
    QWidget* w = Item(id);
    return w && !w->isHidden();
}

bool CDialog::IsChecked(int id) const {
    auto* b = qobject_cast<QAbstractButton*>(Item(id));
    return b && b->isChecked();
}
void CDialog::SetChecked(int id, bool checked) {
    if (auto* b = qobject_cast<QAbstractButton*>(Item(id))) b->setChecked(checked);
}

int CDialog::RadioGroupValue(int firstId) const {
    bool inGroup = false;
    int index = 0;
    for (const DialogControl& c : m_template.controls) {
        if (!inGroup) {
            if (c.id != firstId) continue;
            inGroup = true;
        } else if (c.style & WS_GROUP) {
            break;
        }
        auto* radio = qobject_cast<QRadioButton*>(Item(c.id));
        if (!radio) continue;
        if (radio->isChecked()) return index;
        ++index;
    }
    return -1;
}

void CDialog::SetProgressRange(int id, int low, int high) {
    if (auto* bar = qobject_cast<QProgressBar*>(Item(id))) bar->setRange(low, high);
}
void CDialog::SetProgress(int id, int pos) {
    if (auto* bar = qobject_cast<QProgressBar*>(Item(id)))
        bar->setValue(std::clamp(pos, bar->minimum(), bar->maximum()));
}
int CDialog::Progress(int id) const {
    auto* bar = qobject_cast<QProgressBar*>(Item(id));
    return bar ? bar->value() : 0;
}

int CDialog::ListAdd(int id, const std::wstring& text) {
    auto* list = qobject_cast<QListWidget*>(Item(id));
    if (!list) return -1;
    const QString q = ToQString(text);
    int index = list->count();
    if (list->property(kSortedProperty).toBool()) {
        QStringList entries;
        for (int i = 0; i < list->count(); ++i) entries << list->item(i)->text();
        index = SortedPosition(entries, q);
    }
    list->insertItem(index, q);
    return index;
}

int CDialog::ListInsert(int id, int index, const std::wstring& text) {
    auto* list = qobject_cast<QListWidget*>(Item(id));
    if (!list) return -1;
    if (index < 0 || index > list->count()) index = list->count();
    list->insertItem(index, ToQString(text));
    return index;
}

void CDialog::ListDelete(int id, int index) {
    auto* list = qobject_cast<QListWidget*>(Item(id));
    if (list && index >= 0 && index < list->count()) delete list->takeItem(index);
}

void CDialog::ListReset(int id) {
    if (auto* list = qobject_cast<QListWidget*>(Item(id))) list->clear();
}

int CDialog::ListCount(int id) const {
    auto* list = qobject_cast<QListWidget*>(Item(id));
    return list ? list->count() : 0;
}

std::wstring CDialog::ListText(int id, int index) const {
    auto* list = qobject_cast<QListWidget*>(Item(id));
    if (!list || index < 0 || index >= list->count()) return {};
    return FromQString(list->item(index)->text());
}

void CDialog::ComboReset(int id) {
    if (auto* combo = qobject_cast<QComboBox*>(Item(id))) combo->clear();
}

int CDialog::ComboAdd(int id, const std::wstring& text) {
    auto* combo = qobject_cast<QComboBox*>(Item(id));
    if (!combo) return -1;
    const QString q = ToQString(text);
    int index = combo->count();
    if (combo->property(kSortedProperty).toBool()) {
        QStringList entries;
        for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
        index = SortedPosition(entries, q);
    }
    // A box without a selection keeps none after the insertion, as the platform's does.
    const int current = combo->currentIndex();
    combo->insertItem(index, q);
    if (current < 0) combo->setCurrentIndex(-1);
    return index;
}

void CDialog::ComboSetCurSel(int id, int index) {
    if (auto* combo = qobject_cast<QComboBox*>(Item(id)))
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

int CDialog::ComboCurSel(int id) const {
    auto* combo = qobject_cast<QComboBox*>(Item(id));
    return combo ? combo->currentIndex() : -1;
}

int CDialog::ComboCount(int id) const {
    auto* combo = qobject_cast<QComboBox*>(Item(id));
    return combo ? combo->count() : 0;
}

std::wstring CDialog::ComboText(int id, int index) const {
    auto* combo = qobject_cast<QComboBox*>(Item(id));
    if (!combo || index < 0 || index >= combo->count()) return {};
    return FromQString(combo->itemText(index));
}

}  // namespace wing
