#pragma once
// An icon file named by an uninstall entry, opened for the system's icon functions: checked by
// the guard (inventory/icon_file_check.h) and held open, refusing writers, renames and
// deletion, until it is dropped, so that what the system reads is what was checked.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/handle_win.h"
#include "inventory/icon_file_check.h"

namespace corvandel {

class CheckedIconFile : public ByteSource {
  public:
    // Opens and checks the file. A network path, a device, a folder, a file on a network
    // drive or one that cannot be opened for reading alone is refused without being read.
    explicit CheckedIconFile(const std::string& path);

    IconFileKind Kind() const { return kind_; }
    // True when the system may read the file for its own icon (a sound icon file or program).
    bool Readable() const {
        return kind_ == IconFileKind::IconFile || kind_ == IconFileKind::Program;
    }

    // The contents of a readable file; a refused one reads as empty.
    uint64_t Size() const override { return file_ ? size_ : 0; }
    bool Read(uint64_t offset, void* out, size_t size) const override;

  private:
    OwnedFile file_;
    uint64_t size_ = 0;
    // The file's first bytes, read at once: the headers the guard and the icon readers
    // want mostly lie there, and each read of the file is a system call.
    std::vector<unsigned char> head_;
    IconFileKind kind_ = IconFileKind::Refused;
};

}  // namespace corvandel
