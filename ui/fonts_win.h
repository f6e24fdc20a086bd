#pragma once
// The program's fonts: Tahoma in the sizes of the design, for a 96-DPI display.

#include <windows.h>

#include "foundation/handle_win.h"

namespace corvandel {

inline OwnedFont DesignFont(int pixelHeight, int weight = FW_NORMAL, bool underline = false) {
    return OwnedFont(CreateFontW(-pixelHeight, 0, 0, 0, weight, FALSE, underline, FALSE,
                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
}

}  // namespace corvandel
