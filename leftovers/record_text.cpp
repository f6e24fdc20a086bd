#include "leftovers/record_text.h"

#include <cstdint>

namespace corvandel {
namespace {

constexpr std::string_view kEndKey = "end=";
constexpr char kHexDigits[] = "0123456789abcdef";

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

int HexValue(char c) {
    for (int i = 0; i < 16; ++i) {
        if (kHexDigits[i] == c)
            return i;
    }
    return -1;
}

// FNV-1a, 64 bits: enough to tell a record that was cut short or changed on the disk.
std::string Checksum(std::string_view text) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001B3ull;
    }
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        out[i] = kHexDigits[hash & 0xF];
    return out;
}

}  // namespace

std::string EscapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (IsControl(byte)) {
            out += "\\x";
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> UnescapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsControl(static_cast<unsigned char>(c)))
            return std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'x': {
                const int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
                const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
                if (high < 0 || low < 0 || !IsControl(static_cast<unsigned char>(high * 16 + low)))
                    return std::nullopt;
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

std::string WithChecksum(std::string text) {
    const std::string checksum = Checksum(text);
    text += kEndKey;
    text += checksum;
    text += kTextLineEnd;
    return text;
}

std::optional<std::vector<std::string_view>> CheckedLines(std::string_view text) {
    if (text.size() < kTextLineEnd.size() ||
        text.substr(text.size() - kTextLineEnd.size()) != kTextLineEnd) {
        return std::nullopt;
    }
    const std::string_view withoutEnd = text.substr(0, text.size() - kTextLineEnd.size());
    const size_t lastLine = withoutEnd.rfind(kTextLineEnd);
    if (lastLine == std::string_view::npos)
        return std::nullopt;
    const std::string_view body = text.substr(0, lastLine + kTextLineEnd.size());
    if (withoutEnd.substr(lastLine + kTextLineEnd.size()) != std::string(kEndKey) + Checksum(body))
        return std::nullopt;
    std::vector<std::string_view> lines;
    for (std::string_view rest = body; !rest.empty();) {
        const size_t end = rest.find(kTextLineEnd);
        lines.push_back(rest.substr(0, end));
        rest.remove_prefix(end + kTextLineEnd.size());
    }
    return lines;
}

std::string HexText(const std::vector<unsigned char>& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const unsigned char byte : bytes) {
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 0xF];
    }
    return out;
}

std::optional<std::vector<unsigned char>> HexBytes(std::string_view text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::vector<unsigned char> bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexValue(text[i]);
        const int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<unsigned char>(high * 16 + low));
    }
    return bytes;
}

}  // namespace corvandel
