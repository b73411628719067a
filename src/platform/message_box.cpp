#include "platform/message_box.h"

#include <cstdio>
#include <mutex>

#include "platform/text.h"

namespace wing {
namespace {
std::mutex g_mutex;
MessageBoxHandler g_handler;
}  // namespace

int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned type) {
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        handler = g_handler;
    }
    MessageBoxRequest request{text, caption, type};
    if (handler) return handler(request);
    std::fprintf(stderr, "[%s] %s\n", ToUtf8(caption).c_str(), ToUtf8(text).c_str());
    unsigned buttons = type & 0xF;
    return buttons == MB_YESNO ? IDYES : IDOK;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::swap(g_handler, handler);
    return handler;
}

}  // namespace wing
