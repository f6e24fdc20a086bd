#pragma once
// The one place where program text (UTF-8) meets the UTF-16 of the Win32 calls.

#include <string>
#include <string_view>

#include "foundation/text.h"

namespace corvandel {

inline std::wstring Widen(std::string_view text) {
    const std::u16string units = Utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

inline std::string Narrow(std::wstring_view text) {
    return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

}  // namespace corvandel
