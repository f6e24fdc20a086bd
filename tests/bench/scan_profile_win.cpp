// Where a scan's time goes, on the machine's own registry and files: corvandel_profile.exe
// Counts the registry and file-system calls of the registry pass per listed entry, times each
// phase of building the list, and times the ways an icon can be had for the distinct icon
// files the pass found. Prints one Markdown table.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "foundation/win_text.h"
#include "inventory/icon_file_win.h"
#include "inventory/icon_job_win.h"
#include "inventory/presentation.h"
#include "inventory/scan.h"
#include "inventory/sorting.h"

using namespace corvandel;

namespace {

double Seconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Tally {
    long calls = 0;
    double seconds = 0;
};

// Times the call it wraps and adds it to a tally.
class Timed {
  public:
    explicit Timed(Tally& tally) : tally_(tally), start_(Seconds()) {}
    ~Timed() {
        ++tally_.calls;
        tally_.seconds += Seconds() - start_;
    }

  private:
    Tally& tally_;
    double start_;
};

class CountingRegistry : public RegistryApi {
  public:
    Tally open, close, info, enumKey, enumValue, query;

    std::optional<RegHandle> Open(RegHandle base, const std::string& path, uint32_t access,
                                  bool create) override {
        Timed timed(open);
        return real_.Open(base, path, access, create);
    }
    void Close(RegHandle key) override {
        Timed timed(close);
        real_.Close(key);
    }
    std::optional<RegKeyInfo> QueryInfo(RegHandle key) override {
        Timed timed(info);
        return real_.QueryInfo(key);
    }
    std::optional<std::string> EnumKey(RegHandle key, uint32_t index) override {
        Timed timed(enumKey);
        return real_.EnumKey(key, index);
    }
    std::optional<std::string> EnumValue(RegHandle key, uint32_t index) override {
        Timed timed(enumValue);
        return real_.EnumValue(key, index);
    }
    std::optional<std::pair<std::string, RegValue>> EnumValueWithData(RegHandle key,
                                                                      uint32_t index) override {
        Timed timed(enumValue);
        return real_.EnumValueWithData(key, index);
    }
    std::optional<RegValue> QueryValue(RegHandle key, const std::string& name,
                                       bool withData) override {
        Timed timed(query);
        return real_.QueryValue(key, name, withData);
    }
    bool SetValue(RegHandle, const std::string&, uint32_t,
                  const std::vector<unsigned char>&) override {
        return false;  // the profile only reads
    }
    bool DeleteValue(RegHandle, const std::string&) override { return false; }
    bool DeleteKey(RegHandle, const std::string&, uint32_t) override { return false; }
    uint32_t LastError() const override { return real_.LastError(); }

  private:
    Win32RegistryApi real_;
};

class CountingFiles : public FileSystem {
  public:
    mutable Tally exists;
    bool FileExists(const std::string& path) const override {
        Timed timed(exists);
        return real_.FileExists(path);
    }

  private:
    Win32FileSystem real_;
};

class Collect : public ScanSink {
  public:
    std::vector<UninstallEntry> rows;
    void EntryStarted(const std::string&) override {}
    void EntryRead(UninstallEntry entry) override { rows.push_back(std::move(entry)); }
};

void Row(const char* what, double seconds, const std::string& note = std::string()) {
    std::printf("| %s | %.3f | %s |\n", what, seconds, note.c_str());
}

std::string PerEntry(const Tally& tally, size_t entries) {
    char text[128];
    std::snprintf(text, sizeof text, "%ld calls, %.2f a listed entry, %.1f us a call", tally.calls,
                  entries ? static_cast<double>(tally.calls) / static_cast<double>(entries) : 0.0,
                  tally.calls ? tally.seconds * 1e6 / static_cast<double>(tally.calls) : 0.0);
    return text;
}

}  // namespace

int wmain() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CountingRegistry registry;
    CountingFiles files;
    Win32SpecialFolders folders;
    Win32Locale locale;
    std::printf("| phase | seconds | calls |\n|---|---|---|\n");

    Collect sink;
    double start = Seconds();
    BOOL wow64 = FALSE;
    const bool shared =
        sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    ScanEntries(ScanEnvironment{registry, files, folders, locale, shared}, sink);
    const double pass = Seconds() - start;
    const size_t listed = sink.rows.size();
    Row("registry pass (all)", pass, std::to_string(listed) + " entries listed");
    Row("- RegOpenKeyEx", registry.open.seconds, PerEntry(registry.open, listed));
    Row("- RegQueryValueEx", registry.query.seconds, PerEntry(registry.query, listed));
    Row("- RegQueryInfoKey", registry.info.seconds, PerEntry(registry.info, listed));
    Row("- RegEnumValue", registry.enumValue.seconds, PerEntry(registry.enumValue, listed));
    Row("- RegEnumKeyEx", registry.enumKey.seconds, PerEntry(registry.enumKey, listed));
    Row("- RegCloseKey", registry.close.seconds, PerEntry(registry.close, listed));

    {
        // The same pass shared by two threads, each with a registry of its own.
        Collect halves[2];
        start = Seconds();
        std::thread other([&] {
            Win32RegistryApi api;
            ScanEnvironment env{api, files, folders, locale, shared, 1, 2};
            ScanEntries(env, halves[1]);
        });
        Win32RegistryApi api;
        ScanEntries(ScanEnvironment{api, files, folders, locale, shared, 0, 2}, halves[0]);
        other.join();
        Row("registry pass on two threads", Seconds() - start,
            std::to_string(halves[0].rows.size() + halves[1].rows.size()) + " entries listed");
    }

    std::vector<UninstallEntry> rows = sink.rows;
    start = Seconds();
    SortByName(rows, 1, locale);
    Row("sort by name", Seconds() - start);
    start = Seconds();
    RemoveDuplicates(rows);
    Row("duplicates", Seconds() - start);

    start = Seconds();
    for (UninstallEntry& row : rows)
        row.columns[kColIconSource] = IconSource(row, files, folders);
    Row("icon sources (one thread)", Seconds() - start);
    Row("- GetFileAttributes", files.exists.seconds, PerEntry(files.exists, rows.size()));
    start = Seconds();
    LoadProductIcons(registry, rows, folders.GetSpecialFolder(kCsidlAppData));
    FillEmptyFolders(rows);
    Row("installer products and folders", Seconds() - start);

    std::set<std::string> sources;
    for (const UninstallEntry& row : rows) {
        if (!row.columns[kColIconSource].empty())
            sources.insert(row.columns[kColIconSource]);
    }
    const std::string count = std::to_string(sources.size()) + " distinct icon files";
    Tally shell, generic, extract, extractSmall;
    for (const std::string& source : sources) {
        SHFILEINFOW info{};
        {
            Timed timed(shell);
            SHGetFileInfoW(Widen(source).c_str(), 0, &info, sizeof info,
                           SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
        }
        if (info.iIcon == 0)
            ++generic.calls;
    }
    Row("shell icon index", shell.seconds,
        count + ", " + std::to_string(generic.calls) + " answered with the generic icon");
    Tally own;
    for (const std::string& source : sources) {
        Timed timed(own);
        (void)ExtractFileIcon(source, false);
    }
    Row("own icons in both sizes (one thread)", own.seconds, count);
    Tally checked, extracted;
    std::vector<HICON> made;
    for (const std::string& source : sources) {
        {
            Timed timed(checked);
            const CheckedIconFile file(source);
        }
        Timed timed(extracted);
        HICON large = nullptr, small = nullptr;
        if (ExtractIconExW(Widen(source).c_str(), 0, &large, &small, 1) != 0) {
            made.push_back(large);
            made.push_back(small);
        }
    }
    Row("- opening and checking the file", checked.seconds, count);
    Row("- ExtractIconEx alone", extracted.seconds, count);
    // What the window pays per icon file: an icon the image list converts, or bitmaps it
    // copies (made off the window's thread).
    const HIMAGELIST list =
        ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                         ILC_COLOR32 | ILC_MASK, 0, 4096);
    Tally added, infoTaken, bitmapsAdded;
    for (size_t i = 0; i + 1 < made.size(); i += 2) {
        const HICON small = made[i + 1] ? made[i + 1] : made[i];
        {
            Timed timed(added);
            ImageList_AddIcon(list, small);
        }
        ICONINFO info{};
        {
            Timed timed(infoTaken);
            GetIconInfo(small, &info);
        }
        {
            Timed timed(bitmapsAdded);
            ImageList_Add(list, info.hbmColor, info.hbmMask);
        }
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    ImageList_Destroy(list);
    Row("ImageList_AddIcon", added.seconds, PerEntry(added, added.calls));
    Row("GetIconInfo", infoTaken.seconds, PerEntry(infoTaken, infoTaken.calls));
    Row("ImageList_Add of its bitmaps", bitmapsAdded.seconds,
        PerEntry(bitmapsAdded, bitmapsAdded.calls));
    for (HICON icon : made) {
        if (icon)
            DestroyIcon(icon);
    }
    return 0;
}
