// Stands in for an uninstaller, and for msiexec.exe, in the end-to-end tests of the uninstall
// queue. Each test entry chooses what it does through switches anywhere on its command line
// (names are case-insensitive; a value runs to the next space unless it is in double quotes):
//   /log=PATH      the log to append to (C:\queue-log.txt when not given)
//   /wait=MS       sleeps that long before deleting and ending
//   /linger=MS     sleeps that long after deleting, before ending (what an uninstaller leaves
//                  running once its work is done)
//   /delete=KEY    deletes the key tree, for example HKLM\SOFTWARE\...\Uninstall\Name or
//                  /delete="HKCU\...\My App" (HKLM, HKCU, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
//                  may be given more than once
//   /view=32|64    the registry view /delete works in (64 when not given)
//   /exit=N        the exit code (0 when not given)
//   /copy          copies this program to %TEMP%\queue_fake_<pid>.exe, starts the copy with the
//                  same command line with /copy turned into /child, and ends at once with 0;
//                  the copy waits, deletes and ends with the chosen code
//   /X{GUID}       as msiexec.exe (also "/x{GUID}" or "/X {GUID}"): deletes the key
//                  HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{GUID} in the
//                  64-bit and in the 32-bit view, whichever exist; /keep leaves them alone
// Every other switch (/S, /qn, /I{GUID}, ...) only shows in the logged command line. The log
// gets one UTF-8 line per event, <ms> being wall-clock milliseconds since 1601 (comparable
// between processes):
//   start <ms> <pid> <command line>
//   copy <ms> <pid> <pid of the copy> <path of the copy>
//   delete <ms> <pid> deleted|absent|failed:<error> 32|64 <key>
//   error <ms> <pid> <what went wrong>
//   end <ms> <pid> <exit code>
// A switch with a value that cannot be used ends the program with 87 before it does anything;
// a key that exists but cannot be deleted makes the exit code 1603 whatever /exit says.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kBadCommandLine = ERROR_INVALID_PARAMETER;  // 87
constexpr DWORD kDeletionFailed = ERROR_INSTALL_FAILURE;    // 1603
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring g_logPath = L"C:\\queue-log.txt";

uint64_t NowMs() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return ((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// Appends "<event> <ms> <pid> <detail>" as one line. Wine carries out an append as a write at
// the size the file had a moment before, so two copies appending at once can write over each
// other's line: a mutex that every copy shares makes the appends take turns. Another program
// may hold the file for a moment: the open is retried.
void Log(const char* event, const std::wstring& detail) {
    std::wstring line = std::wstring(event, event + lstrlenA(event)) + L" " +
                        std::to_wstring(NowMs()) + L" " + std::to_wstring(GetCurrentProcessId());
    if (!detail.empty())
        line += L" " + detail;
    // One event is one line, whatever the command line holds.
    for (wchar_t& c : line) {
        if (c == L'\r' || c == L'\n')
            c = L' ';
    }
    const std::string text = Utf8(line) + "\n";
    const HANDLE turn = CreateMutexW(nullptr, FALSE, L"Local\\corvandel_queue_fake_log");
    bool owned = false;
    if (turn != nullptr) {
        // A copy ended while it held the mutex leaves it abandoned, which still hands it over.
        const DWORD wait = WaitForSingleObject(turn, 5000);
        owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 50; ++attempt) {
        file = CreateFileW(g_logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            break;
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION &&
            error != ERROR_ACCESS_DENIED)
            break;
        Sleep(20);
    }
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    if (owned)
        ReleaseMutex(turn);
    if (turn != nullptr)
        CloseHandle(turn);
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

// One word of the command line: its text with the double quotes taken out, and where it stands
// in the command line as written.
struct Word {
    std::wstring text;
    size_t begin = 0;
    size_t end = 0;
};

// Words are separated by spaces and tabs outside double quotes; a double quote only switches
// quoting on or off (backslashes are plain characters, as in the paths the tests pass).
std::vector<Word> SplitWords(const std::wstring& line) {
    std::vector<Word> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == L' ' || line[at] == L'\t'))
            ++at;
        if (at == line.size())
            break;
        Word word;
        word.begin = at;
        bool quoted = false;
        for (; at < line.size(); ++at) {
            const wchar_t c = line[at];
            if (c == L'"') {
                quoted = !quoted;
                continue;
            }
            if (!quoted && (c == L' ' || c == L'\t'))
                break;
            word.text += c;
        }
        word.end = at;
        words.push_back(std::move(word));
    }
    return words;
}

std::optional<DWORD> ParseNumber(const std::wstring& text) {
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - L'0');
    }
    if (value > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<DWORD>(value);
}

bool IsHex(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: only such a code is ever joined to a key path.
bool IsProductCode(const std::wstring& text) {
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}')
        return false;
    for (size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != L'-' : !IsHex(text[i]))
            return false;
    }
    return true;
}

struct KeyToDelete {
    HKEY root = nullptr;
    std::wstring path;     // below the root
    std::wstring display;  // as the log shows it
};

std::optional<KeyToDelete> ParseKey(const std::wstring& text) {
    const size_t slash = text.find(L'\\');
    if (slash == std::wstring::npos)
        return std::nullopt;
    const std::wstring rootName = Lower(text.substr(0, slash));
    KeyToDelete key;
    if (rootName == L"hklm" || rootName == L"hkey_local_machine")
        key.root = HKEY_LOCAL_MACHINE;
    else if (rootName == L"hkcu" || rootName == L"hkey_current_user")
        key.root = HKEY_CURRENT_USER;
    else
        return std::nullopt;
    key.path = text.substr(slash + 1);
    while (!key.path.empty() && key.path.back() == L'\\')
        key.path.pop_back();
    // A root itself is never deleted, nor a path the registry would read differently.
    if (key.path.empty() || key.path.front() == L'\\' ||
        key.path.find(L"\\\\") != std::wstring::npos)
        return std::nullopt;
    key.display = text.substr(0, slash + 1) + key.path;
    return key;
}

struct Options {
    std::optional<DWORD> waitMs;
    std::optional<DWORD> lingerMs;
    std::vector<KeyToDelete> deletions;
    REGSAM view = KEY_WOW64_64KEY;
    DWORD exitCode = 0;
    bool copy = false;
    bool child = false;
    bool keep = false;
    std::vector<std::wstring> productCodes;  // from /X
    std::vector<size_t> copyWords;           // the /copy words, to turn into /child
    std::wstring error;                      // the first unusable switch
};

Options ParseOptions(const std::vector<Word>& words) {
    Options options;
    auto fail = [&options](const std::wstring& what) {
        if (options.error.empty())
            options.error = what;
    };
    // The first word names the program.
    for (size_t i = 1; i < words.size(); ++i) {
        const std::wstring& text = words[i].text;
        if (text.size() < 2 || text[0] != L'/')
            continue;
        const size_t equals = text.find(L'=');
        const std::wstring name =
            Lower(text.substr(1, equals == std::wstring::npos ? std::wstring::npos : equals - 1));
        const std::wstring value =
            equals == std::wstring::npos ? std::wstring() : text.substr(equals + 1);
        const bool hasValue = equals != std::wstring::npos;
        if (hasValue && name == L"log") {
            if (value.empty())
                fail(L"empty /log");
            else
                g_logPath = value;
        } else if (hasValue && name == L"wait") {
            options.waitMs = ParseNumber(value);
            if (!options.waitMs || *options.waitMs == INFINITE)
                fail(L"bad /wait value: " + value);
        } else if (hasValue && name == L"linger") {
            options.lingerMs = ParseNumber(value);
            if (!options.lingerMs || *options.lingerMs == INFINITE)
                fail(L"bad /linger value: " + value);
        } else if (hasValue && name == L"exit") {
            const std::optional<DWORD> code = ParseNumber(value);
            if (code)
                options.exitCode = *code;
            else
                fail(L"bad /exit value: " + value);
        } else if (hasValue && name == L"view") {
            if (value == L"32")
                options.view = KEY_WOW64_32KEY;
            else if (value == L"64")
                options.view = KEY_WOW64_64KEY;
            else
                fail(L"bad /view value: " + value);
        } else if (hasValue && name == L"delete") {
            const std::optional<KeyToDelete> key = ParseKey(value);
            if (key)
                options.deletions.push_back(*key);
            else
                fail(L"bad /delete key: " + value);
        } else if (!hasValue && name == L"copy") {
            options.copy = true;
            options.copyWords.push_back(i);
        } else if (!hasValue && name == L"child") {
            options.child = true;
        } else if (!hasValue && name == L"keep") {
            options.keep = true;
        } else if (!hasValue && (name == L"x" || name.starts_with(L"x{"))) {
            // msiexec takes the product code right after /X or as the next word.
            if (name.size() > 1) {
                const std::wstring code = text.substr(2);
                if (IsProductCode(code))
                    options.productCodes.push_back(code);
                else
                    fail(L"bad product code: " + code);
            } else if (i + 1 < words.size() && IsProductCode(words[i + 1].text)) {
                options.productCodes.push_back(words[++i].text);
            } else {
                fail(L"/X without a product code");
            }
        }
    }
    return options;
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Copies this program to the temporary folder and starts the copy with /child in place of
// /copy; the copy is left in the temporary folder, as it is still running when this ends.
DWORD StartCopy(const std::wstring& commandLine, const std::vector<Word>& words,
                const Options& options) {
    const std::wstring self = ProgramPath();
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
    if (self.empty() || tempLength == 0 || tempLength > MAX_PATH) {
        const DWORD error = GetLastError();
        Log("error", L"no program path or temporary folder: " + std::to_wstring(error));
        return error != 0 ? error : 1;
    }
    const std::wstring copyPath =
        std::wstring(temp) + L"queue_fake_" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    if (!CopyFileW(self.c_str(), copyPath.c_str(), FALSE)) {
        const DWORD error = GetLastError();
        Log("error", L"copy to " + copyPath + L" failed: " + std::to_wstring(error));
        return error != 0 ? error : 1;
    }
    std::wstring childLine = commandLine;
    for (auto index = options.copyWords.rbegin(); index != options.copyWords.rend(); ++index) {
        const Word& word = words[*index];
        childLine.replace(word.begin, word.end - word.begin, L"/child");
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // Started suspended so that the log shows the copy's process before anything the copy
    // writes.
    if (!CreateProcessW(copyPath.c_str(), childLine.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        Log("error", L"start of " + copyPath + L" failed: " + std::to_wstring(error));
        return error != 0 ? error : 1;
    }
    Log("copy", std::to_wstring(process.dwProcessId) + L" " + copyPath);
    if (ResumeThread(process.hThread) == static_cast<DWORD>(-1)) {
        const DWORD error = GetLastError();
        Log("error", L"resume of " + copyPath + L" failed: " + std::to_wstring(error));
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return error != 0 ? error : 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

enum class Deletion { Deleted, Absent, Failed };

// Deletes the key with everything below it in the given view, and logs what happened.
Deletion DeleteKey(const KeyToDelete& key, REGSAM view) {
    HKEY handle = nullptr;
    LSTATUS status =
        RegOpenKeyExW(key.root, key.path.c_str(), 0, DELETE | KEY_ALL_ACCESS | view, &handle);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteTreeW(handle, nullptr);
        RegCloseKey(handle);
        if (status == ERROR_SUCCESS)
            status = RegDeleteKeyExW(key.root, key.path.c_str(), view, 0);
    }
    const Deletion result = status == ERROR_SUCCESS          ? Deletion::Deleted
                            : status == ERROR_FILE_NOT_FOUND ? Deletion::Absent
                                                             : Deletion::Failed;
    const std::wstring outcome = result == Deletion::Deleted ? L"deleted"
                                 : result == Deletion::Absent
                                     ? L"absent"
                                     : L"failed:" + std::to_wstring(status);
    Log("delete", outcome + (view == KEY_WOW64_32KEY ? L" 32 " : L" 64 ") + key.display);
    return result;
}

// What the uninstaller itself does: waits, deletes the keys, and gives the exit code.
DWORD Uninstall(const Options& options) {
    if (options.waitMs)
        Sleep(*options.waitMs);
    bool failed = false;
    for (const KeyToDelete& key : options.deletions)
        failed |= DeleteKey(key, options.view) == Deletion::Failed;
    if (!options.keep) {
        for (const std::wstring& code : options.productCodes) {
            const KeyToDelete key{HKEY_LOCAL_MACHINE, kUninstallKey + code,
                                  L"HKLM\\" + (kUninstallKey + code)};
            failed |= DeleteKey(key, KEY_WOW64_64KEY) == Deletion::Failed;
            failed |= DeleteKey(key, KEY_WOW64_32KEY) == Deletion::Failed;
        }
    }
    if (options.lingerMs)
        Sleep(*options.lingerMs);
    return failed ? kDeletionFailed : options.exitCode;
}

DWORD Run(const std::wstring& commandLine) {
    const std::vector<Word> words = SplitWords(commandLine);
    const Options options = ParseOptions(words);
    Log("start", commandLine);
    if (!options.error.empty()) {
        Log("error", options.error);
        return kBadCommandLine;
    }
    if (options.copy && !options.child)
        return StartCopy(commandLine, words, options);
    return Uninstall(options);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const DWORD exitCode = Run(GetCommandLineW());
    Log("end", std::to_wstring(exitCode));
    return static_cast<int>(exitCode);
}
