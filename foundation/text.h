#pragma once
// Text helpers shared by every layer. Inside the program text is UTF-8; registry names may
// hold unpaired UTF-16 surrogates, so the conversions follow WTF-8 and round-trip them.

#include <string>
#include <string_view>

namespace corvandel {

// One code point as UTF-8 bytes, appended.
void AppendCodePoint(std::string& out, char32_t cp);
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// Decodes registry string data (UTF-16 LE bytes): up to the first NUL, an odd last byte
// ignored.
std::string RegistryBytesToUtf8(const unsigned char* data, size_t size);

// The text as UTF-16 bytes, little-endian unless bigEndian; with a terminating NUL unit when
// withNul (as the registry stores a string value).
std::string Utf16Bytes(std::string_view text, bool bigEndian = false, bool withNul = false);

// Changes only the ASCII letters, as the command rules of the uninstall entries require.
std::string AsciiLower(std::string_view text);

// Removes leading and trailing blanks and control characters (everything up to U+0020).
std::string TrimBlanks(std::string_view text);

// Replaces every occurrence, left to right, without overlap; case-sensitive.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

bool Contains(std::string_view text, std::string_view part);

}  // namespace corvandel
