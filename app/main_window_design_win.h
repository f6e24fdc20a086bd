#pragma once
// The main window's design sizes, in pixels at 96 DPI, and its private messages.

#include <windows.h>

namespace corvandel::main_window {

inline constexpr UINT kMsgFirstActivation = WM_APP + 1;
inline constexpr UINT kMsgKeepColumnWidths = WM_APP + 2;
inline constexpr int kClientWidth = 684;
inline constexpr int kClientHeight = 511;
inline constexpr int kMinWidth = 700;
inline constexpr int kMinHeight = 550;
inline constexpr int kTopBarHeight = 32;
inline constexpr int kPanelWidth = 108;
inline constexpr int kConsoleHeight = 100;
inline constexpr int kSearchHeight = 21;
inline constexpr int kStatusHeight = 19;
inline constexpr int kPictureSize = 48;

}  // namespace corvandel::main_window
