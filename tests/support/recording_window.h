#pragma once
// A window for tests: records every posted and sent message, lets a test hook the
// handling of sent messages, and waits for a message to arrive.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/window.h"

namespace wing::test {

struct RecordedMessage {
    unsigned msg;
    WPARAM wParam;
    LPARAM lParam;
    bool sent;  // true: Send, false: Post
};

class RecordingWindow : public IWindow {
public:
    using Handler = std::function<LRESULT(unsigned, WPARAM, LPARAM)>;

    bool Post(unsigned msg, WPARAM wp, LPARAM lp) override { return Record(msg, wp, lp, false); }
    LRESULT Send(unsigned msg, WPARAM wp, LPARAM lp) override {
        Handler h;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            h = m_onSend;
        }
        LRESULT r = h ? h(msg, wp, lp) : 0;
        Record(msg, wp, lp, true);
        return r;
    }
    bool IsWindow() const override { return m_alive; }

    void SetAlive(bool alive) { m_alive = alive; }
    // Runs on the sending thread before the message is recorded.
    void OnSend(Handler h) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_onSend = std::move(h);
    }
    // Runs on the posting thread before the message is recorded.
    void OnPost(Handler h) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_onPost = std::move(h);
    }

    std::vector<RecordedMessage> Messages() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }
    std::vector<RecordedMessage> Messages(unsigned msg) const {
        std::vector<RecordedMessage> out;
        for (const auto& m : Messages())
            if (m.msg == msg) out.push_back(m);
        return out;
    }
    std::size_t Count(unsigned msg) const { return Messages(msg).size(); }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.clear();
    }
    // The message numbers in arrival order, optionally without the noisy ones.
    std::vector<unsigned> Sequence(std::vector<unsigned> skip = {WM_TASK_STARTED}) const {
        std::vector<unsigned> out;
        for (const auto& m : Messages()) {
            bool skipped = false;
            for (unsigned s : skip) skipped = skipped || s == m.msg;
            if (!skipped) out.push_back(m.msg);
        }
        return out;
    }
    // Waits until `count` messages `msg` have arrived in total.
    bool WaitFor(unsigned msg, std::chrono::milliseconds timeout, std::size_t count = 1) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, timeout, [&] {
            std::size_t n = 0;
            for (const auto& m : m_messages) n += m.msg == msg;
            return n >= count;
        });
    }

private:
    bool Record(unsigned msg, WPARAM wp, LPARAM lp, bool sent) {
        if (!sent) {
            Handler h;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                h = m_onPost;
            }
            if (h) h(msg, wp, lp);
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_messages.push_back({msg, wp, lp, sent});
        }
        m_cv.notify_all();
        return m_alive;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<RecordedMessage> m_messages;
    Handler m_onSend;
    Handler m_onPost;
    std::atomic<bool> m_alive{true};
};

}  // namespace wing::test
