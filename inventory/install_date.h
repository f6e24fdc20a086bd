#pragma once

#include <cstdint>
#include <string>

#include "foundation/platform.h"

namespace corvandel {

// The local date-time of a key's last write. Zero stays the zero date (30.12.1899); a time
// that cannot be represented becomes the current local time.
DateTime GetKeyInstallDate(uint64_t lastWriteTime, const Locale& locale);

// Formats the date part with a Windows short-date pattern (d, dd, M, MM, y, yy, yyyy, quoted
// literals).
std::string FormatShortDate(const std::string& pattern, const DateTime& date);

std::string InstallDateText(uint64_t lastWriteTime, const Locale& locale);

}  // namespace corvandel
