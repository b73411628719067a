// Message boxes: a worker's box is shown on the UI thread and the worker waits for the
// answer; the test responder answers and records.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <thread>

#include "framework/message_box_qt.h"
#include "framework/qt_test_env.h"

namespace wing {
namespace {

using namespace std::chrono_literals;
using test::PumpUntil;

TEST(MessageBoxResponder, AnswersRecordsAndRestoresThePreviousHandler) {
    {
        MessageBoxResponder outer(IDOK);
        {
            MessageBoxResponder inner([](const MessageBoxRequest& r) { return (r.type & 0xF) == MB_YESNO ? IDNO : IDOK; });
            EXPECT_EQ(ShowMessageBox(L"Continue?", L"WingUtility", MB_YESNO | MB_ICONQUESTION), IDNO);
            ASSERT_EQ(inner.Count(), 1u);
            EXPECT_EQ(inner.Requests()[0].text, L"Continue?");
            EXPECT_EQ(inner.Requests()[0].type, MB_YESNO | MB_ICONQUESTION);
        }
        EXPECT_EQ(ShowMessageBox(L"x", L"y", MB_OKCANCEL), IDOK);
        EXPECT_EQ(outer.Count(), 1u);
    }
}

TEST(QtMessageBox, AWorkersBoxIsShownOnTheUiThreadAndItsAnswerComesBack) {
    InstallQtMessageBoxHandler();
    std::atomic<int> answer{0};
    std::thread worker([&] { answer = ShowMessageBox(L"Not yet fully charged", L"WingUtility", MB_YESNO | MB_ICONWARNING); });

    // The box runs its own loop on the UI thread; a timer inside that loop reads and answers it.
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool onUiThread = false;
    int answerWhileShown = -1;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        onUiThread = box->thread() == QApplication::instance()->thread();
        answerWhileShown = answer.load();
        box->button(QMessageBox::No)->click();
    });
    timer.start();
    ASSERT_TRUE(PumpUntil([&] { return answer.load() != 0; }, 5s));
    worker.join();
    EXPECT_EQ(answer.load(), IDNO);
    EXPECT_EQ(answerWhileShown, 0);  // the worker waited while the box was up
    EXPECT_TRUE(onUiThread);
    EXPECT_EQ(text, QString("Not yet fully charged"));
    EXPECT_EQ(title, QString("WingUtility"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    SetMessageBoxHandler({});
}

TEST(QtMessageBox, WhileTheWindowEndsAWaitingWorkerGetsTheCautiousAnswer) {
    InstallQtMessageBoxHandler();
    SetMessageBoxesClosing(true);
    std::atomic<int> answer{0};
    // The UI thread does not serve events here, as when it waits for the worker to end.
    std::thread worker([&] { answer = ShowMessageBox(L"Overwrite?", L"WingUtility", MB_OKCANCEL); });
    worker.join();
    EXPECT_EQ(answer.load(), IDCANCEL);
    SetMessageBoxesClosing(false);
    QApplication::processEvents();  // the abandoned request shows nothing
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(CautiousAnswer(MB_YESNO), IDNO);
    EXPECT_EQ(CautiousAnswer(MB_OK), IDOK);
    SetMessageBoxHandler({});
}

}  // namespace
}  // namespace wing
