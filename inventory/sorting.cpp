#include "inventory/sorting.h"

#include <algorithm>

#include "foundation/text.h"

namespace corvandel {

namespace {

int CompareUpper(const std::u16string& a, const std::u16string& b, int direction) {
    const int order = a.compare(b);  // char16_t compares as unsigned code units
    if (order == 0)
        return 0;
    return order > 0 ? direction : -direction;
}

}  // namespace

int CompareKeys(const std::string& a, const std::string& b, int direction, const Locale& locale) {
    return CompareUpper(locale.ToUpper(Utf8ToUtf16(a)), locale.ToUpper(Utf8ToUtf16(b)), direction);
}

void SortByName(std::vector<UninstallEntry>& rows, int direction, const Locale& locale) {
    // Upper-case every caption once instead of on each comparison.
    std::vector<std::pair<std::u16string, UninstallEntry>> keyed;
    keyed.reserve(rows.size());
    for (auto& row : rows) {
        keyed.emplace_back(locale.ToUpper(Utf8ToUtf16(row.caption)), std::move(row));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [direction](const auto& x, const auto& y) {
        return CompareUpper(x.first, y.first, direction) < 0;
    });
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = std::move(keyed[i].second);
}

}  // namespace corvandel
