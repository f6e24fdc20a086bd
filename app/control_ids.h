#pragma once
// Window classes, control identifiers and menu command numbers. The end-to-end driver finds
// controls and sends commands by these numbers, so they do not change.

#define CORVANDEL_MAIN_CLASS L"TForm1"
#define CORVANDEL_ABOUT_CLASS L"TForm8"

enum ControlId : int {
    kIdListViewUninstall = 1001,
    kIdStatusBarUninstall = 1002,
    kIdListviewDubUninstall = 1003,
    kIdMemoLogUninstall = 1004,
    kIdEditSearchUninstall = 1005,
    kIdListViewBackupsUninstall = 1006,
    kIdSpeedButtonGeneralMenu = 1007,
    kIdButtonUninstall = 1008,
    kIdButtonBackupsUninstall = 1009,
    kIdTabControl = 1010,
    kIdTabControlPanel = 1011,
    kIdTabUninstall = 1012,
    kIdTabBackups = 1013,
};

// Menu commands.
enum CommandId : int {
    kCmdUninstallUninstallMenu = 2001,
    kCmdOpenFolderUninstallMenu,
    kCmdWebSiteUninstallMenu,
    kCmdDeleteKeyUninstallMenu,
    kCmdRegistryKeyOpenUninstallMenu,
    kCmdBackupsUpdateMenu,
    kCmdBackupsRestoreMenu,
    kCmdBackupsDelAllMenu,
    kCmdBackupsDelMenu,
    kCmdThemeAuto,
    kCmdThemeLight,
    kCmdThemeDark,
    kCmdIconSmallMenu,
    kCmdIconBigMenu,
    kCmdRefreshListMenu,
    kCmdViewLogMenu,
    kCmdLogCreateMenu,
    kCmdCheckUpdateMenu,
    kCmdAboutMenu,
};

// Columns of ListViewUninstall: the caption, then the nine entry columns as sub-items 1 to 9.
// Sub-items 5 to 9 (entry columns 4 to 8) are data the window keeps but does not show.
constexpr int kVisibleListColumns = 5;
constexpr int kListColumns = 10;
