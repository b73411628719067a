#pragma once
// Message boxes on Qt: the handler the application installs, which always shows the box
// on the UI thread (a worker's call waits for the answer), and a responder for tests that
// answers every box at once and records what was asked.

#include <functional>
#include <mutex>
#include <vector>

#include "platform/message_box.h"

namespace wing {

// Installs the Qt handler; call once the QApplication exists, from its thread.
void InstallQtMessageBoxHandler();

// While a worker waits for a box, the UI may be ending and waiting for that worker: set
// this before such a wait so the worker gets the box's cautious answer (Cancel, No, OK)
// instead of waiting for ever.
void SetMessageBoxesClosing(bool closing);

// The cautious answer of a box of this type.
int CautiousAnswer(unsigned type);

// Answers every box with `answer` (or the result of `decide`) and keeps the requests;
// the previous handler comes back when it goes.
class MessageBoxResponder {
public:
    explicit MessageBoxResponder(int answer = IDOK);
    explicit MessageBoxResponder(std::function<int(const MessageBoxRequest&)> decide);
    ~MessageBoxResponder();
    MessageBoxResponder(const MessageBoxResponder&) = delete;
    MessageBoxResponder& operator=(const MessageBoxResponder&) = delete;

    std::vector<MessageBoxRequest> Requests() const;
    std::size_t Count() const;

private:
    mutable std::mutex m_mutex;
    std::vector<MessageBoxRequest> m_requests;
    std::function<int(const MessageBoxRequest&)> m_decide;
    MessageBoxHandler m_previous;
};

}  // namespace wing
