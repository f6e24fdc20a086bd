#pragma once
// Code page 1251 reduced to ASCII and the Russian alphabet: enough to tell whether text really
// went through the ANSI conversion, and deterministic on any machine.

#include <string>
#include <string_view>

#include "foundation/text.h"
#include "settings/IniDocument.h"

namespace corvandel::testing {

class FakeCp1251 : public AnsiCodePage {
  public:
    std::string ToUtf8(std::string_view ansi) const override {
        std::u16string units;
        units.reserve(ansi.size());
        for (const char c : ansi)
            units += ToUnit(static_cast<unsigned char>(c));
        return Utf16ToUtf8(units);
    }

    // Like the system conversion, whatever the code page lacks becomes '?'.
    std::string FromUtf8(std::string_view utf8) const override {
        const std::u16string units = Utf8ToUtf16(utf8);
        std::string out;
        out.reserve(units.size());
        for (size_t i = 0; i < units.size(); ++i) {
            const char16_t unit = units[i];
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() &&
                units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
                ++i;  // one character, one question mark
            }
            out += ToByte(unit);
        }
        return out;
    }

  private:
    static char16_t ToUnit(unsigned char byte) {
        if (byte < 0x80)
            return byte;
        if (byte >= 0xC0)
            return static_cast<char16_t>(0x410 + (byte - 0xC0));
        if (byte == 0xA8)
            return 0x401;  // Ё
        if (byte == 0xB8)
            return 0x451;  // ё
        return 0xFFFD;
    }

    static char ToByte(char16_t unit) {
        if (unit < 0x80)
            return static_cast<char>(unit);
        if (unit >= 0x410 && unit <= 0x44F)
            return static_cast<char>(0xC0 + (unit - 0x410));
        if (unit == 0x401)
            return static_cast<char>(0xA8);
        if (unit == 0x451)
            return static_cast<char>(0xB8);
        return '?';
    }
};

}  // namespace corvandel::testing
