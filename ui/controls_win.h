#pragma once
// The controls of the program's windows, one small class a kind. Each creates its window as
// a child of its form and registers itself in the form's component list with its name, kind
// and handle, so that translation and looks can reach every control. A control converts to
// its HWND for the Win32 calls that need one.

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "foundation/win_text.h"
#include "ui/component.h"

namespace corvandel {

// The sizes of the design are for this DPI; controls scale them to their window's.
inline constexpr int kDesignDpi = 96;

class Control {
  public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    HWND Handle() const { return hwnd_; }
    operator HWND() const { return hwnd_; }

    // Creates the child window, gives it the font and registers its component.
    Component& Create(ComponentList& components, const char* name, const char* kind, HWND parent,
                      int id, const wchar_t* windowClass, DWORD style, DWORD exStyle, HFONT font,
                      const std::string& text = std::string()) {
        hwnd_ = CreateWindowExW(exStyle, windowClass, Widen(text).c_str(), WS_CHILD | style, 0, 0,
                                0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
        SetFont(font, false);
        return components.Add(name, kind).AttachHandle(reinterpret_cast<std::uintptr_t>(hwnd_));
    }
    void SetFont(HFONT font, bool redraw) const {
        SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    }
    // Moves the control; one without room is hidden.
    void Place(int x, int y, int width, int height, bool visible) const {
        MoveWindow(hwnd_, x, y, width, height > 0 ? height : 0, TRUE);
        ShowWindow(hwnd_, visible && height > 0 ? SW_SHOW : SW_HIDE);
    }

  protected:
    HWND hwnd_ = nullptr;
};

// A control whose window text is its caption ("Caption") or its text ("Text").
class TextControl : public Control {
  public:
    Component& CreateCaptioned(ComponentList& components, const char* name, const char* kind,
                               HWND parent, int id, const wchar_t* windowClass, DWORD style,
                               DWORD exStyle, HFONT font, const std::string& caption) {
        Component& component = Control::Create(components, name, kind, parent, id, windowClass,
                                               style, exStyle, font, caption);
        const HWND hwnd = hwnd_;
        return component.Define("Caption", caption)
            .OnChange([hwnd](const std::string& property, const std::string& value) {
                if (property == "Caption" || property == "Text")
                    SetWindowTextW(hwnd, Widen(value).c_str());
            });
    }
    std::string Text() const {
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
        text.resize(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size())));
        return Narrow(text);
    }
    void SetText(const std::string& text) const { SetWindowTextW(hwnd_, Widen(text).c_str()); }
};

class Button : public TextControl {};

// An edit box; "TextHint" is the grey cue text of an empty one.
class Edit : public TextControl {
  public:
    Component& CreateWithHint(ComponentList& components, const char* name, const char* kind,
                              HWND parent, int id, DWORD style, DWORD exStyle, HFONT font,
                              const std::string& hint) {
        Component& component =
            Control::Create(components, name, kind, parent, id, WC_EDITW, style, exStyle, font);
        const HWND hwnd = hwnd_;
        SetHint(hwnd, hint);
        return component.Define("TextHint", hint)
            .OnChange([hwnd](const std::string& property, const std::string& value) {
                if (property == "TextHint")
                    SetHint(hwnd, value);
            });
    }

  private:
    static void SetHint(HWND hwnd, const std::string& hint) {
        SendMessageW(hwnd, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(Widen(hint).c_str()));
    }
};

class StatusBar : public Control {
  public:
    void SetText(int panel, const std::string& text) const {
        SendMessageW(hwnd_, SB_SETTEXTW, panel, reinterpret_cast<LPARAM>(Widen(text).c_str()));
    }
};

// One visible column of a list: caption, design width and the limits the list keeps
// whatever the user or an automatic fit does.
struct ColumnDesign {
    const char* caption;
    int width;
    int minimum;
    int maximum;  // 0: none
    bool fixed;   // the user cannot resize it
    int format;
};

// A report-view list that owns its columns: the visible ones from their designs, with their
// captions as the component's "Columns[n].Caption" properties, then hidden data columns.
class ListView : public Control {
  public:
    Component& CreateColumns(Component& component, const ColumnDesign* designs, int visible,
                             int hidden, int dpi) {
        designs_ = designs;
        visible_ = visible;
        for (int column = 0; column < visible + hidden; ++column) {
            const std::wstring caption = column < visible ? Widen(designs[column].caption) : L"";
            LVCOLUMNW lvc{};
            lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
            lvc.fmt = column < visible ? designs[column].format : LVCFMT_LEFT;
            lvc.pszText = const_cast<wchar_t*>(caption.c_str());
            lvc.cx = column < visible ? MulDiv(designs[column].width, dpi, kDesignDpi) : 0;
            lvc.iSubItem = column;
            SendMessageW(hwnd_, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&lvc));
        }
        for (int column = 0; column < visible; ++column) {
            component.Define("Columns[" + std::to_string(column) + "].Caption",
                             designs[column].caption);
        }
        const HWND hwnd = hwnd_;
        return component.OnChange([hwnd](const std::string& property, const std::string& value) {
            if (property.rfind("Columns[", 0) != 0)
                return;
            const std::wstring text = Widen(value);
            LVCOLUMNW lvc{};
            lvc.mask = LVCF_TEXT;
            lvc.pszText = const_cast<wchar_t*>(text.c_str());
            SendMessageW(hwnd, LVM_SETCOLUMNW, std::stoi(property.substr(8)),
                         reinterpret_cast<LPARAM>(&lvc));
        });
    }
    // Brings the first count visible columns back within their limits at this DPI.
    void KeepColumnLimits(int count, int dpi) const {
        for (int column = 0; column < count && column < visible_; ++column) {
            const int width = ListView_GetColumnWidth(hwnd_, column);
            const int minimum = MulDiv(designs_[column].minimum, dpi, kDesignDpi);
            const int maximum = MulDiv(designs_[column].maximum, dpi, kDesignDpi);
            int kept = width < minimum ? minimum : width;
            if (maximum > 0 && kept > maximum)
                kept = maximum;
            if (kept != width)
                ListView_SetColumnWidth(hwnd_, column, kept);
        }
    }
    // The user cannot resize hidden data columns or fixed ones.
    bool ColumnLocked(int column) const { return column >= visible_ || designs_[column].fixed; }
    int Selected() const { return ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); }

  private:
    const ColumnDesign* designs_ = nullptr;
    int visible_ = 0;
};

}  // namespace corvandel
