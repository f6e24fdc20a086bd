#pragma once
// The icons of the program list, worked out off the window's thread once the list is shown:
// each row's icon source (the files its entry names) and whether its uninstaller is still
// there, the installer products' own icons and
// the folders of entries that name none; then the icon of each distinct icon file, once.
// Results reach the window in batches, on its own thread, as they come.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/handle_win.h"
#include "foundation/job.h"
#include "foundation/platform.h"
#include "inventory/icon_file_check.h"
#include "inventory/uninstall_entry.h"

namespace corvandel {

// The texts the job fills in for a row.
struct IconRowTexts {
    uint32_t id = 0;
    std::string iconSource;
    std::string installLocation;
    bool uninstallerMissing = false;
};

// One picture of an icon as the bitmaps an image list takes: colour and mask. Made off the
// window's thread, so that the window only copies bits. An icon without colour (black and
// white) has its mask alone, twice as high.
struct IconPicture {
    OwnedBitmap color;
    OwnedBitmap mask;
    SIZE size{};  // of the picture, not of the doubled mask

    explicit operator bool() const { return static_cast<bool>(mask); }
    // The picture as an icon again, for a list of another size or a colourless picture.
    OwnedIcon ToIcon() const;
};

// The icon of one icon file, in both system sizes. Without an icon of its own the file's
// icon is the shell's, asked on the window's thread.
struct FileIcon {
    std::string source;
    std::vector<uint32_t> ids;  // the rows that show it
    IconPicture small;
    IconPicture large;
    // A digest of both pictures: files with the same icon share one list slot. 0 when it
    // could not be taken.
    uint64_t picture = 0;
    // What the guard made of the file: a refused file gets the default program icon, and no
    // system function reads it.
    IconFileKind kind = IconFileKind::Refused;
};

// Where in the work the job is, for the status bar: done of total, both growing as the
// job learns how many files there are.
struct IconProgress {
    size_t done = 0;
    size_t total = 0;
};

class IconJob {
  public:
    struct Handlers {
        // Whether an uninstall command's program file is gone; asked off the window's thread
        // with that thread's file and folder answers.
        std::function<bool(const std::string& command, const FileSystem& files,
                           const SpecialFolders& folders)>
            uninstallerMissing;
        std::function<void(std::vector<IconRowTexts>&)> texts;
        std::function<void(std::vector<FileIcon>&)> icons;
        std::function<void(IconProgress)> progress;
        std::function<void()> finished;
    };

    // Starts on a copy of the rows; the handlers are called on window's thread, never after
    // the job is gone. Letting it go stops the work and waits for the file calls under way.
    IconJob(HWND window, std::vector<UninstallEntry> rows, Handlers handlers);
    IconJob(const IconJob&) = delete;
    IconJob& operator=(const IconJob&) = delete;

  private:
    Handlers handlers_;
    Job job_;  // last: stopped and joined before the handlers go
};

// The icon a program file, library or icon file carries itself, in both sizes; empty icons
// when it has none or the guard refuses the file. A library gives its first icon in the large
// size for both. With anyKind files of other names are asked too (the shell may know no icon
// of theirs), as long as their contents are a program or an icon file.
FileIcon ExtractFileIcon(const std::string& path, bool anyKind);

}  // namespace corvandel
