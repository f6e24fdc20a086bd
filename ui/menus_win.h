#pragma once
// Menu texts and shortcut keys made from the command table.

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/handle_win.h"
#include "foundation/win_text.h"
#include "ui/commands.h"

namespace corvandel {

// The keys of a menu's items that have a shortcut, as an accelerator table.
template <size_t N>
inline OwnedAccelerators ShortcutTable(const MenuItem (&items)[N]) {
    std::vector<ACCEL> keys;
    for (const MenuItem& item : items) {
        if (item.id == 0 || item.key == 0)
            continue;
        BYTE flags = FVIRTKEY;
        flags |= (item.modifiers & kShift) ? FSHIFT : 0;
        flags |= (item.modifiers & kCtrl) ? FCONTROL : 0;
        flags |= (item.modifiers & kAlt) ? FALT : 0;
        keys.push_back(ACCEL{flags, item.key, static_cast<WORD>(item.id)});
    }
    return OwnedAccelerators(CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size())));
}

// The menu text: the caption and, after a tab, the shortcut the item shows.
inline std::wstring MenuText(const std::string& caption, const char* shortcut) {
    std::wstring text = Widen(caption);
    if (shortcut && *shortcut)
        text += L"\t" + Widen(shortcut);
    return text;
}

}  // namespace corvandel
