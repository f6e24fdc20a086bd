#pragma once
// What the program's modal windows share: a place in the middle of the screen, and a message
// loop of their own that runs until they are closed.

#include <windows.h>

namespace corvandel {

inline void CenterOnScreen(HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window, HWND_TOP, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE);
}

// Over the middle of the owner window, which the window then follows on the screen.
inline void CenterOver(HWND window, HWND owner) {
    RECT outer{};
    GetWindowRect(owner, &outer);
    RECT own{};
    GetWindowRect(window, &own);
    SetWindowPos(window, nullptr,
                 outer.left + (outer.right - outer.left - (own.right - own.left)) / 2,
                 outer.top + (outer.bottom - outer.top - (own.bottom - own.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Handles the program's messages, with the dialog keys (Tab, Enter, Escape) for the window,
// until `closed` is set. A request to quit that arrives meanwhile is passed on to the main
// loop.
inline void RunModalLoop(HWND window, const bool& closed) {
    MSG msg{};
    while (!closed && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (msg.message == WM_QUIT)
        PostQuitMessage(static_cast<int>(msg.wParam));
}

}  // namespace corvandel
