#pragma once
// The controls of the program's windows, one small class a kind. Each creates its window as
// a child of its form and registers itself in the form's component list with its name, kind
// and handle, so that translation and looks can reach every control. A control converts to
// its HWND for the Win32 calls that need one.

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/win_text.h"
#include "ui/component.h"
#include "ui/dpi_win.h"

namespace corvandel {

class Control {
  public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    HWND Handle() const { return hwnd_; }
    operator HWND() const { return hwnd_; }

    // Creates the child window, gives it the font and registers its component.
    Component& Create(ComponentList& components, const stored::ComponentName& name, HWND parent,
                      int id, const wchar_t* windowClass, DWORD style, DWORD exStyle, HFONT font,
                      const std::string& text = std::string()) {
        hwnd_ = CreateWindowExW(exStyle, windowClass, Widen(text).c_str(), WS_CHILD | style, 0, 0,
                                0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
        SetFont(font, false);
        return components.Add(name).AttachHandle(reinterpret_cast<std::uintptr_t>(hwnd_));
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
    Component& CreateCaptioned(ComponentList& components, const stored::ComponentName& name,
                               HWND parent, int id, const wchar_t* windowClass, DWORD style,
                               DWORD exStyle, HFONT font, const std::string& caption) {
        Component& component = Control::Create(components, name, parent, id, windowClass, style,
                                               exStyle, font, caption);
        const HWND hwnd = hwnd_;
        return component.Define("Caption", caption)
            .OnChange([hwnd](const std::string& property, const std::string& value) {
                if (property == "Caption" || property == "Text")
                    SetWindowTextW(hwnd, Widen(value).c_str());
            });
    }
};

class Button : public TextControl {};

// An edit box; "TextHint" is the grey cue text of an empty one.
class Edit : public TextControl {
  public:
    Component& CreateWithHint(ComponentList& components, const stored::ComponentName& name,
                              HWND parent, int id, DWORD style, DWORD exStyle, HFONT font,
                              const std::string& hint) {
        Component& component =
            Control::Create(components, name, parent, id, WC_EDITW, style, exStyle, font);
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
// A window's own component: its caption, which a language file may change.
inline Component& AddWindowComponent(ComponentList& components, const stored::ComponentName& form,
                                     HWND window, const std::string& caption) {
    return components.Add(form)
        .Define("Caption", caption)
        .AttachHandle(reinterpret_cast<std::uintptr_t>(window))
        .OnChange([window](const std::string& property, const std::string& value) {
            if (property == "Caption")
                SetWindowTextW(window, Widen(value).c_str());
        });
}

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
            lvc.cx = column < visible ? ScaleForDpi(designs[column].width, dpi) : 0;
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
    // One cell's text; column 0 is the item's own.
    void SetCell(int row, int column, const std::string& text) const {
        const std::wstring wide = Widen(text);
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = const_cast<wchar_t*>(wide.c_str());
        SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
    }

    void KeepColumnLimits(int count, int dpi) const {
        for (int column = 0; column < count && column < visible_; ++column) {
            const int width = ListView_GetColumnWidth(hwnd_, column);
            const int minimum = ScaleForDpi(designs_[column].minimum, dpi);
            const int maximum = ScaleForDpi(designs_[column].maximum, dpi);
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
    // Takes selection and focus off the rows that have them. Row by row: asked of every row
    // at once (-1), some list views walk all rows.
    void ClearSelection() const {
        for (const UINT which : {LVNI_SELECTED, LVNI_FOCUSED}) {
            const int row = ListView_GetNextItem(hwnd_, -1, which);
            if (row >= 0)
                ListView_SetItemState(hwnd_, row, 0, LVIS_SELECTED | LVIS_FOCUSED);
        }
    }

    // The rows of a list that keeps no text of its own (LVS_OWNERDATA): it asks for each
    // row's text (column 0 is the caption) and image as it draws it.
    struct Rows {
        std::function<size_t()> count;
        std::function<std::string(size_t row, int column)> text;
        std::function<int(size_t row)> image;
    };
    // A row drawn otherwise than the list's default: its text colour and its font (none:
    // the list's).
    struct RowLook {
        COLORREF text;
        HFONT font;
    };
    void SetRows(Rows rows) { rows_ = std::move(rows); }
    void SetRowLook(std::function<std::optional<RowLook>(size_t row)> look) {
        look_ = std::move(look);
    }
    // Tells the list how many rows there are now; flags as for LVM_SETITEMCOUNT.
    void ShowRowCount(DWORD flags) const {
        ListView_SetItemCountEx(hwnd_, static_cast<int>(rows_.count ? rows_.count() : 0), flags);
    }

    // The list's own notifications, reflected to it by its window: the text and image of a
    // row, and the look of each row. Nothing for other notifications.
    std::optional<LRESULT> Reflect(NMHDR& header) {
        if (header.hwndFrom != hwnd_)
            return std::nullopt;
        if (header.code == LVN_GETDISPINFOW && rows_.count) {
            FillItem(reinterpret_cast<NMLVDISPINFOW&>(header).item);
            return 0;
        }
        if (header.code == NM_CUSTOMDRAW && look_)
            return Draw(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
        return std::nullopt;
    }

    // The captions of the visible columns, as the component holds them now.
    std::vector<std::string> ColumnCaptions(const Component& component) const {
        std::vector<std::string> captions;
        for (int column = 0; column < visible_; ++column)
            captions.push_back(component.Text("Columns[" + std::to_string(column) + "].Caption"));
        return captions;
    }
    // The text of every row in the visible columns, in the list's order (for a report).
    std::vector<std::vector<std::string>> VisibleCells() const {
        std::vector<std::vector<std::string>> cells;
        const size_t count = rows_.count ? rows_.count() : 0;
        for (size_t row = 0; row < count; ++row) {
            std::vector<std::string> line;
            for (int column = 0; column < visible_; ++column)
                line.push_back(rows_.text(row, column));
            cells.push_back(std::move(line));
        }
        return cells;
    }

  private:
    void FillItem(LVITEMW& item) {
        if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= rows_.count())
            return;
        const auto row = static_cast<size_t>(item.iItem);
        if ((item.mask & LVIF_IMAGE) && rows_.image)
            item.iImage = rows_.image(row);
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            // The list copies the text before it asks again.
            text_ = Widen(rows_.text(row, item.iSubItem));
            lstrcpynW(item.pszText, text_.c_str(), item.cchTextMax);
        }
    }
    LRESULT Draw(NMLVCUSTOMDRAW& draw) const {
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
            return CDRF_NOTIFYITEMDRAW;
        if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT)
            return CDRF_DODEFAULT;
        const auto look = look_(draw.nmcd.dwItemSpec);
        if (!look)
            return CDRF_DODEFAULT;
        draw.clrText = look->text;
        if (look->font == nullptr)
            return CDRF_DODEFAULT;
        SelectObject(draw.nmcd.hdc, look->font);
        return CDRF_NEWFONT;
    }

    const ColumnDesign* designs_ = nullptr;
    int visible_ = 0;
    Rows rows_;
    std::function<std::optional<RowLook>(size_t row)> look_;
    std::wstring text_;
};

}  // namespace corvandel
