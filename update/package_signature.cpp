#include "update/package_signature.h"

#include <algorithm>
#include <cstddef>

namespace corvandel {

namespace {

// Reads one DER element of the given tag at `at`; its contents are returned and `at` moves
// past it. Only the definite, shortest length forms are accepted.
std::optional<std::string_view> ReadElement(std::string_view der, std::size_t& at,
                                            unsigned char tag) {
    if (at + 2 > der.size() || static_cast<unsigned char>(der[at]) != tag)
        return std::nullopt;
    std::size_t length = static_cast<unsigned char>(der[at + 1]);
    std::size_t start = at + 2;
    if (length == 0x81) {
        if (start >= der.size())
            return std::nullopt;
        length = static_cast<unsigned char>(der[start]);
        if (length < 0x80)
            return std::nullopt;
        ++start;
    } else if (length > 0x80) {
        return std::nullopt;  // longer forms never occur in a P-256 signature
    }
    if (length > der.size() - start)
        return std::nullopt;
    at = start + length;
    return der.substr(start, length);
}

// A positive INTEGER of at most 32 bytes, right-aligned into `out`.
bool ReadScalar(std::string_view value, unsigned char* out) {
    if (value.empty() || (static_cast<unsigned char>(value[0]) & 0x80) != 0)
        return false;  // empty or negative
    if (value.size() > 1 && value[0] == 0 && (static_cast<unsigned char>(value[1]) & 0x80) == 0)
        return false;  // a leading zero that is not needed
    while (!value.empty() && value[0] == 0)
        value.remove_prefix(1);
    if (value.empty() || value.size() > 32)
        return false;  // zero, or too large for the curve
    std::fill(out, out + 32, 0);
    std::copy(value.begin(), value.end(), out + (32 - value.size()));
    return true;
}

}  // namespace

std::optional<std::array<unsigned char, 64>> RawSignatureFromDer(std::string_view der) {
    std::size_t at = 0;
    const std::optional<std::string_view> sequence = ReadElement(der, at, 0x30);
    if (!sequence || at != der.size())
        return std::nullopt;
    std::size_t inner = 0;
    const std::optional<std::string_view> r = ReadElement(*sequence, inner, 0x02);
    const std::optional<std::string_view> s =
        r ? ReadElement(*sequence, inner, 0x02) : std::nullopt;
    std::array<unsigned char, 64> raw{};
    if (!s || inner != sequence->size() || !ReadScalar(*r, raw.data()) ||
        !ReadScalar(*s, raw.data() + 32))
        return std::nullopt;
    return raw;
}

}  // namespace corvandel
