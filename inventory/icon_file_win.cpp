#include "inventory/icon_file_win.h"

#include <algorithm>
#include <cctype>

#include "foundation/win_text.h"

namespace corvandel {

namespace {

// How much of a file is read at once when it is opened: an icon file of the usual sizes
// whole, and a program's headers and, often, its resource directory.
constexpr size_t kHeadBytes = 64 * 1024;

bool ReadAt(HANDLE file, uint64_t offset, void* out, size_t size) {
    auto* bytes = static_cast<unsigned char*>(out);
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 20));
        DWORD got = 0;
        if (!ReadFile(file, bytes, want, &got, &at) || got == 0)
            return false;
        bytes += got;
        offset += got;
        size -= got;
    }
    return true;
}

// A drive letter's files may live on another machine: such a file is not read at all.
bool OnNetworkDrive(const std::string& path) {
    std::string root;
    if (path.size() >= 2 && path[1] == ':')
        root = path.substr(0, 2) + "\\";
    else if (path.size() >= 7 && path.compare(0, 4, "\\\\?\\") == 0 && path[5] == ':')
        root = path.substr(4, 2) + "\\";
    if (root.empty() || !std::isalpha(static_cast<unsigned char>(root[0])))
        return false;
    return GetDriveTypeW(Widen(root).c_str()) == DRIVE_REMOTE;
}

}  // namespace

CheckedIconFile::CheckedIconFile(const std::string& path) {
    if (!IsLocalFileName(path) || OnNetworkDrive(path))
        return;
    // Read sharing only: while this handle is open nobody can change, rename or delete the
    // file. Without backup semantics a folder does not open.
    file_ = OwnedFile(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file_ || GetFileType(file_.Get()) != FILE_TYPE_DISK ||
        !GetFileSizeEx(file_.Get(), &size)) {
        file_.Reset();
        return;
    }
    size_ = static_cast<uint64_t>(size.QuadPart);
    head_.resize(static_cast<size_t>(std::min<uint64_t>(size_, kHeadBytes)));
    if (!ReadAt(file_.Get(), 0, head_.data(), head_.size())) {
        file_.Reset();
        return;
    }
    kind_ = CheckIconFile(path, *this);
    if (!Readable())
        file_.Reset();
}

bool CheckedIconFile::Read(uint64_t offset, void* out, size_t size) const {
    if (!file_ || offset > size_ || size > size_ - offset)
        return false;
    if (offset + size <= head_.size()) {
        std::copy_n(head_.data() + offset, size, static_cast<unsigned char*>(out));
        return true;
    }
    return ReadAt(file_.Get(), offset, out, size);
}

}  // namespace corvandel
