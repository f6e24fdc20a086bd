#include "inventory/scan.h"

#include <algorithm>

#include "foundation/text.h"
#include "inventory/command_parse.h"
#include "inventory/install_date.h"

namespace corvandel {

namespace {

// "SystemComponent" is stored by some installers as text and by most as a number.
std::string SystemComponentText(Registry& key) {
    return key.ReadNumberOrText("SystemComponent").value_or(std::string());
}

std::string IsMinorUpgradeText(Registry& key) {
    const auto value = key.ReadOptionalInteger("IsMinorUpgrade");
    return value ? std::to_string(*value) : std::string();
}

// How many value names FilterEntry and ReadEntry ask for.
constexpr uint32_t kNamesReadPerEntry = 11;

}  // namespace

std::optional<ListedEntry> FilterEntry(Registry& key) {
    if (SystemComponentText(key) == "1" || IsMinorUpgradeText(key) == "1")
        return std::nullopt;
    // A missing value reads as empty text, so one test covers "missing" and "empty".
    ListedEntry listed{key.ReadString("DisplayName"), key.ReadString("UninstallString")};
    if (listed.displayName.empty() || listed.uninstallString.empty())
        return std::nullopt;
    if (!key.ReadString("ReleaseType").empty())
        return std::nullopt;
    if (!key.ReadString("ParentDisplayName").empty())
        return std::nullopt;
    return listed;
}

std::string FirstExistingFile(const std::vector<std::string>& candidates, const FileSystem& files) {
    // The candidates often repeat one another, in other case too: file names do not depend on
    // case, so each file is asked about once, and by an earlier spelling of it where there is
    // one (a lower-cased name costs some systems a search of every folder on its way).
    std::vector<std::string> lowered;
    lowered.reserve(candidates.size());
    for (const std::string& candidate : candidates)
        lowered.push_back(AsciiLower(candidate));
    for (size_t i = 0; i < candidates.size(); ++i) {
        const std::string& candidate = candidates[i];
        const auto earlier = lowered.begin() + static_cast<std::ptrdiff_t>(i);
        if (candidate.empty() || std::find(lowered.begin(), earlier, lowered[i]) != earlier)
            continue;
        std::string probe = candidate;
        for (size_t j = 0; j < i; ++j) {
            const size_t at = lowered[j].find(lowered[i]);
            if (at != std::string::npos) {
                probe = candidates[j].substr(at, candidate.size());
                break;
            }
        }
        if (files.FileExists(probe))
            return candidate;
    }
    return std::string();
}

UninstallEntry ReadEntry(Registry& key, const ListedEntry& listed, const UninstallSource& source,
                         const std::string& subKey, const Locale& locale) {
    UninstallEntry entry;
    entry.caption = listed.displayName;
    auto& c = entry.columns;
    c[kColPublisher] = key.ReadString("Publisher");
    c[kColVersion] = key.ReadString("DisplayVersion");
    const auto info = key.GetKeyInfo();
    entry.writeTime = info ? info->lastWriteTime : 0;
    c[kColInstallDate] = InstallDateText(entry.writeTime, locale);
    c[kColInstallLocation] = key.ReadString("InstallLocation");
    c[kColUninstallString] = listed.uninstallString;
    c[kColRootName] =
        source.root == RegRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    c[kColKeyPath] = std::string(source.path) + "\\" + subKey;
    c[kColUrlInfoAbout] = key.ReadString("URLInfoAbout");
    entry.displayIcon = key.ReadOptionalString("DisplayIcon");
    return entry;
}

std::string IconSource(const UninstallEntry& row, const FileSystem& files,
                       const SpecialFolders& folders) {
    const std::string& uninstallRaw = row.columns[kColUninstallString];
    const std::string uninstallFile = RunPath(uninstallRaw, files, folders);
    const std::string iconRaw = row.displayIcon.value_or(std::string());
    const std::string iconFile = RunPath(iconRaw, files, folders);
    // The 32-bit program sees "Program Files (x86)" as its program-files folder; the variant
    // without " (x86)" finds 64-bit programs.
    std::vector<std::string> candidates;
    if (row.displayIcon)
        candidates.push_back(iconRaw);
    candidates.push_back(iconFile);
    candidates.push_back(ReplaceAll(iconFile, " (x86)", ""));
    candidates.push_back(uninstallRaw);
    candidates.push_back(uninstallFile);
    candidates.push_back(ReplaceAll(uninstallFile, " (x86)", ""));
    return FirstExistingFile(candidates, files);
}

void ScanEntries(const ScanEnvironment& env, ScanSink& sink) {
    bool wowNodeRead = false;
    for (const UninstallSource& source : kUninstallSources) {
        const bool thirtyTwoBitView = (source.access & kKeyWow64Res) == kKeyWow64_32Key;
        if (thirtyTwoBitView && wowNodeRead && env.viewsShared)
            continue;
        Registry registry(env.registry, source.access);
        registry.SetRootKey(source.root);
        if (!registry.OpenKey(source.path, false))
            continue;
        if (&source == &kUninstallSources[0])
            wowNodeRead = true;
        const std::vector<std::string> names = registry.GetKeyNames();
        registry.CloseKey();

        const auto sourceIndex = static_cast<uint32_t>(&source - kUninstallSources.data());
        for (size_t index = env.slice; index < names.size(); index += env.slices) {
            const std::string& name = names[index];
            if (!registry.OpenKey(std::string(source.path) + "\\" + name, false))
                continue;
            // A key with fewer values than the names asked for below is read whole, a call
            // a value, rather than a call a name.
            registry.ReadKeyAtOnce(kNamesReadPerEntry);
            try {
                if (const auto listed = FilterEntry(registry)) {
                    sink.EntryStarted(listed->displayName);
                    UninstallEntry entry = ReadEntry(registry, *listed, source, name, env.locale);
                    entry.id = ScanOrder(sourceIndex, static_cast<uint32_t>(index));
                    sink.EntryRead(std::move(entry));
                }
            } catch (const RegistryError&) {
                // A value of an unexpected type in one entry: that entry is not listed.
            }
            registry.CloseKey();
            if (!sink.KeepGoing())
                return;
        }
    }
}

}  // namespace corvandel
