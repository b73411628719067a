#pragma once
// The window interface that background threads report to. On Windows this was a
// window handle with PostMessage/SendMessage/IsWindow; here the Qt dialog implements
// it, and tests use RecordingWindow. The message numbers are the system's own.

#include <cstdint>

namespace wing {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr unsigned WM_APP = 0x8000;

constexpr unsigned WM_DEVICE_ANSWER = WM_APP + 1000;
constexpr unsigned WM_FLOW_ENDED = WM_APP + 1002;
constexpr unsigned WM_NO_RESPONSE = WM_APP + 1004;
constexpr unsigned WM_LOG_EMPTY = WM_APP + 1005;
constexpr unsigned WM_LOG_READ_ERROR = WM_APP + 1006;
constexpr unsigned WM_LOG_READ_DONE = WM_APP + 1007;
constexpr unsigned WM_LOG_PROGRESS = WM_APP + 1008;
constexpr unsigned WM_CLOCK_READY = WM_APP + 1009;
constexpr unsigned WM_LINK_CLOSED = WM_APP + 1010;
constexpr unsigned WM_PORT_OPENED = WM_APP + 1011;
constexpr unsigned WM_PORT_OPEN_FAILED = WM_APP + 1012;
constexpr unsigned WM_LOG_READ_FAILED = WM_APP + 1013;
constexpr unsigned WM_PORT_TASK_FAILED = WM_APP + 1014;
constexpr unsigned WM_FRAME_ERROR = WM_APP + 1015;
constexpr unsigned WM_APP_1016 = WM_APP + 1016;
constexpr unsigned WM_FILES_SAVED = WM_APP + 1018;
constexpr unsigned WM_TASK_STARTED = WM_APP + 1100;

// Human-readable name of a message number, for logs and test failure output.
const char* MessageName(unsigned msg);

class IWindow {
public:
    virtual ~IWindow() = default;
    // Queues the message for the window thread; false when the window is gone.
    virtual bool Post(unsigned msg, WPARAM wParam, LPARAM lParam) = 0;
    // Runs the window's handler and returns its result; from another thread this
    // blocks until the window thread has handled the message.
    virtual LRESULT Send(unsigned msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual bool IsWindow() const = 0;
};

// Stand-in for a window handle: null means "no window".
using HWND = IWindow*;

inline bool PostMessageTo(HWND w, unsigned msg, WPARAM wp, LPARAM lp) {
    return w != nullptr && w->Post(msg, wp, lp);
}
inline LRESULT SendMessageTo(HWND w, unsigned msg, WPARAM wp, LPARAM lp) {
    return w != nullptr ? w->Send(msg, wp, lp) : 0;
}
inline bool IsWindow(HWND w) { return w != nullptr && w->IsWindow(); }

}  // namespace wing
