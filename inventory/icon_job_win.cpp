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
        for (size_t i = next++; i < count && !job.Stopping(); i = next++)
            work(i, worker);
    };
    std::thread helper(loop, 1);
    loop(0);
    helper.join();
}

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

// Adds an icon's pictures (colour and mask bits with their sizes) to a digest.
void MixIcon(uint64_t& digest, HDC dc, HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        Mix(digest, "-", 1);
        return;
    }
    MixBitmap(digest, dc, info.hbmColor);
    MixBitmap(digest, dc, info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
}

}  // namespace

FileIcon ExtractFileIcon(const std::string& path, bool anyKind) {
    FileIcon icon;
    icon.source = path;
    const CheckedIconFile file(path);
    icon.kind = file.Kind();
    if (!file.Readable())
        return icon;
    const std::string extension = LowerExtension(path);
    if (extension == ".dll") {
        // ExtractIcon answers 1 for a file without icons and 0 for one it cannot read.
        const HICON first = ExtractIconW(GetModuleHandleW(nullptr), Widen(path).c_str(), 0);
        if (reinterpret_cast<UINT_PTR>(first) > 32)
            icon.large = OwnedIcon(first);
    } else if (anyKind || extension == ".exe" || extension == ".ico") {
        HICON large = nullptr;
        HICON small = nullptr;
        if (ExtractIconExW(Widen(path).c_str(), 0, &large, &small, 1) != 0) {
            icon.large = OwnedIcon(large);
            icon.small = OwnedIcon(small);
        }
    }
    if (icon.large || icon.small) {
        if (const HDC dc = CreateCompatibleDC(nullptr)) {
            icon.picture = 0xCBF29CE484222325ull;
            MixIcon(icon.picture, dc, icon.small.Get());
            MixIcon(icon.picture, dc, icon.large.Get());
            DeleteDC(dc);
        }
    }
    return icon;
}

namespace {

void FillTexts(const IconJob::Handlers& handlers, const JobContext& job,
               std::vector<UninstallEntry>& rows) {
    const Win32FileSystem files;
    Win32SpecialFolders folders[2];  // each worker keeps its own answers
    std::atomic<size_t> done{0};
    std::atomic<ULONGLONG> lastReport{GetTickCount64()};
    InParallel(
        rows.size(),
        [&](size_t i, int worker) {
            rows[i].columns[kColIconSource] = IconSource(rows[i], files, folders[worker]);
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
        texts->push_back({row.id, row.columns[kColIconSource], row.columns[kColInstallLocation]});
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
