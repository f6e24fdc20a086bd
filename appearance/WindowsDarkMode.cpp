#include "appearance/WindowsDarkMode.h"

namespace corvandel {

namespace {

constexpr Palette kLight{
    .window = Rgb(243, 243, 243),
    .text = Rgb(26, 26, 26),
    .field = Rgb(255, 255, 255),
    .fieldText = Rgb(26, 26, 26),
    .list = Rgb(255, 255, 255),
    .listText = Rgb(0, 0, 0),
    .recentText = Rgb(0, 128, 0),
    .header = Rgb(249, 249, 249),
    .headerText = Rgb(26, 26, 26),
    .line = Rgb(215, 215, 215),
    .button = Rgb(251, 251, 251),
    .buttonHot = Rgb(224, 238, 249),
    .buttonText = Rgb(26, 26, 26),
    .menu = Rgb(249, 249, 249),
    .menuText = Rgb(26, 26, 26),
    .menuHot = Rgb(0, 120, 215),
    .menuHotText = Rgb(255, 255, 255),
    .grayText = Rgb(109, 109, 109),
    .link = Rgb(0, 95, 184),
};

constexpr Palette kDark{
    .window = Rgb(32, 32, 32),
    .text = Rgb(255, 255, 255),
    .field = Rgb(45, 45, 45),
    .fieldText = Rgb(255, 255, 255),
    .list = Rgb(33, 33, 33),
    .listText = Rgb(255, 255, 255),
    .recentText = Rgb(108, 203, 95),
    .header = Rgb(43, 43, 43),
    .headerText = Rgb(255, 255, 255),
    .line = Rgb(60, 60, 60),
    .button = Rgb(45, 45, 45),
    .buttonHot = Rgb(30, 70, 110),
    .buttonText = Rgb(255, 255, 255),
    .menu = Rgb(43, 43, 43),
    .menuText = Rgb(255, 255, 255),
    .menuHot = Rgb(0, 120, 215),
    .menuHotText = Rgb(255, 255, 255),
    .grayText = Rgb(160, 160, 160),
    .link = Rgb(153, 235, 255),
};

}  // namespace

const Palette& PaletteFor(Look look) {
    return look == Look::Dark ? kDark : kLight;
}

std::optional<Look> LookOfStyle(const std::string& styleName) {
    if (styleName == kStyleLight)
        return Look::Light;
    if (styleName == kStyleDark)
        return Look::Dark;
    return std::nullopt;
}

bool IsSystemDarkTheme(RegistryApi& api) {
    Registry registry(api, kKeyRead);
    registry.SetRootKey(RegRoot::CurrentUser);
    if (!registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                          false))
        return false;
    const std::optional<RegValue> value = registry.ReadValue("AppsUseLightTheme");
    if (!value || value->type != kRegDword || value->data.size() != 4)
        return false;
    return value->data[0] == 0 && value->data[1] == 0 && value->data[2] == 0 && value->data[3] == 0;
}

}  // namespace corvandel
