#pragma once
// The dialog framework on Qt Widgets: a dialog built from its template data, controls
// reached by id with Win32-like operations, window messages dispatched through one
// message map, the system menu's Close and About items, and the message-box handler.
// Only the UI thread touches widgets; other threads talk to the dialog through
// Post/Send (the IWindow interface).

#include <QDialog>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/window.h"
#include "resources/dialog_templates.h"

class QDateTimeEdit;

namespace wing {

// Window messages of the framework itself (the Win32 numbers).
constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_COMMAND = 0x0111;
constexpr unsigned WM_SYSCOMMAND = 0x0112;
constexpr int SC_CLOSE = 0xF060;

class CColorFontStatic;
class CXGroupBox;

class CDialog : public QDialog, public IWindow {
public:
    using Handler = std::function<LRESULT(WPARAM, LPARAM)>;

    explicit CDialog(const DialogTemplate& tmpl, QWidget* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally: OnInitDialog first, then the event loop until EndDialog.
    int DoModal();
    void EndDialog(int result);
    // Called once before the dialog is first shown; true lets the framework set the focus.
    virtual bool OnInitDialog();

    // ---- controls by id ------------------------------------------------------------
    QWidget* Item(int id) const;
    // Every control in template order, those without an id of their own (IDC_STATIC)
    // included.
    const std::vector<QWidget*>& Controls() const;
    template <class T>
    T* ItemAs(int id) const {
        return dynamic_cast<T*>(Item(id));
    }
    CColorFontStatic* ColorStatic(int id) const;
    CXGroupBox* GroupBox(int id) const;
    QDateTimeEdit* Picker(int id) const;

    void SetItemText(int id, const std::wstring& text);
    std::wstring ItemText(int id) const;
    void EnableItem(int id, bool enable);
    bool IsItemEnabled(int id) const;
    void ShowItem(int id, bool show);
    bool IsItemVisible(int id) const;  // the control's own visibility flag
    bool IsChecked(int id) const;       // check boxes and radio buttons
    void SetChecked(int id, bool checked);
    // The index of the checked radio button in the group that starts at `firstId`, or -1.
    int RadioGroupValue(int firstId) const;

    void SetProgressRange(int id, int low, int high);
    void SetProgress(int id, int pos);  // clamped to the range
    int Progress(int id) const;

    // List box: a sorted list box sorts on Add; Insert places at `index` (-1: the end).
    int ListAdd(int id, const std::wstring& text);
    int ListInsert(int id, int index, const std::wstring& text);
    void ListDelete(int id, int index);
    void ListReset(int id);
    int ListCount(int id) const;
    std::wstring ListText(int id, int index) const;

    // Combo box.
    void ComboReset(int id);
    int ComboAdd(int id, const std::wstring& text);
    void ComboSetCurSel(int id, int index);
    int ComboCurSel(int id) const;
    int ComboCount(int id) const;
    std::wstring ComboText(int id, int index) const;

    // The system menu's Close item: greyed means the close button and Alt+F4 do nothing.
    void EnableCloseItem(bool enable);
    bool IsCloseItemEnabled() const;
    // An item of the window's context menu that stands in for a system-menu item.
    void AddSystemMenuItem(int command, const std::wstring& text);

    // ---- messages ------------------------------------------------------------------
    // Posted: queued for the UI thread; one that neither the message map nor the dialog's
    // own close, command and system-command handling takes is dropped at once. Sent:
    // handled at once on the UI thread, or from another thread as a blocking call; while
    // the dialog is closing a sent message from another thread is dropped (returns 0) so
    // no worker can wait on a window that waits for it.
    bool Post(unsigned msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT Send(unsigned msg, WPARAM wParam, LPARAM lParam) override;
    bool IsWindow() const override;
    HWND Hwnd() { return this; }

    // The message map: messages not mapped change nothing and return 0.
    void MapMessage(unsigned msg, Handler handler);
    // Button clicks (BN_CLICKED) by control id.
    void MapCommand(int id, std::function<void()> handler);
    // A check box's state changed, however it came to change: a click, the keyboard, a
    // screen reader's toggle action or SetChecked. State that must follow what the box
    // shows is kept here, not in the click handler.
    void MapToggled(int id, std::function<void()> handler);
    // A combo box about to drop down (CBN_DROPDOWN) by control id.
    void MapDropDown(int id, std::function<void()> handler);
    // Runs `fn` on the UI thread: at once when called there, else queued.
    void RunOnUiThread(std::function<void()> fn);
    bool IsUiThread() const;

    // ---- window-level hooks ----------------------------------------------------------
    // The close request (close button, Alt+F4, WM_CLOSE); the default ends the dialog as cancelled.
    virtual void OnClose();
    // Runs when the dialog ends, before its widgets go (the Win32 WM_DESTROY).
    virtual void OnDestroy();
    // A system-menu command (About = 16).
    virtual void OnSysCommand(int command);
    // Extra painting on the dialog's surface after the default.
    virtual void OnPaintDialog(class QPainter& painter);
    // Sends WM_CLOSE to the window, as the Exit button does.
    void Close();

    // ---- additions -------------------------------------------------------------------
    // Builds the window without a modal loop: OnInitDialog, then shown. DoModal uses it.
    void Create();
    // Ends the window: marks it closing, runs OnDestroy, hides it; IsWindow is false after.
    // Runs at most once; the derived destructor calls it if the window still exists.
    void DestroyWindow();
    // While closing, a Send from another thread returns 0 at once instead of waiting.
    void SetClosing(bool closing);
    bool IsClosing() const;
    // The Enter key outside a push button (IDOK) and Escape / the OK and Cancel ids.
    virtual void OnOK();
    virtual void OnCancel();
    // The command ids of the context-menu stand-ins for system-menu items, in order.
    std::vector<int> SystemMenuCommands() const;
    // The dialog font and its base units (average character width, character height).
    const QFont& DialogFont() const;
    QSize BaseUnits() const;

    // Pixel rectangle of a control in client coordinates.
    QRect ItemRect(int id) const;
    // Dialog units to pixels with this dialog's font, as Windows converts them.
    QRect DialogUnitsToPixels(const DialogRect& rect) const;
    const DialogTemplate& Template() const { return m_template; }

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void reject() override;

private:
    LRESULT Dispatch(unsigned msg, WPARAM wParam, LPARAM lParam);
    void BuildControls();
    void SetInitialFocus();
    void OnButtonClicked(int id);

    struct Impl;
    Impl* m_impl;
    const DialogTemplate& m_template;
};

}  // namespace wing
