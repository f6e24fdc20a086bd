#pragma once
// Checks an update package against its detached signature with the system's cryptography
// library (CNG): SHA-256 of the package, ECDSA P-256 with the given public key.

#include <optional>
#include <string>

namespace corvandel {

enum class SignatureCheck {
    Valid,
    Malformed,  // not a signature the release script could have made
    Mismatch,   // another key signed it, or the package changed after signing
};

// `publicKey` is the key's X then Y, 32 bytes each.
SignatureCheck VerifyPackageSignature(const std::string& package, const std::string& signature,
                                      const unsigned char (&publicKey)[64]);

// The SHA-256 of the bytes in lower-case hex; nothing when the system cannot compute it.
std::optional<std::string> Sha256Hex(const std::string& data);

}  // namespace corvandel
