#include "update/package_signature_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace corvandel {
namespace {

// A package signed once with `openssl dgst -sha256 -sign` by a key made for this test; only
// its public half is kept.
constexpr unsigned char kKey[64] = {
    0x6e, 0x7a, 0x97, 0xc6, 0x91, 0x2c, 0x05, 0xfd, 0xd8, 0x6f, 0x5a, 0x2c, 0x13, 0xbc, 0xc8, 0x1b,
    0x1b, 0x5d, 0x03, 0x5e, 0xa1, 0xee, 0x80, 0x45, 0xef, 0x13, 0x55, 0xf9, 0xbb, 0xa0, 0x40, 0x1d,
    0x4b, 0x35, 0x6e, 0x23, 0x28, 0x07, 0xfd, 0xdd, 0x9d, 0xda, 0x20, 0xa0, 0x06, 0x33, 0xa6, 0xb2,
    0x4c, 0xa8, 0x0b, 0x7f, 0xb0, 0xa6, 0xc4, 0xd3, 0x94, 0xe4, 0xfa, 0xd0, 0x26, 0x9c, 0x45, 0x6c};
constexpr unsigned char kSignature[] = {
    0x30, 0x44, 0x02, 0x20, 0x13, 0xb5, 0x7b, 0x5b, 0x3a, 0x6b, 0xfd, 0x98, 0x6b, 0x5e,
    0x74, 0xa6, 0x53, 0x49, 0x74, 0x3c, 0x9d, 0x1f, 0x11, 0x3b, 0xad, 0x37, 0xf2, 0xa8,
    0xd5, 0x25, 0x32, 0x2d, 0xd2, 0xa8, 0xf6, 0xae, 0x02, 0x20, 0x1f, 0x56, 0x56, 0xbd,
    0x85, 0x5a, 0x24, 0xc9, 0x0a, 0x48, 0xb1, 0x53, 0xef, 0x7c, 0x97, 0xb8, 0x03, 0x54,
    0x82, 0x43, 0x08, 0x47, 0xd9, 0x12, 0x76, 0x14, 0x76, 0x0a, 0x61, 0x91, 0x0e, 0xc3};
const std::string kPackage("Corvandel test package\r\n\0 bytes", 31);

const std::string Signature() {
    return std::string(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
}

TEST(PackageSignatureWinTest, OnlyTheSignedBytesWithTheRightKeyPass) {
    EXPECT_EQ(VerifyPackageSignature(kPackage, Signature(), kKey), SignatureCheck::Valid);

    std::string changed = kPackage;
    changed[5] ^= 1;
    EXPECT_EQ(VerifyPackageSignature(changed, Signature(), kKey), SignatureCheck::Mismatch);
    EXPECT_EQ(VerifyPackageSignature(kPackage + "x", Signature(), kKey), SignatureCheck::Mismatch);

    unsigned char otherKey[64];
    std::copy(std::begin(kKey), std::end(kKey), otherKey);
    otherKey[63] ^= 1;  // no longer a point of the curve: the import itself fails
    EXPECT_EQ(VerifyPackageSignature(kPackage, Signature(), otherKey), SignatureCheck::Mismatch);

    std::string swapped = Signature();  // s and r exchanged: well formed, not valid
    std::swap_ranges(swapped.begin() + 4, swapped.begin() + 36, swapped.begin() + 38);
    EXPECT_EQ(VerifyPackageSignature(kPackage, swapped, kKey), SignatureCheck::Mismatch);
}

TEST(PackageSignatureWinTest, WhatIsNoSignatureIsMalformed) {
    EXPECT_EQ(VerifyPackageSignature(kPackage, "", kKey), SignatureCheck::Malformed);
    EXPECT_EQ(VerifyPackageSignature(kPackage, "<html>Not Found</html>", kKey),
              SignatureCheck::Malformed);
    EXPECT_EQ(VerifyPackageSignature(kPackage, Signature() + "\n", kKey),
              SignatureCheck::Malformed);
}

}  // namespace
}  // namespace corvandel
