#pragma once
// Display scaling: every size of the design is in pixels of a 96-DPI display, and a window
// multiplies it out at the DPI of the monitor it is on.

#include <windows.h>

namespace corvandel {

// The DPI the design's sizes are for.
inline constexpr int kDesignDpi = 96;

// Design pixels in pixels of a display of this DPI.
inline int ScaleForDpi(int designPixels, int dpi) {
    return MulDiv(designPixels, dpi, kDesignDpi);
}

// A window's DPI, called with design pixels: scale(11) is 11 design pixels at that DPI.
struct DpiScale {
    int dpi = kDesignDpi;
    int operator()(int designPixels) const { return ScaleForDpi(designPixels, dpi); }
};

// The DPI the system gives the window (that of its monitor for a per-monitor-aware program);
// the system's where there is no window yet or the system cannot say.
inline int WindowDpi(HWND window) {
    UINT dpi = window != nullptr ? GetDpiForWindow(window) : 0;
    if (dpi == 0)
        dpi = GetDpiForSystem();
    return dpi != 0 ? static_cast<int>(dpi) : kDesignDpi;
}

// WM_DPICHANGED: the new DPI the message carries. GetDpiForWindow may still give the old one
// while the message is handled, so the message is what counts.
inline int DpiOfMessage(WPARAM wParam) {
    return HIWORD(wParam);
}

// WM_DPICHANGED: the place and size the system suggests for the window at the new DPI, which
// keep it on the monitor it moved to at about the same size on the screen.
inline const RECT& SuggestedRect(LPARAM lParam) {
    return *reinterpret_cast<const RECT*>(lParam);
}

inline void MoveToRect(HWND window, const RECT& rect) {
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// A dialog-like window of a fixed client size in design pixels: at the place the system
// suggests on a DPI change, else its client size at this DPI where it is.
inline void PlaceFixedWindow(HWND window, const RECT* suggested, SIZE designClient, DWORD style,
                             DWORD exStyle, int dpi) {
    if (suggested != nullptr) {
        MoveToRect(window, *suggested);
        return;
    }
    RECT frame{0, 0, ScaleForDpi(designClient.cx, dpi), ScaleForDpi(designClient.cy, dpi)};
    AdjustWindowRectExForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi));
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace corvandel
