#include "about/version_text.h"

#include <cstdio>

namespace corvandel {

std::string TranslationKey(const unsigned char* translation, size_t size) {
    if (translation == nullptr || size < 4)
        return "040904E4";
    const unsigned language = translation[0] | (translation[1] << 8);
    const unsigned codePage = translation[2] | (translation[3] << 8);
    char key[16];
    std::snprintf(key, sizeof key, "%04X%04X", language, codePage);
    if (std::string(key) == "00000000")
        return "040904E4";
    return key;
}

std::string ScanFileVersionString(std::u16string_view text) {
    std::string result;
    for (char16_t c : text) {
        if (c >= u'0' && c <= u'9') {
            result += static_cast<char>(c);
        } else if (c == u'.' || c == u',') {
            if (!result.empty() && result.back() != '.')
                result += '.';
        } else if (c == u' ') {
            continue;
        } else {
            break;
        }
    }
    if (!result.empty() && result.back() == '.')
        result.pop_back();
    return result;
}

std::string FormatFixedVersion(uint32_t mostSignificant, uint32_t leastSignificant) {
    char text[48];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", mostSignificant >> 16, mostSignificant & 0xFFFF,
                  leastSignificant >> 16, leastSignificant & 0xFFFF);
    return text;
}

}  // namespace corvandel
