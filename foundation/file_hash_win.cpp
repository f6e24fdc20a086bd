#include "foundation/file_hash_win.h"

#include <windows.h>

#include <bcrypt.h>

#include <vector>

#include "foundation/handle_win.h"
#include "foundation/system_library_win.h"

namespace corvandel {

std::optional<std::string> FileSha256(const std::wstring& path) {
    const OwnedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return std::nullopt;
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptOpenAlgorithmProvider)(
            &algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return std::nullopt;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCRYPT_SUCCESS(CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptCreateHash)(
        algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    std::vector<unsigned char> buffer(1 << 16);
    while (ok) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read,
                      nullptr)) {
            ok = false;
            break;
        }
        if (read == 0)
            break;
        ok = BCRYPT_SUCCESS(
            CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptHashData)(hash, buffer.data(), read, 0));
    }
    unsigned char digest[32] = {};
    ok = ok && BCRYPT_SUCCESS(CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptFinishHash)(
                   hash, digest, sizeof digest, 0));
    if (hash != nullptr)
        CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptDestroyHash)(hash);
    CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptCloseAlgorithmProvider)(algorithm, 0);
    if (!ok)
        return std::nullopt;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    }
    return text;
}

}  // namespace corvandel
