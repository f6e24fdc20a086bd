#include "update/package_signature_win.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "foundation/system_library_win.h"
#include "update/package_signature.h"

namespace corvandel {

namespace {

class Algorithm {
  public:
    explicit Algorithm(const wchar_t* name) {
        if (!BCRYPT_SUCCESS(CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptOpenAlgorithmProvider)(
                &handle_, name, nullptr, 0)))
            handle_ = nullptr;
    }
    ~Algorithm() {
        if (handle_ != nullptr)
            CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptCloseAlgorithmProvider)(handle_, 0);
    }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
    BCRYPT_ALG_HANDLE get() const { return handle_; }

  private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

std::optional<std::array<unsigned char, 32>> Sha256(const std::string& data) {
    const Algorithm sha(BCRYPT_SHA256_ALGORITHM);
    if (sha.get() == nullptr)
        return std::nullopt;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!BCRYPT_SUCCESS(CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptCreateHash)(
            sha.get(), &hash, nullptr, 0, nullptr, 0, 0)))
        return std::nullopt;
    std::array<unsigned char, 32> digest{};
    bool ok = true;
    // Large packages go in pieces, since the call takes a 32-bit length.
    constexpr size_t kPiece = 1 << 20;
    for (size_t at = 0; ok && at < data.size(); at += kPiece) {
        const size_t size = std::min(kPiece, data.size() - at);
        ok = BCRYPT_SUCCESS(CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptHashData)(
            hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data() + at)),
            static_cast<ULONG>(size), 0));
    }
    ok = ok && BCRYPT_SUCCESS(CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptFinishHash)(
                   hash, digest.data(), digest.size(), 0));
    CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptDestroyHash)(hash);
    if (!ok)
        return std::nullopt;
    return digest;
}

}  // namespace

std::optional<std::string> Sha256Hex(const std::string& data) {
    const std::optional<std::array<unsigned char, 32>> digest = Sha256(data);
    if (!digest)
        return std::nullopt;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : *digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    }
    return text;
}

SignatureCheck VerifyPackageSignature(const std::string& package, const std::string& signature,
                                      const unsigned char (&publicKey)[64]) {
    std::optional<std::array<unsigned char, 64>> raw = RawSignatureFromDer(signature);
    if (!raw)
        return SignatureCheck::Malformed;
    const std::optional<std::array<unsigned char, 32>> digest = Sha256(package);
    const Algorithm ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!digest || ecdsa.get() == nullptr)
        return SignatureCheck::Mismatch;  // nothing can be shown to be genuine

    std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + sizeof publicKey);
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, publicKey, sizeof publicKey);
    BCRYPT_KEY_HANDLE key = nullptr;
    if (!BCRYPT_SUCCESS(CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptImportKeyPair)(
            ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &key, blob.data(),
            static_cast<ULONG>(blob.size()), 0)))
        return SignatureCheck::Mismatch;
    std::array<unsigned char, 32> hashed = *digest;
    const NTSTATUS status = CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptVerifySignature)(
        key, nullptr, hashed.data(), hashed.size(), raw->data(), raw->size(), 0);
    CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptDestroyKey)(key);
    return BCRYPT_SUCCESS(status) ? SignatureCheck::Valid : SignatureCheck::Mismatch;
}

}  // namespace corvandel
