#pragma once
// The program's two looks, light and dark: their palettes, which one the system asks for, and
// which one a theme choice means. Drawing with them is the Win32 side's business.

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/registry.h"

namespace corvandel {

inline constexpr const char* kStyleLight = "Windows11 Modern Light";
inline constexpr const char* kStyleDark = "Windows11 Modern Dark";

enum class Look { Light, Dark };

// Colours as 0x00BBGGRR, the layout of a Win32 COLORREF.
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r | (g << 8) | (b << 16);
}

struct Palette {
    uint32_t window;  // window and panel backgrounds
    uint32_t text;    // labels and other text on them
    uint32_t field;   // edit boxes and the console
    uint32_t fieldText;
    uint32_t list;  // list backgrounds
    uint32_t listText;
    uint32_t recentText;  // recently installed programs in the list, drawn bold
    uint32_t header;      // list headers and the status bar
    uint32_t headerText;
    uint32_t line;  // dividers and borders
    uint32_t button;
    uint32_t buttonHot;  // a pressed or chosen button
    uint32_t buttonText;
    uint32_t menu;
    uint32_t menuText;
    uint32_t menuHot;  // the highlighted menu item
    uint32_t menuHotText;
    uint32_t grayText;  // disabled items and shortcut texts
    uint32_t link;
};

const Palette& PaletteFor(Look look);

// The look a style name selects; nothing for a name the program does not have.
std::optional<Look> LookOfStyle(const std::string& styleName);

// True exactly when HKCU\...\Themes\Personalize has a 32-bit "AppsUseLightTheme" of 0. A
// missing key or value, or a value of another type, counts as light.
bool IsSystemDarkTheme(RegistryApi& api);

}  // namespace corvandel
