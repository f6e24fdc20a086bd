#pragma once
// The text rules of version-resource reading, apart from the Win32 calls.

#include <cstdint>
#include <string>
#include <string_view>

namespace corvandel {

// "040904E4" when the translation table is missing, too short or all zero.
std::string TranslationKey(const unsigned char* translation, size_t size);

// Scans a "FileVersion" string: digits kept, "." or "," become one ".", blanks skipped, any
// other character ends the scan; a trailing "." is dropped.
std::string ScanFileVersionString(std::u16string_view text);

// The fixed file version as "a.b.c.d" from its two 32-bit halves.
std::string FormatFixedVersion(uint32_t mostSignificant, uint32_t leastSignificant);

}  // namespace corvandel
