#include "inventory/install_date.h"

#include <cstdio>

namespace corvandel {

DateTime GetKeyInstallDate(uint64_t lastWriteTime, const Locale& locale) {
    if (lastWriteTime == 0)
        return DateTime{};
    DateTime local;
    if (!locale.FileTimeToLocal(lastWriteTime, local) || local.year < 1 || local.year > 9999) {
        return locale.Now();
    }
    return local;
}

namespace {

std::string Number(int value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    return buffer;
}

}  // namespace

std::string FormatShortDate(const std::string& pattern, const DateTime& date) {
    std::string out;
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'') {
            const size_t close = pattern.find('\'', i + 1);
            const size_t end = close == std::string::npos ? pattern.size() : close;
            out.append(pattern, i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        switch (c) {
            case 'd':
                // Day names are not part of any short date this program shows; the number
                // stands in for them.
                out += Number(date.day, run >= 2 ? 2 : 1);
                break;
            case 'M':
                out += Number(date.month, run >= 2 ? 2 : 1);
                break;
            case 'y':
                if (run <= 2) {
                    out += Number(date.year % 100, run);
                } else {
                    out += Number(date.year, 4);
                }
                break;
            case 'g':
                break;
            default:
                out.append(run, c);
                break;
        }
        i += run;
    }
    return out;
}

std::string InstallDateText(uint64_t lastWriteTime, const Locale& locale) {
    return FormatShortDate(locale.ShortDateFormat(), GetKeyInstallDate(lastWriteTime, locale));
}

}  // namespace corvandel
