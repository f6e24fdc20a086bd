#pragma once
// The window procedure shared by the program's windows: it attaches the C++ object at
// WM_NCCREATE and routes every message to its HandleMessage.

#include <windows.h>

#include <exception>

#include "foundation/gui_thread_win.h"
#include "foundation/win_text.h"

namespace corvandel {

template <typename Window>
LRESULT CALLBACK RoutedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    // No exception may cross into the system's window code: its text is shown, as the
    // program's general error handler does.
    try {
        // Work that a worker thread handed to this window runs here, on its own thread.
        if (GuiThread::Run(message, lParam))
            return 0;
        return self->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& e) {
        MessageBoxW(hwnd, Widen(e.what()).c_str(), L"Corvandel", MB_ICONERROR);
    }
    return 0;
}

}  // namespace corvandel
