#pragma once

#include <string>
#include <vector>

#include "foundation/platform.h"
#include "inventory/uninstall_entry.h"

namespace corvandel {

// Compares two key texts the way the list sorts them: both in the locale's upper case,
// UTF-16 code unit by code unit, a prefix before the longer text; the result is multiplied
// by the direction (+1 ascending, -1 descending).
int CompareKeys(const std::string& a, const std::string& b, int direction, const Locale& locale);

// Stable: rows with equal names keep their order.
void SortByName(std::vector<UninstallEntry>& rows, int direction, const Locale& locale);

}  // namespace corvandel
