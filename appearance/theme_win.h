#pragma once
// The program's light and dark looks, drawn by the program itself over every control of its
// windows: backgrounds, buttons, lists and their headers, edit boxes, the status bar and the
// menus. Windows register once; a change of look repaints them all. Until a look is chosen the
// windows keep the system's plain look.

#include <windows.h>

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "appearance/WindowsDarkMode.h"

namespace corvandel {

class AppTheme {
  public:
    static AppTheme& Instance();

    // Activates a look by its style name for every registered window; a name the program does
    // not have, or the look already active, changes nothing.
    void SetAppTheme(const std::string& styleName);
    bool Active() const { return look_.has_value(); }
    std::optional<Look> Current() const { return look_; }
    // The active look's colours; the system's own while high contrast is on.
    Palette Colors() const;

    // A top-level window of the program, which takes the active look now and every new one.
    void AddWindow(HWND window);

    // Colour, erase, draw and menu messages of a registered window while a look is active;
    // nothing when the window's own handling should run.
    std::optional<LRESULT> HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The text colour of a recently installed program's row.
    COLORREF RecentTextColor(COLORREF built) const;
    // A brush of the colour, kept for the program's life.
    HBRUSH Brush(COLORREF color);

  private:
    AppTheme() = default;
    void Apply(HWND window);
    static BOOL CALLBACK ApplyToChild(HWND control, LPARAM self);
    void ApplyToControl(HWND control);
    LRESULT ControlColor(HWND control, HDC dc);
    void PrepareMenu(HMENU menu);
    void MeasureMenuItem(HWND window, MEASUREITEMSTRUCT& measure);
    void DrawMenuItem(const DRAWITEMSTRUCT& draw);
    void DrawButton(const DRAWITEMSTRUCT& draw);
    HFONT MenuFont(int dpi);

    struct MenuPlace {
        HMENU menu;
        UINT position;
    };

    std::optional<Look> look_;
    std::vector<HWND> windows_;
    std::map<COLORREF, HBRUSH> brushes_;
    std::deque<MenuPlace> menuPlaces_;
    std::map<std::pair<HMENU, UINT>, MenuPlace*> menuIndex_;
    std::map<int, HFONT> menuFonts_;  // by DPI
    int menuDpi_ = 96;                // of the window whose menu shows
};

}  // namespace corvandel
