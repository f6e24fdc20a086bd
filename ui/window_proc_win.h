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

// Registers a window class of the program whose messages reach Window::HandleMessage, with the
// dialog background and, unless told otherwise, the program's icon.
template <typename Window>
bool RegisterRoutedClass(const wchar_t* className, UINT style = 0, bool programIcon = true) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = &RoutedWindowProc<Window>;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    wc.hIcon = programIcon ? LoadIconW(instance, L"MAINICON") : nullptr;
    return RegisterClassExW(&wc) != 0;
}

}  // namespace corvandel
