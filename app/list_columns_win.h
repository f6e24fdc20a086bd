#pragma once
// The visible columns of the main window's lists: caption, design width and the limits the
// window keeps whatever the user or an automatic fit does.

#include <windows.h>

#include <commctrl.h>

#include "ui/control_ids.h"

namespace corvandel {

struct ColumnDesign {
    const char* caption;
    int width;
    int minimum;
    int maximum;  // 0: none
    bool fixed;   // the user cannot resize it
    int format;
};

// The last program column takes the width the others leave, at least its minimum.
inline constexpr ColumnDesign kProgramColumns[kVisibleListColumns] = {
    {"Установленные програмы", 200, 200, 0, false, LVCFMT_LEFT},
    {"Издатель", 200, 200, 0, false, LVCFMT_LEFT},
    {"Версия", 120, 120, 120, true, LVCFMT_LEFT},
    {"Дата установки", 130, 130, 130, true, LVCFMT_LEFT},
    {"Путь установки", 100, 100, 0, false, LVCFMT_LEFT},
};
inline constexpr ColumnDesign kBackupColumns[3] = {
    {"Файл", 250, 250, 0, false, LVCFMT_LEFT},
    {"Размер", 70, 0, 70, false, LVCFMT_RIGHT},
    {"Дата", 120, 120, 0, false, LVCFMT_LEFT},
};

// Brings a list's first count columns back within their limits.
inline void KeepColumnLimits(HWND list, const ColumnDesign* columns, int count) {
    for (int column = 0; column < count; ++column) {
        const int width = ListView_GetColumnWidth(list, column);
        int kept = width < columns[column].minimum ? columns[column].minimum : width;
        if (columns[column].maximum > 0 && kept > columns[column].maximum)
            kept = columns[column].maximum;
        if (kept != width)
            ListView_SetColumnWidth(list, column, kept);
    }
}

}  // namespace corvandel
