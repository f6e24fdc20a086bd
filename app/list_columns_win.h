#pragma once
// The visible columns of the main window's lists: caption, design width and the limits the
// window keeps whatever the user or an automatic fit does.

#include "ui/control_ids.h"
#include "ui/controls_win.h"

namespace corvandel {

// The last program column takes the width the others leave, at least its minimum.
inline constexpr ColumnDesign kProgramColumns[kVisibleListColumns] = {
    {"Установленные программы", 200, 200, 0, false, LVCFMT_LEFT},
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

}  // namespace corvandel
