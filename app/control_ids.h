#pragma once
// Window classes and control identifiers of the main window. The end-to-end driver finds
// the controls by these numbers, so they do not change.

#define CORVANDEL_MAIN_CLASS L"TForm1"

enum ControlId : int {
    kIdListViewUninstall = 1001,
    kIdStatusBarUninstall = 1002,
};

// Columns of ListViewUninstall: the caption, then the nine entry columns as sub-items 1 to 9.
// Sub-items 5 to 9 (entry columns 4 to 8) are data the window keeps but does not show.
constexpr int kVisibleListColumns = 5;
constexpr int kListColumns = 10;
