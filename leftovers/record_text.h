#pragma once
// The text form of the files the clean-up keeps beside the backups (the record of an entry,
// the list of a clean-up): UTF-8 lines with CR LF ends, values escaped so that every byte
// survives, closed by a line with a checksum of everything before it, so that a file cut short
// or changed on the disk is never taken in part.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvandel {

inline constexpr std::string_view kTextLineEnd = "\r\n";

// Backslash escapes keep every value on its line and every tab out of it; all other bytes,
// UTF-8 of any script included, are written as they are.
std::string EscapeField(std::string_view text);
// Nothing when the text holds a raw control character or an escape EscapeField never writes.
std::optional<std::string> UnescapeField(std::string_view text);

// The text with its checksum line added; the text ends with kTextLineEnd.
std::string WithChecksum(std::string text);
// The lines before the checksum line (without their ends); nothing when the last line is not
// the checksum of everything before it.
std::optional<std::vector<std::string_view>> CheckedLines(std::string_view text);

// Bytes as lower-case hexadecimal digits, and back; nothing for any other text.
std::string HexText(const std::vector<unsigned char>& bytes);
std::optional<std::vector<unsigned char>> HexBytes(std::string_view text);

}  // namespace corvandel
