#include "settings/settings_win.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

#include "about/FileInfoUtils.h"
#include "app/platform_win.h"
#include "app/win_text.h"
#include "settings/settings.h"

namespace corvandel {

namespace {

// The conversion calls count in int; larger text goes through in pieces of this size.
constexpr size_t kConversionChunk = size_t{1} << 24;
constexpr DWORD kIoChunk = DWORD{1} << 20;

class FileHandle {
  public:
    explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(FileHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    // Closing can be where a network or full disk finally reports a failed write.
    bool Close() {
        if (!Valid())
            return true;
        return CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != FALSE;
    }

  private:
    HANDLE handle_;
};

std::string SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length != 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
    if (buffer != nullptr)
        LocalFree(buffer);
    // System messages end in CR LF, which would show as an empty line in a message box.
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    if (text.empty())
        return "System error " + std::to_string(code);
    return Narrow(text);
}

[[noreturn]] void ThrowWriteError(DWORD code, const std::string& path) {
    throw SettingsWriteError(SystemMessage(code), code, path);
}

}  // namespace

std::string Win32AnsiCodePage::ToUtf8(std::string_view ansi) const {
    std::wstring wide;
    while (!ansi.empty()) {
        size_t take = ansi.size();
        if (take > kConversionChunk) {
            // A byte below 0x40 is never part of a double-byte character, so the cut after it
            // splits no character; in the UTF-8 code page it is ASCII.
            take = kConversionChunk;
            while (take > 0 && static_cast<unsigned char>(ansi[take - 1]) >= 0x40)
                --take;
            if (take == 0)
                take = kConversionChunk;
        }
        const int size = static_cast<int>(take);
        const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
        const size_t start = wide.size();
        wide.resize(start + static_cast<size_t>(units));
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data() + start, units);
        ansi.remove_prefix(take);
    }
    return Narrow(wide);
}

std::string Win32AnsiCodePage::FromUtf8(std::string_view utf8) const {
    const std::wstring wide = Widen(utf8);
    std::wstring_view rest(wide);
    std::string ansi;
    while (!rest.empty()) {
        size_t take = rest.size();
        if (take > kConversionChunk) {
            take = kConversionChunk;
            if (rest[take - 1] >= 0xD800 && rest[take - 1] <= 0xDBFF)
                --take;  // keep a surrogate pair together
        }
        const int size = static_cast<int>(take);
        // No flags: characters the code page lacks get the system's best fit, else '?'.
        const int bytes =
            WideCharToMultiByte(CP_ACP, 0, rest.data(), size, nullptr, 0, nullptr, nullptr);
        const size_t start = ansi.size();
        ansi.resize(start + static_cast<size_t>(bytes));
        WideCharToMultiByte(CP_ACP, 0, rest.data(), size, ansi.data() + start, bytes, nullptr,
                            nullptr);
        rest.remove_prefix(take);
    }
    return ansi;
}

std::optional<std::string> ReadWholeFile(const std::string& utf8Path) {
    // Sharing everything lets the file be read while an editor or another copy holds it open.
    FileHandle file(CreateFileW(Widen(utf8Path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_INVALID_DRIVE) {
            return std::nullopt;
        }
        throw SettingsReadError(SystemMessage(error), error, utf8Path);
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
            throw SettingsReadError(SystemMessage(error), error, utf8Path);
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
        FileHandle existing(CreateFileW(target.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!existing.Valid()) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND)
                ThrowWriteError(error, utf8Path);
        }
    }
    std::wstring temporary;
    FileHandle file;
    // The temporary file sits beside the target so that the final move stays on one volume
    // and is a rename, which never leaves a half-written target.
    for (int attempt = 0; !file.Valid(); ++attempt) {
        temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(sequence++) + L".tmp";
        file = FileHandle(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) {
            const DWORD error = GetLastError();
            if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt >= 16)
                ThrowWriteError(error, utf8Path);
        }
    }

    auto fail = [&](DWORD error) {
        file.Close();
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
    if (!file.Close())
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

std::string PortablePath(bool portable) {
    const std::string path =
        SettingsFilePath(portable, ExecutableFolder(), GetSpecialFolder(kCsidlAppData),
                         GetCompanyName(ExecutablePath()));
    CreateFolderTree(path.substr(0, path.find_last_of('\\')));
    return path;
}

const AnsiCodePage& SystemAnsiCodePage() {
    static const Win32AnsiCodePage codePage;
    return codePage;
}

const Locale& SystemLocale() {
    static const Win32Locale locale;
    return locale;
}

IniDocument LoadSettingsDocument(const std::string& path) {
    return IniDocument::Parse(ReadWholeFile(path).value_or(std::string()), SystemAnsiCodePage(),
                              SystemLocale());
}

void SaveSettingsDocument(const IniDocument& document, const std::string& path) {
    WriteWholeFile(path, document.Serialize());
}

}  // namespace corvandel
