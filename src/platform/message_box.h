#pragma once
// One function for every message box the system shows. The window installs the Qt
// implementation (which always shows the box on the UI thread); tests install a
// responder that answers and records. Without any handler the box is printed to
// stderr and answered with its default button.

#include <functional>
#include <string>

namespace wing {

// Buttons (low nibble) and icons, with the Win32 values.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;

// Results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

struct MessageBoxRequest {
    std::wstring text;
    std::wstring caption;
    unsigned type = MB_OK;
};

using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;

// Shows a box and returns the button pressed.
int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned type);

// Installs the handler and returns the previous one (empty: the stderr fallback).
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace wing
