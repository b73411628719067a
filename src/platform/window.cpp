#include "platform/window.h"

namespace wing {

const char* MessageName(unsigned msg) {
    switch (msg) {
    case WM_DEVICE_ANSWER: return "WM_DEVICE_ANSWER";
    case WM_FLOW_ENDED: return "WM_FLOW_ENDED";
    case WM_NO_RESPONSE: return "WM_NO_RESPONSE";
    case WM_LOG_EMPTY: return "WM_LOG_EMPTY";
    case WM_LOG_READ_ERROR: return "WM_LOG_READ_ERROR";
    case WM_LOG_READ_DONE: return "WM_LOG_READ_DONE";
    case WM_LOG_PROGRESS: return "WM_LOG_PROGRESS";
    case WM_CLOCK_READY: return "WM_CLOCK_READY";
    case WM_LINK_CLOSED: return "WM_LINK_CLOSED";
    case WM_PORT_OPENED: return "WM_PORT_OPENED";
    case WM_PORT_OPEN_FAILED: return "WM_PORT_OPEN_FAILED";
    case WM_LOG_READ_FAILED: return "WM_LOG_READ_FAILED";
    case WM_PORT_TASK_FAILED: return "WM_PORT_TASK_FAILED";
    case WM_FRAME_ERROR: return "WM_FRAME_ERROR";
    case WM_APP_1016: return "WM_APP_1016";
    case WM_FILES_SAVED: return "WM_FILES_SAVED";
    case WM_TASK_STARTED: return "WM_TASK_STARTED";
    default: return "WM_?";
    }
}

}  // namespace wing
