#pragma once
// The menus of the main window in one table: each item's command id, component name,
// default caption and shortcut. The window builds its menus, its shortcut keys and the
// shortcut texts from it; the end-to-end driver finds commands by their names here.

#include <cstdint>
#include <string_view>

#include "ui/stored_names.h"

namespace corvandel {

// Command ids are given explicitly: stored nowhere, but never renumbered by a new item.
enum CommandId : int {
    kCmdUninstallUninstallMenu = 2001,
    kCmdOpenFolderUninstallMenu = 2002,
    kCmdWebSiteUninstallMenu = 2003,
    kCmdDeleteKeyUninstallMenu = 2004,
    kCmdRegistryKeyOpenUninstallMenu = 2005,
    kCmdBackupsUpdateMenu = 2006,
    kCmdBackupsRestoreMenu = 2007,
    kCmdBackupsDelAllMenu = 2008,
    kCmdBackupsDelMenu = 2009,
    kCmdThemeAuto = 2010,
    kCmdThemeLight = 2011,
    kCmdThemeDark = 2012,
    kCmdIconSmallMenu = 2013,
    kCmdIconBigMenu = 2014,
    kCmdRefreshListMenu = 2015,
    kCmdViewLogMenu = 2016,
    kCmdLogCreateMenu = 2017,
    kCmdCheckUpdateMenu = 2018,
    kCmdAboutMenu = 2019,
    kCmdUninstallSelectedMenu = 2020,
    kCmdModifyUninstallMenu = 2021,
    kCmdRepairUninstallMenu = 2022,
    kCmdBrokenOnlyMenu = 2023,
    kCmdBackupsLeftoversMenu = 2024,
    kCmdFindLeftoversUninstallMenu = 2025,
    kCmdBackupsEmptyMonthMenu = 2026,
    kCmdBackupsEmptyQuarterMenu = 2027,
    kCmdBackupsEmptyYearMenu = 2028,
};

// The language menu's items, one per language file, numbered in menu order.
inline constexpr int kCmdLanguageFirst = 2100;
inline constexpr int kCmdLanguageLast = 2999;

// Radio groups are checked as ranges of ids.
static_assert(kCmdThemeLight == kCmdThemeAuto + 1 && kCmdThemeDark == kCmdThemeAuto + 2);
static_assert(kCmdIconBigMenu == kCmdIconSmallMenu + 1);

// Modifier keys of a shortcut.
inline constexpr uint8_t kShift = 1;
inline constexpr uint8_t kCtrl = 2;
inline constexpr uint8_t kAlt = 4;

// Virtual-key codes the shortcuts use (the Win32 VK_* numbers).
inline constexpr uint16_t kVkBack = 0x08;
inline constexpr uint16_t kVkDelete = 0x2E;
inline constexpr uint16_t kVkF1 = 0x70;
inline constexpr uint16_t kVkF5 = 0x74;

struct MenuItem {
    int id;                           // 0 for a separator
    stored::ComponentName component;  // the name language files address
    const char* caption;              // the default caption
    const char* shortcut;             // the text shown after the caption; "" for none
    uint16_t key = 0;                 // the shortcut's virtual key; 0 when the item has none
    uint8_t modifiers = 0;
    bool radio = false;
};

// The program list's context menu; its shortcuts work while the list has the focus.
inline constexpr MenuItem kProgramListMenu[] = {
    {kCmdUninstallUninstallMenu, stored::main_window::kUninstallUninstallMenu, "Деинсталляция",
     "Shift+Del", kVkDelete, kShift},
    {kCmdUninstallSelectedMenu, stored::main_window::kUninstallSelectedMenu,
     "Деинсталлировать выбранные", ""},
    {kCmdModifyUninstallMenu, stored::main_window::kModifyUninstallMenu, "Изменить", ""},
    {kCmdRepairUninstallMenu, stored::main_window::kRepairUninstallMenu, "Исправить", ""},
    {kCmdFindLeftoversUninstallMenu, stored::main_window::kFindLeftoversUninstallMenu,
     "Найти остатки", ""},
    {0, stored::main_window::kN26, "-", ""},
    {kCmdOpenFolderUninstallMenu, stored::main_window::kOpenFolderUninstallMenu, "Открыть папку",
     "Ctrl+O", 'O', kCtrl},
    {kCmdWebSiteUninstallMenu, stored::main_window::kWebSiteUninstallMenu, "Сайт программы",
     "Ctrl+W", 'W', kCtrl},
    {0, stored::main_window::kN5, "-", ""},
    {kCmdDeleteKeyUninstallMenu, stored::main_window::kDeleteKeyUninstallMenu, "Удалить", "Del",
     kVkDelete, 0},
    {0, stored::main_window::kN25, "-", ""},
    {kCmdRegistryKeyOpenUninstallMenu, stored::main_window::kRegistryKeyOpenUninstallMenu,
     "Registry", ""},
};

// The backups list's context menu; its shortcuts work while that list has the focus.
inline constexpr MenuItem kBackupsMenu[] = {
    {kCmdBackupsUpdateMenu, stored::main_window::kBackupsUpdateMenu, "Обновить", "F5", kVkF5, 0},
    {0, stored::main_window::kSeparatorBack1, "-", ""},
    {kCmdBackupsRestoreMenu, stored::main_window::kBackupsRestoreMenu, "Восстановить", "Alt+BkSp",
     kVkBack, kAlt},
    {kCmdBackupsLeftoversMenu, stored::main_window::kBackupsLeftoversMenu, "Найти остатки", ""},
    {0, stored::main_window::kSeparatorBack2, "-", ""},
    {kCmdBackupsDelAllMenu, stored::main_window::kBackupsDelAllMenu, "Удалить все", "Shift+Del",
     kVkDelete, kShift},
    {kCmdBackupsDelMenu, stored::main_window::kBackupsDelMenu, "Удалить", "Del", kVkDelete, 0},
    {0, stored::main_window::kSeparatorBack3, "-", ""},
    {kCmdBackupsEmptyMonthMenu, stored::main_window::kBackupsEmptyMonthMenu,
     "Очистить карантин старше 30 дней", ""},
    {kCmdBackupsEmptyQuarterMenu, stored::main_window::kBackupsEmptyQuarterMenu,
     "Очистить карантин старше 90 дней", ""},
    {kCmdBackupsEmptyYearMenu, stored::main_window::kBackupsEmptyYearMenu,
     "Очистить карантин старше года", ""},
};

// The general menu's submenus and, after them, its own items. Their shortcut texts are shown
// only; the keys are not bound.
inline constexpr MenuItem kThemeMenu[] = {
    {kCmdThemeAuto, stored::main_window::kThemeAuto, "Системная", "", 0, 0, true},
    {kCmdThemeLight, stored::main_window::kThemeLight, "Светлая", "", 0, 0, true},
    {kCmdThemeDark, stored::main_window::kThemeDark, "Темная", "", 0, 0, true},
};
inline constexpr MenuItem kViewMenu[] = {
    {kCmdIconSmallMenu, stored::main_window::kIconSmallMenu, "Маленькие значки", "", 0, 0, true},
    {kCmdIconBigMenu, stored::main_window::kIconBigMenu, "Большие значки", "", 0, 0, true},
};
inline constexpr MenuItem kGeneralMenu[] = {
    {0, stored::main_window::kN3, "-", ""},
    {kCmdRefreshListMenu, stored::main_window::kRefreshListMenu, "Обновить", "F5"},
    {kCmdBrokenOnlyMenu, stored::main_window::kBrokenOnlyMenu, "Только без деинсталлятора", ""},
    {kCmdViewLogMenu, stored::main_window::kViewLogMenu, "Показать консоль", ""},
    {kCmdLogCreateMenu, stored::main_window::kLogCreateMenu, "Создать отчет", ""},
    {0, stored::main_window::kMenuItem5, "-", ""},
    {kCmdCheckUpdateMenu, stored::main_window::kCheckUpdateMenu, "Проверить обновления", ""},
    {0, stored::main_window::kN1, "-", ""},
    {kCmdAboutMenu, stored::main_window::kAboutMenu, "О программе", "F1"},
};

// The command id of a menu item by its component name; 0 when there is none.
constexpr int CommandByName(std::string_view name) {
    const auto find = [name](const auto& items) {
        for (const MenuItem& item : items) {
            if (item.id != 0 && name == item.component.name)
                return item.id;
        }
        return 0;
    };
    for (const int id : {find(kProgramListMenu), find(kBackupsMenu), find(kThemeMenu),
                         find(kViewMenu), find(kGeneralMenu)}) {
        if (id != 0)
            return id;
    }
    return 0;
}

static_assert(CommandByName("DeleteKeyUninstallMenu") == kCmdDeleteKeyUninstallMenu);
static_assert(CommandByName("N3") == 0);

}  // namespace corvandel
