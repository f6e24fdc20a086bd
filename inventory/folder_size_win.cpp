#include "inventory/folder_size_win.h"

#include <windows.h>

#include "foundation/handle_win.h"
#include "foundation/win_text.h"

namespace corvandel {

namespace {

bool Walk(const std::wstring& folder, const std::function<bool()>& keepGoing, int64_t& total) {
    WIN32_FIND_DATAW found{};
    const OwnedFind search(FindFirstFileExW((folder + L"*.*").c_str(), FindExInfoBasic, &found,
                                            FindExSearchNameMatch, nullptr, 0));
    if (!search)
        return true;
    bool going = true;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const bool directory = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        const bool link = found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        if (directory) {
            if (!link)
                going = Walk(folder + name + L"\\", keepGoing, total);
        } else {
            total += (static_cast<int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        }
        if (going)
            going = keepGoing();
    } while (going && FindNextFileW(search.Get(), &found));
    return going;
}

}  // namespace

std::optional<int64_t> GetFolderSize(const std::string& folder,
                                     const std::function<bool()>& keepGoing) {
    std::wstring start = Widen(folder);
    if (start.empty() || start.back() != L'\\')
        start += L'\\';
    int64_t total = 0;
    if (!Walk(start, keepGoing, total))
        return std::nullopt;
    return total;
}

}  // namespace corvandel
