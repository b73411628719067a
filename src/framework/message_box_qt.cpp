#include "framework/message_box_qt.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>

#include "framework/qt_text.h"

namespace wing {
namespace {

std::atomic<bool> g_closing{false};

int ShowOnUiThread(const MessageBoxRequest& request) {
    QMessageBox box(QApplication::activeWindow());
    box.setText(ToQString(request.text));
    box.setWindowTitle(ToQString(request.caption));
    box.setTextFormat(Qt::PlainText);
    switch (request.type & 0xF0) {
        case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
        case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
        case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
        case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
        default: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (request.type & 0xF) {
        case MB_OKCANCEL:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case MB_YESNO:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Cancel: return IDCANCEL;
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::No: return IDNO;
        case QMessageBox::Ok: return IDOK;
        default: return CautiousAnswer(request.type);
    }
}

int QtMessageBox(const MessageBoxRequest& request) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return CautiousAnswer(request.type);
    if (QThread::currentThread() == app->thread()) return ShowOnUiThread(request);

    struct Wait {
        std::mutex mutex;
        std::condition_variable cv;
        bool started = false;
        bool done = false;
        bool abandoned = false;
        int answer = 0;
    };
    auto wait = std::make_shared<Wait>();
    QMetaObject::invokeMethod(
        app,
        [wait, request] {
            {
                std::lock_guard<std::mutex> lock(wait->mutex);
                if (wait->abandoned) return;
                wait->started = true;
            }
            int answer = ShowOnUiThread(request);
            std::lock_guard<std::mutex> lock(wait->mutex);
            wait->answer = answer;
            wait->done = true;
            wait->cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(wait->mutex);
    while (!wait->done) {
        if (!wait->started && (g_closing || QCoreApplication::closingDown())) {
            wait->abandoned = true;
            return CautiousAnswer(request.type);
        }
        wait->cv.wait_for(lock, std::chrono::milliseconds(10));
    }
    return wait->answer;
}

}  // namespace

int CautiousAnswer(unsigned type) {
    switch (type & 0xF) {
        case MB_OKCANCEL: return IDCANCEL;
        case MB_YESNO: return IDNO;
        default: return IDOK;
    }
}

void InstallQtMessageBoxHandler() { SetMessageBoxHandler(QtMessageBox); }

void SetMessageBoxesClosing(bool closing) { g_closing = closing; }

MessageBoxResponder::MessageBoxResponder(int answer)
    : MessageBoxResponder([answer](const MessageBoxRequest&) { return answer; }) {}

MessageBoxResponder::MessageBoxResponder(std::function<int(const MessageBoxRequest&)> decide)
    : m_decide(std::move(decide)) {
    m_previous = SetMessageBoxHandler([this](const MessageBoxRequest& request) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
        }
        return m_decide(request);
    });
}

MessageBoxResponder::~MessageBoxResponder() { SetMessageBoxHandler(std::move(m_previous)); }

std::vector<MessageBoxRequest> MessageBoxResponder::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::size_t MessageBoxResponder::Count() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.size();
}

}  // namespace wing
