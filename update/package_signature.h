#pragma once
// An update package's signature as the release script makes it: ECDSA P-256 over the
// SHA-256 of the package, in the DER form the openssl command writes.

#include <array>
#include <optional>
#include <string_view>

namespace corvandel {

// The signature's r then s, 32 bytes each, as the system's cryptography library takes it;
// nothing when the text is not exactly one DER SEQUENCE of two positive INTEGERs that fit in
// 32 bytes.
std::optional<std::array<unsigned char, 64>> RawSignatureFromDer(std::string_view der);

}  // namespace corvandel
