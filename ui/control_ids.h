#pragma once
// Window classes and control identifiers, and the controls' component names, by which the
// end-to-end driver finds them.

#include <string_view>

#define CORVANDEL_MAIN_CLASS L"TForm1"
#define CORVANDEL_ABOUT_CLASS L"TForm8"
#define CORVANDEL_UPDATE_CLASS L"TForm10"

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

// The update window's controls that show its state; its two buttons are IDOK and IDCANCEL.
enum UpdateControlId : int {
    kIdCheckBoxQuickUpdate = 1101,
    kIdCheckBoxForceUpdate = 1102,
    kIdCheckBoxAutoCheck = 1103,
    kIdLabelUpDate = 1104,
    kIdLabelLocalVersion = 1105,
    kIdLabelServerVersion = 1106,
    kIdProgressBarUpdate = 1107,
    kIdGroupBoxOption = 1108,
};

struct ControlName {
    int id;
    const char* name;
};

inline constexpr ControlName kControlNames[] = {
    {kIdListViewUninstall, "ListViewUninstall"},
    {kIdStatusBarUninstall, "StatusBarUninstall"},
    {kIdListviewDubUninstall, "ListviewDubUninstall"},
    {kIdMemoLogUninstall, "MemoLogUninstall"},
    {kIdEditSearchUninstall, "EditSearchUninstall"},
    {kIdListViewBackupsUninstall, "ListViewBackupsUninstall"},
    {kIdSpeedButtonGeneralMenu, "SpeedButton_GeneralMenu"},
    {kIdButtonUninstall, "ButtonUninstall"},
    {kIdButtonBackupsUninstall, "ButtonBackupsUninstall"},
    {kIdTabControl, "TabControl"},
    {kIdTabControlPanel, "TabControlPanel"},
    {kIdTabUninstall, "TabUninstall"},
    {kIdTabBackups, "TabBackups"},
};

// The id of a control of the main window by its component name; 0 when there is none.
constexpr int ControlByName(std::string_view name) {
    for (const ControlName& control : kControlNames) {
        if (name == control.name)
            return control.id;
    }
    return 0;
}

// Columns of ListViewUninstall: the caption, then the nine entry columns as sub-items 1 to 9.
// Sub-items 5 to 9 (entry columns 4 to 8) are data the window keeps but does not show.
constexpr int kVisibleListColumns = 5;
constexpr int kListColumns = 10;
