#include "foundation/files_win.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "foundation/error_text_win.h"
#include "foundation/handle_win.h"
#include "foundation/win_text.h"

namespace corvandel {

namespace {

constexpr DWORD kIoChunk = DWORD{1} << 20;

[[noreturn]] void ThrowWriteError(DWORD code, const std::string& path) {
    throw FileWriteError(SystemErrorText(code), code, path);
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& utf8Path) {
    // Sharing everything lets the file be read while an editor or another copy holds it open.
    OwnedFile file(CreateFileW(Widen(utf8Path).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_INVALID_DRIVE) {
            return std::nullopt;
        }
        throw FileReadError(SystemErrorText(error), error, utf8Path);
    }
    std::string bytes;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 &&
        static_cast<uint64_t>(size.QuadPart) < bytes.max_size()) {
        bytes.reserve(static_cast<size_t>(size.QuadPart));
    }
    std::vector<char> buffer(kIoChunk);
    while (true) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), buffer.data(), kIoChunk, &read, nullptr)) {
            const DWORD error = GetLastError();
            throw FileReadError(SystemErrorText(error), error, utf8Path);
        }
        if (read == 0)
            break;
        bytes.append(buffer.data(), read);
    }
    return bytes;
}

void WriteWholeFile(const std::string& utf8Path, const std::string& bytes) {
    static std::atomic<unsigned> sequence{0};
    const std::wstring target = Widen(utf8Path);
    // A rename can replace a file that could not be written in place (Wine's replaces read-only
    // files). Such a file must keep its content, so the target is first tried for writing
    // without changing it; the read-only attribute is checked by itself as well, because
    // Wine running as root opens read-only files for writing.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        ThrowWriteError(ERROR_ACCESS_DENIED, utf8Path);
    {
        OwnedFile existing(CreateFileW(target.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!existing.Valid()) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND)
                ThrowWriteError(error, utf8Path);
        }
    }
    std::wstring temporary;
    OwnedFile file;
    // The temporary file sits beside the target so that the final move stays on one volume
    // and is a rename, which never leaves a half-written target.
    for (int attempt = 0; !file.Valid(); ++attempt) {
        temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(sequence++) + L".tmp";
        file = OwnedFile(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) {
            const DWORD error = GetLastError();
            if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt >= 16)
                ThrowWriteError(error, utf8Path);
        }
    }

    auto fail = [&](DWORD error) {
        file.Reset();
        DeleteFileW(temporary.c_str());
        ThrowWriteError(error, utf8Path);
    };
    size_t written = 0;
    while (written < bytes.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, kIoChunk));
        DWORD done = 0;
        if (!WriteFile(file.Get(), bytes.data() + written, piece, &done, nullptr))
            fail(GetLastError());
        if (done == 0)
            fail(ERROR_WRITE_FAULT);
        written += done;
    }
    if (!FlushFileBuffers(file.Get()))
        fail(GetLastError());
    if (!file.Reset())
        fail(GetLastError());
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        fail(GetLastError());
    }
}

void CreateFolderTree(const std::string& folder) {
    const std::wstring wide = Widen(folder);
    for (size_t i = 1; i <= wide.size(); ++i) {
        if (i < wide.size() && wide[i] != L'\\' && wide[i] != L'/')
            continue;
        // Drives, shares and folders that already exist fail here harmlessly; a real
        // problem shows when the file is written.
        CreateDirectoryW(wide.substr(0, i).c_str(), nullptr);
    }
}

void WriteNewFile(const std::string& utf8Path, const std::string& bytes) {
    const std::wstring wide = Widen(utf8Path);
    OwnedFile file(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        ThrowWriteError(GetLastError(), utf8Path);
    size_t written = 0;
    DWORD error = ERROR_SUCCESS;
    while (written < bytes.size() && error == ERROR_SUCCESS) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, kIoChunk));
        DWORD done = 0;
        if (!WriteFile(file.Get(), bytes.data() + written, piece, &done, nullptr))
            error = GetLastError();
        else if (done == 0)
            error = ERROR_WRITE_FAULT;
        written += done;
    }
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file.Get()))
        error = GetLastError();
    if (!file.Reset() && error == ERROR_SUCCESS)
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(wide.c_str());
        ThrowWriteError(error, utf8Path);
    }
}

std::wstring ForFileCalls(const std::string& path) {
    std::wstring wide = Widen(path);
    if (wide.size() < MAX_PATH - 12 || wide.starts_with(L"\\\\?\\"))
        return wide;
    if (wide.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + wide.substr(2);
    return L"\\\\?\\" + wide;
}

}  // namespace corvandel
