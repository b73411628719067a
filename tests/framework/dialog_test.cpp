// The dialog built from its template, window messages across threads, the Close item,
// and sorted lists.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFontMetrics>
#include <QGroupBox>
#include <QListWidget>

#include <atomic>
#include <thread>

#include "framework/dialog.h"
#include "framework/qt_text.h"
#include "framework/qt_test_env.h"
#include "resources/dialog_templates.h"
#include "framework/color_font_static.h"
#include "framework/xgroup_box.h"

WING_QT_TEST_ENVIRONMENT();

namespace wing {
namespace {

using namespace std::chrono_literals;
using test::PumpUntil;

constexpr unsigned kTestMsg = WM_APP + 77;

class CountingDialog : public CDialog {
public:
    CountingDialog() : CDialog(MainDialogTemplate()) {}
    void OnClose() override { ++closes; }
    void OnDestroy() override { ++destroys; }
    int closes = 0;
    int destroys = 0;
};

TEST(DialogLayout, ControlsSitAtTheirTemplateRectanglesInPixels) {
    CDialog dlg(MainDialogTemplate());
    // Base units the way Windows takes them from the dialog font.
    QFontMetrics fm(dlg.DialogFont());
    int letters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int cx = (letters / 26 + 1) / 2;
    const int cy = fm.height();
    EXPECT_EQ(dlg.BaseUnits(), QSize(cx, cy));
    EXPECT_GE(cx, 5);
    EXPECT_LE(cx, 9);
    EXPECT_GE(cy, 12);
    EXPECT_LE(cy, 18);
    EXPECT_EQ(dlg.DialogFont().pixelSize(), 12);  // 9 points at 96 dots per inch

    auto px = [](int v, int base, int div) { return (v * base + div / 2) / div; };
    EXPECT_EQ(dlg.size(), QSize(px(351, cx, 4), px(360, cy, 8)));
    for (const DialogControl& c : MainDialogTemplate().controls) {
        SCOPED_TRACE(c.id);
        const QRect want(px(c.rect.x, cx, 4), px(c.rect.y, cy, 8), px(c.rect.width, cx, 4), px(c.rect.height, cy, 8));
        const QRect got = dlg.ItemRect(c.id);
        ASSERT_FALSE(got.isNull());
        EXPECT_EQ(got.topLeft(), want.topLeft());
        EXPECT_EQ(got.width(), want.width());
        if (QString(c.className) == QLatin1String(kComboBoxClass)) {
            // The template's height is the dropped list's; the closed box is one line tall.
            EXPECT_LE(got.height(), want.height());
        } else {
            EXPECT_EQ(got.height(), want.height());
        }
    }
}

TEST(DialogLayout, ControlClassesBindingsAndVisibilityFollowTheTemplate) {
    CDialog dlg(MainDialogTemplate());
    for (const DialogControl& c : MainDialogTemplate().controls) {
        SCOPED_TRACE(c.id);
        QWidget* w = dlg.Item(c.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(dlg.IsItemVisible(c.id), (c.style & WS_VISIBLE) != 0);
        if (c.binding == ControlBinding::ColorFontStatic) {
            EXPECT_NE(dlg.ColorStatic(c.id), nullptr);
        }
        if (c.binding == ControlBinding::XGroupBox) {
            EXPECT_NE(dlg.GroupBox(c.id), nullptr);
        }
    }
    EXPECT_FALSE(dlg.IsItemVisible(1012));  // the unused edit field
    ASSERT_NE(dlg.Picker(1016), nullptr);
    ASSERT_NE(dlg.Picker(1017), nullptr);
    EXPECT_TRUE(dlg.ItemAs<QComboBox>(1034)->isEditable());
    EXPECT_FALSE(dlg.ItemAs<QComboBox>(1019)->isEditable());
    EXPECT_EQ(dlg.Item(1036), nullptr);  // an About box control
}

TEST(DialogLayout, TabVisitsTheTabStopsInTemplateOrder) {
    CDialog dlg(MainDialogTemplate());
    std::vector<QWidget*> stops;
    for (const DialogControl& c : MainDialogTemplate().controls)
        if ((c.style & WS_TABSTOP) && (c.style & WS_VISIBLE)) stops.push_back(dlg.Item(c.id));
    ASSERT_GE(stops.size(), 8u);
    // Each stop's next focusable stop in the chain is the next one of the template.
    for (std::size_t i = 0; i + 1 < stops.size(); ++i) {
        QWidget* w = stops[i]->nextInFocusChain();
        while (w != stops[i] && !(w->focusPolicy() & Qt::TabFocus && !w->isHidden() &&
                                  std::find(stops.begin(), stops.end(), w) != stops.end()))
            w = w->nextInFocusChain();
        EXPECT_EQ(w, stops[i + 1]) << "after stop " << i;
    }
    // The sorted combo box without the tab-stop style is not a Tab stop.
    EXPECT_FALSE(dlg.Item(1019)->focusPolicy() & Qt::TabFocus);
}

TEST(DialogLayout, GroupFramesLieBelowTheControlsTheyFrame) {
    CDialog dlg(MainDialogTemplate());
    dlg.show();
    // LINK comes before its group box in the template, yet a click at its centre reaches it.
    QWidget* link = dlg.Item(1009);
    EXPECT_EQ(dlg.childAt(link->geometry().center()), link);
    EXPECT_TRUE(dlg.Item(1007)->testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST(DialogAccessibility, EveryControlHasARoleAndColouredStaticsReadTheirText) {
    CDialog dlg(MainDialogTemplate());
    for (const DialogControl& c : MainDialogTemplate().controls) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(dlg.Item(c.id));
        ASSERT_NE(a, nullptr) << c.id;
        EXPECT_NE(a->role(), QAccessible::NoRole) << c.id;
        if (c.binding != ControlBinding::ColorFontStatic) continue;
        const std::wstring text = L"Probe " + std::to_wstring(c.id) + L" 狀態";
        dlg.ColorStatic(c.id)->SetText(text);
        EXPECT_EQ(a->role(), QAccessible::StaticText);
        EXPECT_EQ(a->text(QAccessible::Name), ToQString(text)) << c.id;
    }
    dlg.SetItemText(1009, L"LINK");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dlg.Item(1009))->text(QAccessible::Name), "LINK");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dlg.Item(1009))->role(), QAccessible::Button);
    dlg.GroupBox(1007)->SetCaption(std::wstring(L"GPS Connection"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dlg.Item(1007))->text(QAccessible::Name), "GPS Connection");
}

TEST(DialogMessages, PostIsQueuedSendOnTheUiThreadIsDirectUnmappedChangesNothing) {
    CDialog dlg(MainDialogTemplate());
    int handled = 0;
    dlg.MapMessage(kTestMsg, [&](WPARAM w, LPARAM l) {
        handled += static_cast<int>(w);
        return static_cast<LRESULT>(l * 2);
    });
    EXPECT_TRUE(dlg.Post(kTestMsg, 1, 0));
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(dlg.Send(kTestMsg, 10, 21), 42);
    EXPECT_EQ(handled, 10);
    QApplication::processEvents();
    EXPECT_EQ(handled, 11);
    EXPECT_EQ(dlg.Send(WM_APP + 999, 1, 1), 0);
    EXPECT_TRUE(dlg.IsWindow());
}

TEST(DialogMessages, SendFromAWorkerRunsOnTheUiThreadAndWaitsForTheResult) {
    CDialog dlg(MainDialogTemplate());
    std::thread::id handlerThread;
    dlg.MapMessage(kTestMsg, [&](WPARAM w, LPARAM) {
        handlerThread = std::this_thread::get_id();
        return static_cast<LRESULT>(w + 1);
    });
    std::atomic<LRESULT> result{-1};
    std::thread worker([&] { result = dlg.Send(kTestMsg, 41, 0); });
    ASSERT_TRUE(PumpUntil([&] { return result.load() != -1; }, 5s));
    worker.join();
    EXPECT_EQ(result.load(), 42);
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
}

TEST(DialogMessages, AWindowThatStartsClosingReleasesAWaitingSenderWithoutHandling) {
    CDialog dlg(MainDialogTemplate());
    std::atomic<int> handled{0};
    dlg.MapMessage(kTestMsg, [&](WPARAM, LPARAM) {
        ++handled;
        return LRESULT{7};
    });
    std::atomic<bool> sent{false};
    std::atomic<LRESULT> result{-1};
    std::thread worker([&] {
        sent = true;
        result = dlg.Send(kTestMsg, 0, 0);
    });
    while (!sent) std::this_thread::yield();
    std::this_thread::sleep_for(50ms);
    // The UI thread is busy ending the window and waits for the worker: no deadlock.
    dlg.SetClosing(true);
    worker.join();
    EXPECT_EQ(result.load(), 0);
    QApplication::processEvents();
    EXPECT_EQ(handled.load(), 0);
    // While closing, another thread's Send is dropped at once; posting still works.
    std::thread late([&] { result = dlg.Send(kTestMsg, 0, 0); });
    late.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(handled.load(), 0);
}

TEST(DialogMessages, ADestroyedWindowRefusesPostsAndRunsOnDestroyOnce) {
    CountingDialog dlg;
    dlg.Create();
    dlg.DestroyWindow();
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.destroys, 1);
    EXPECT_FALSE(dlg.IsWindow());
    EXPECT_FALSE(dlg.Post(kTestMsg, 0, 0));
    EXPECT_FALSE(IsWindow(dlg.Hwnd()));
}

TEST(DialogSystemMenu, AGreyedCloseItemRefusesTheCloseButtonAndAltF4) {
    CountingDialog dlg;
    dlg.Create();
    dlg.EnableCloseItem(false);
    QCloseEvent refused;
    QApplication::sendEvent(&dlg, &refused);
    EXPECT_EQ(dlg.closes, 0);
    EXPECT_FALSE(refused.isAccepted());
    dlg.OnSysCommand(SC_CLOSE);
    EXPECT_EQ(dlg.closes, 0);

    dlg.EnableCloseItem(true);
    QCloseEvent allowed;
    QApplication::sendEvent(&dlg, &allowed);
    EXPECT_EQ(dlg.closes, 1);
    dlg.OnSysCommand(SC_CLOSE);
    EXPECT_EQ(dlg.closes, 2);
    dlg.Close();  // WM_CLOSE, as the Exit button sends it
    EXPECT_EQ(dlg.closes, 3);
    EXPECT_TRUE(dlg.isVisible());  // the handler decides; nothing closed behind its back

    dlg.AddSystemMenuItem(16, L"About");
    EXPECT_EQ(dlg.SystemMenuCommands(), std::vector<int>{16});
    dlg.DestroyWindow();
}

TEST(DialogLists, SortedBoxesSortWithoutRegardToCaseAndInsertKeepsThePlace) {
    CDialog dlg(MainDialogTemplate());
    for (const wchar_t* t : {L"2. Unplug", L"b line", L"1. Boot", L"A line"}) dlg.ListAdd(1032, t);
    std::vector<std::wstring> got;
    for (int i = 0; i < dlg.ListCount(1032); ++i) got.push_back(dlg.ListText(1032, i));
    EXPECT_EQ(got, (std::vector<std::wstring>{L"1. Boot", L"2. Unplug", L"A line", L"b line"}));
    EXPECT_EQ(dlg.ListInsert(1032, 0, L"zz first"), 0);
    EXPECT_EQ(dlg.ListText(1032, 0), L"zz first");
    dlg.ListDelete(1032, 0);
    dlg.ListDelete(1032, 99);  // out of range: nothing
    EXPECT_EQ(dlg.ListCount(1032), 4);

    for (const wchar_t* t : {L"(3) c", L"(1) a", L"(2) b"}) dlg.ComboAdd(1019, t);
    EXPECT_EQ(dlg.ComboText(1019, 0), L"(1) a");
    EXPECT_EQ(dlg.ComboText(1019, 2), L"(3) c");
    EXPECT_EQ(dlg.ComboCurSel(1019), -1);
    dlg.ComboSetCurSel(1019, 0);
    EXPECT_EQ(dlg.ComboCurSel(1019), 0);
    dlg.ComboReset(1019);
    EXPECT_EQ(dlg.ComboCount(1019), 0);
}

TEST(DialogControls, ProgressClampsAndTheRadioGroupReportsItsChoice) {
    CDialog dlg(MainDialogTemplate());
    EXPECT_EQ(dlg.RadioGroupValue(1014), -1);
    dlg.SetChecked(1015, true);
    EXPECT_EQ(dlg.RadioGroupValue(1014), 1);
    dlg.SetChecked(1014, true);
    EXPECT_FALSE(dlg.IsChecked(1015));
    EXPECT_EQ(dlg.RadioGroupValue(1014), 0);

    dlg.SetProgressRange(1010, 0, 100);
    dlg.SetProgress(1010, 150);
    EXPECT_EQ(dlg.Progress(1010), 100);
    dlg.SetProgress(1010, -5);
    EXPECT_EQ(dlg.Progress(1010), 0);
}

TEST(TimePatterns, LocalePatternsBecomePickerFormats) {
    struct Case {
        const char* pattern;
        const char* qt;
    } cases[] = {
        {"%m/%d/%y", "MM/dd/yy"},
        {"%Y/%m/%d", "yyyy/MM/dd"},
        {"%d.%m.%Y", "dd.MM.yyyy"},
        {"%H:%M:%S", "HH:mm:ss"},
        {"%I:%M:%S %p", "hh:mm:ss AP"},
        {"%r", "hh:mm:ss AP"},
        {"%T", "HH:mm:ss"},
        {"%Y年%m月%d日", "yyyy'年'MM'月'dd'日'"},
        {"%A, %e de %B", "dddd, d' de 'MMMM"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(StrftimeToQtFormat(c.pattern), QString::fromUtf8(c.qt)) << c.pattern;
}

}  // namespace
}  // namespace wing
