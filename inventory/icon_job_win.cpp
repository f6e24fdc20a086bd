#include "inventory/icon_job_win.h"

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "foundation/gui_thread_win.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "foundation/text.h"
#include "foundation/win_text.h"
#include "inventory/icon_file_win.h"
#include "inventory/presentation.h"
#include "inventory/scan.h"

namespace corvandel {

namespace {

// Results go to the window at most this often, so that it draws them in few passes.
constexpr ULONGLONG kBatchIntervalMs = 40;

// Runs work(i, worker) for every i below count on this thread (worker 0) and one more
// (worker 1); stops early once the job is asked to stop.
void InParallel(size_t count, const std::function<void(size_t, int)>& work, const JobContext& job) {
    std::atomic<size_t> next{0};
    auto loop = [&](int worker) {
        // The window's thread comes first: a keystroke is answered before the next icon.
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        for (size_t i = next++; i < count && !job.Stopping(); i = next++)
            work(i, worker);
    };
    std::thread helper(loop, 1);
    loop(0);
    helper.join();
}

constexpr uint64_t kDigestStart = 0xCBF29CE484222325ull;  // FNV-1a

void Mix(uint64_t& digest, const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        digest ^= bytes[i];
        digest *= 0x100000001B3ull;  // FNV-1a
    }
}

void MixBitmap(uint64_t& digest, HDC dc, HBITMAP bitmap) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof info, &info) == 0)
        return;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = info.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight);
    if (pixels.empty() ||
        GetDIBits(dc, bitmap, 0, info.bmHeight, pixels.data(), &header, DIB_RGB_COLORS) == 0) {
        return;
    }
    Mix(digest, &info.bmWidth, sizeof info.bmWidth);
    Mix(digest, &info.bmHeight, sizeof info.bmHeight);
    Mix(digest, pixels.data(), pixels.size() * sizeof pixels[0]);
}

// The icon's bitmaps, its own icon destroyed; an empty picture without an icon.
IconPicture TakePicture(HICON icon) {
    IconPicture picture;
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        if (icon != nullptr)
            DestroyIcon(icon);
        return picture;
    }
    DestroyIcon(icon);
    picture.color = OwnedBitmap(info.hbmColor);
    picture.mask = OwnedBitmap(info.hbmMask);
    BITMAP mask{};
    if (picture.mask && GetObjectW(picture.mask.Get(), sizeof mask, &mask) != 0)
        picture.size = {mask.bmWidth, picture.color ? mask.bmHeight : mask.bmHeight / 2};
    else
        picture.mask.Reset();
    return picture;
}

// A picture from its pixels (bottom row first, 0xAARRGGBB); its mask covers what is fully
// transparent.
IconPicture PictureFromPixels(const std::vector<uint32_t>& pixels, int size) {
    IconPicture picture;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    picture.color =
        OwnedBitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!picture.color || bits == nullptr)
        return {};
    std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
    // A monochrome bitmap's rows run top down, each a whole number of 16-bit words.
    const size_t side = static_cast<size_t>(size);
    const size_t row = (side + 15) / 16 * 2;
    std::vector<BYTE> mask(row * side);
    for (size_t y = 0; y < side; ++y) {
        for (size_t x = 0; x < side; ++x) {
            if ((pixels[(side - 1 - y) * side + x] >> 24) == 0)
                mask[y * row + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
        }
    }
    picture.mask = OwnedBitmap(CreateBitmap(size, size, 1, 1, mask.data()));
    if (!picture.mask)
        return {};
    picture.size = {size, size};
    return picture;
}

// The picture of an icon file for one size, made from the file's bytes; empty when neither
// this program nor the system makes one of them (the system's icon reader is asked then).
// Adds the pixels it unpacked itself to the digest and counts them.
IconPicture PictureFromFile(const CheckedIconFile& file, int size, uint64_t& digest,
                            int& unpacked) {
    const auto span = PickIconImage(file, size);
    if (!span)
        return {};
    std::vector<BYTE> bytes(span->length);
    if (bytes.empty() || !file.Read(span->offset, bytes.data(), bytes.size()))
        return {};
    if (const auto pixels = DecodeIconImage(bytes, size)) {
        Mix(digest, pixels->data(), pixels->size() * sizeof(uint32_t));
        ++unpacked;
        return PictureFromPixels(*pixels, size);
    }
    return TakePicture(CreateIconFromResourceEx(bytes.data(), span->length, TRUE, 0x00030000, size,
                                                size, LR_DEFAULTCOLOR));
}

}  // namespace

OwnedIcon IconPicture::ToIcon() const {
    ICONINFO info{TRUE, 0, 0, mask.Get(), color.Get()};
    return OwnedIcon(mask ? CreateIconIndirect(&info) : nullptr);
}

FileIcon ExtractFileIcon(const std::string& path, bool anyKind) {
    FileIcon icon;
    icon.source = path;
    const CheckedIconFile file(path);
    icon.kind = file.Kind();
    if (!file.Readable())
        return icon;
    const std::string extension = LowerExtension(path);
    // Pictures unpacked here are digested as they are unpacked; the system's, from its bits.
    uint64_t digest = kDigestStart;
    int unpacked = 0;
    if (extension == ".dll") {
        // ExtractIcon answers 1 for a file without icons and 0 for one it cannot read.
        const HICON first = ExtractIconW(GetModuleHandleW(nullptr), Widen(path).c_str(), 0);
        if (reinterpret_cast<UINT_PTR>(first) > 32)
            icon.large = TakePicture(first);
    } else if (file.Kind() == IconFileKind::IconFile &&
               (icon.small =
                    PictureFromFile(file, GetSystemMetrics(SM_CXSMICON), digest, unpacked)) &&
               (icon.large =
                    PictureFromFile(file, GetSystemMetrics(SM_CXICON), digest, unpacked))) {
        // An icon file's pictures are made from the bytes already read.
    } else if (anyKind || extension == ".exe" || extension == ".ico") {
        HICON large = nullptr;
        HICON small = nullptr;
        if (ExtractIconExW(Widen(path).c_str(), 0, &large, &small, 1) != 0) {
            icon.large = TakePicture(large);
            icon.small = TakePicture(small);
        }
    }
    if (unpacked == 2 && icon.small && icon.large) {
        icon.picture = digest;
    } else if (icon.large || icon.small) {
        if (const HDC dc = CreateCompatibleDC(nullptr)) {
            icon.picture = kDigestStart;
            for (const IconPicture* picture : {&icon.small, &icon.large}) {
                MixBitmap(icon.picture, dc, picture->color.Get());
                MixBitmap(icon.picture, dc, picture->mask.Get());
                Mix(icon.picture, picture->color ? "+" : "-", 1);
            }
            DeleteDC(dc);
        }
    }
    return icon;
}

namespace {

// The answers of one row's file questions, kept for the next question about the same row: the
// icon source and the uninstaller check ask about the same files.
class RowFiles : public FileSystem {
  public:
    bool FileExists(const std::string& path) const override {
        for (const auto& [asked, exists] : known_) {
            if (asked == path)
                return exists;
        }
        const bool exists = system_.FileExists(path);
        known_.emplace_back(path, exists);
        return exists;
    }
    void Forget() { known_.clear(); }

  private:
    Win32FileSystem system_;
    mutable std::vector<std::pair<std::string, bool>> known_;
};

void FillTexts(const IconJob::Handlers& handlers, const JobContext& job,
               std::vector<UninstallEntry>& rows) {
    RowFiles files[2];
    Win32SpecialFolders folders[2];  // each worker keeps its own answers
    std::atomic<size_t> done{0};
    std::atomic<ULONGLONG> lastReport{GetTickCount64()};
    InParallel(
        rows.size(),
        [&](size_t i, int worker) {
            files[worker].Forget();
            rows[i].columns[kColIconSource] = IconSource(rows[i], files[worker], folders[worker]);
            rows[i].uninstallerMissing =
                handlers.uninstallerMissing &&
                handlers.uninstallerMissing(rows[i].columns[kColUninstallString], files[worker],
                                            folders[worker]);
            const size_t finished = ++done;
            const ULONGLONG now = GetTickCount64();
            ULONGLONG last = lastReport;
            if (now - last >= kBatchIntervalMs && lastReport.compare_exchange_strong(last, now)) {
                // The file count is not known yet: the rows count twice meanwhile.
                const IconProgress progress{finished, rows.size() * 2};
                job.Post([&handlers, progress] { handlers.progress(progress); });
            }
        },
        job);
    if (job.Stopping())
        return;
    Win32RegistryApi registry;
    LoadProductIcons(registry, rows, folders[0].GetSpecialFolder(kCsidlAppData));
    FillEmptyFolders(rows);

    auto texts = std::make_shared<std::vector<IconRowTexts>>();
    texts->reserve(rows.size());
    for (const UninstallEntry& row : rows) {
        texts->push_back({row.id, row.columns[kColIconSource], row.columns[kColInstallLocation],
                          row.uninstallerMissing});
    }
    job.Post([&handlers, texts] { handlers.texts(*texts); });
}

void LoadIcons(const IconJob::Handlers& handlers, const JobContext& job,
               const std::vector<UninstallEntry>& rows) {
    // Each distinct file once, in the order the list shows its first row.
    std::map<std::string, size_t> index;
    std::vector<FileIcon> files;
    for (const UninstallEntry& row : rows) {
        const std::string& source = row.columns[kColIconSource];
        if (source.empty())
            continue;
        const auto [it, added] = index.emplace(source, files.size());
        if (added) {
            files.emplace_back();
            files.back().source = source;
        }
        files[it->second].ids.push_back(row.id);
    }

    std::mutex lock;
    auto batch = std::make_shared<std::vector<FileIcon>>();
    size_t done = 0;
    ULONGLONG lastPost = GetTickCount64();
    const size_t total = rows.size() + files.size();
    auto send = [&] {
        job.Post([&handlers, icons = std::move(batch),
                  progress = IconProgress{rows.size() + done, total}] {
            handlers.icons(*icons);
            handlers.progress(progress);
        });
        batch = std::make_shared<std::vector<FileIcon>>();
        lastPost = GetTickCount64();
    };
    InParallel(
        files.size(),
        [&](size_t i, int) {
            FileIcon icon = ExtractFileIcon(files[i].source, false);
            icon.ids = std::move(files[i].ids);
            const std::lock_guard guard(lock);
            batch->push_back(std::move(icon));
            ++done;
            if (GetTickCount64() - lastPost >= kBatchIntervalMs)
                send();
        },
        job);
    if (!job.Stopping())
        send();
}

}  // namespace

IconJob::IconJob(HWND window, std::vector<UninstallEntry> rows, Handlers handlers)
    : handlers_(std::move(handlers)),
      job_(
          GuiThread::To(window),
          [this, rows = std::move(rows)](JobContext& job) mutable {
              FillTexts(handlers_, job, rows);
              if (!job.Stopping())
                  LoadIcons(handlers_, job, rows);
          },
          [this](bool) {
              // Icons that could not be read keep the placeholder. The handler may let this
              // job go: it runs from a copy.
              const auto finished = handlers_.finished;
              finished();
          }) {}

}  // namespace corvandel
