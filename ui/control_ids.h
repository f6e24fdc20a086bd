#pragma once
// Control identifiers, and the controls' component names, by which the end-to-end driver
// finds them.

#include <string_view>

#include "ui/stored_names.h"

enum ControlId : int {
    kIdListViewUninstall = 1001,
    kIdStatusBarUninstall = 1002,
    kIdMemoLogUninstall = 1004,
    kIdEditSearchUninstall = 1005,
    kIdListViewBackupsUninstall = 1006,
    kIdSpeedButtonGeneralMenu = 1007,
    kIdButtonUninstall = 1008,
    kIdButtonBackupsUninstall = 1009,
    kIdLabelQuarantineUninstall = 1010,
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

// The queue window's controls.
enum QueueControlId : int {
    kIdListViewQueue = 1201,
    kIdRadioQuiet = 1202,
    kIdRadioQuietOnly = 1203,
    kIdRadioInteractive = 1204,
    kIdProgressBarQueue = 1205,
    kIdLabelQueueStatus = 1206,
    kIdButtonStart = 1207,
    kIdButtonStop = 1208,
    kIdButtonCloseQueue = 1209,
};

// The leftovers window's controls.
enum LeftoversControlId : int {
    kIdListViewLeftovers = 1301,
    kIdLabelLeftoversStatus = 1302,
    kIdButtonRemoveChosen = 1303,
    kIdButtonCancelLeftovers = 1304,
    kIdMemoLeftoversDetails = 1305,
};

struct ControlName {
    int id;
    const char* name;
};

inline constexpr ControlName kControlNames[] = {
    {kIdListViewUninstall, corvandel::stored::main_window::kListViewUninstall.name},
    {kIdStatusBarUninstall, corvandel::stored::main_window::kStatusBarUninstall.name},
    {kIdMemoLogUninstall, corvandel::stored::main_window::kMemoLogUninstall.name},
    {kIdEditSearchUninstall, corvandel::stored::main_window::kEditSearchUninstall.name},
    {kIdListViewBackupsUninstall, corvandel::stored::main_window::kListViewBackupsUninstall.name},
    {kIdSpeedButtonGeneralMenu, corvandel::stored::main_window::kSpeedButtonGeneralMenu.name},
    {kIdButtonUninstall, corvandel::stored::main_window::kButtonUninstall.name},
    {kIdButtonBackupsUninstall, corvandel::stored::main_window::kButtonBackupsUninstall.name},
    {kIdLabelQuarantineUninstall, corvandel::stored::main_window::kLabelQuarantineUninstall.name},
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
