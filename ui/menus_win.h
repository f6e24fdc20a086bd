#pragma once
// Menu texts and shortcut keys made from the command table.

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/handle_win.h"
#include "foundation/win_text.h"
#include "ui/commands.h"
#include "ui/component.h"

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

// One item of a menu from the command table, registered as a component whose "Caption"
// becomes the item's text (with its shortcut text after a tab).
inline void AppendMenuItem(ComponentList& components, HMENU menu, const MenuItem& design) {
    Component& component = components.Add(design.component).Define("Caption", design.caption);
    if (design.id == 0) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        return;
    }
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    const std::wstring text = MenuText(design.caption, design.shortcut);
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE;
    info.fType = MFT_STRING | (design.radio ? MFT_RADIOCHECK : 0);
    info.wID = design.id;
    info.dwTypeData = const_cast<wchar_t*>(text.c_str());
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &info);
    const std::string shortcut = design.shortcut;
    const int id = design.id;
    component.OnChange([menu, id, shortcut](const std::string& property, const std::string& value) {
        if (property != "Caption")
            return;
        MENUITEMINFOW change{};
        change.cbSize = sizeof change;
        const std::wstring newText = MenuText(value, shortcut.c_str());
        change.fMask = MIIM_STRING;
        change.dwTypeData = const_cast<wchar_t*>(newText.c_str());
        SetMenuItemInfoW(menu, id, FALSE, &change);
    });
}

// A popup menu that owns its handle and the shortcut keys of its items.
class PopupMenu {
  public:
    void Create(ComponentList& components, const stored::ComponentName& name) {
        menu_.Reset(CreatePopupMenu());
        components.Add(name);
    }
    template <size_t N>
    void Append(ComponentList& components, const MenuItem (&items)[N]) {
        for (const MenuItem& design : items)
            AppendMenuItem(components, menu_.Get(), design);
        shortcuts_ = ShortcutTable(items);
    }
    template <size_t N>
    void Build(ComponentList& components, const stored::ComponentName& name,
               const MenuItem (&items)[N]) {
        Create(components, name);
        Append(components, items);
    }

    HMENU Handle() const { return menu_.Get(); }
    // Runs the command of a shortcut key of this menu; true when the key was one.
    bool Translate(HWND window, MSG& message) const {
        return shortcuts_ && TranslateAcceleratorW(window, shortcuts_.Get(), &message) != 0;
    }
    void Show(HWND owner, POINT at, UINT flags) const {
        TrackPopupMenu(menu_.Get(), flags | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
    }

  private:
    OwnedMenu menu_;
    OwnedAccelerators shortcuts_;
};

}  // namespace corvandel
