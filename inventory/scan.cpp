#include "inventory/scan.h"

#include <algorithm>

#include "foundation/text.h"
#include "inventory/command_parse.h"
#include "inventory/install_date.h"

namespace corvandel {

namespace {

// "SystemComponent" is stored by some installers as text and by most as a number.
std::string SystemComponentText(Registry& key) {
    if (!key.ValueExists("SystemComponent"))
        return std::string();
    if (key.GetDataType("SystemComponent") == RegDataKind::String) {
        return key.ReadString("SystemComponent");
    }
    return std::to_string(key.ReadInteger("SystemComponent"));
}

std::string IsMinorUpgradeText(Registry& key) {
    if (!key.ValueExists("IsMinorUpgrade"))
        return std::string();
    return std::to_string(key.ReadInteger("IsMinorUpgrade"));
}

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
    // The candidates often repeat one another; each file is asked about once.
    for (size_t i = 0; i < candidates.size(); ++i) {
        const std::string& candidate = candidates[i];
        if (candidate.empty() || std::find(candidates.begin(), candidates.begin() + i, candidate) !=
                                     candidates.begin() + i) {
            continue;
        }
        if (files.FileExists(candidate))
            return candidate;
    }
    return std::string();
}

UninstallEntry ReadEntry(Registry& key, const ListedEntry& listed, const UninstallSource& source,
                         const std::string& subKey, const ScanEnvironment& env) {
    UninstallEntry entry;
    entry.caption = listed.displayName;
    const std::string& uninstallRaw = listed.uninstallString;
    const std::string uninstallFile = RunPath(uninstallRaw, env.files, env.folders);
    const std::string iconRaw = key.ReadString("DisplayIcon");
    const std::string iconFile = RunPath(iconRaw, env.files, env.folders);

    auto& c = entry.columns;
    c[kColPublisher] = key.ReadString("Publisher");
    c[kColVersion] = key.ReadString("DisplayVersion");
    const auto info = key.GetKeyInfo();
    c[kColInstallDate] = InstallDateText(info ? info->lastWriteTime : 0, env.locale);
    c[kColInstallLocation] = key.ReadString("InstallLocation");
    c[kColUninstallString] = uninstallRaw;
    c[kColRootName] =
        source.root == RegRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    c[kColKeyPath] = std::string(source.path) + "\\" + subKey;
    c[kColUrlInfoAbout] = key.ReadString("URLInfoAbout");

    // The 32-bit program sees "Program Files (x86)" as its program-files folder; the variant
    // without " (x86)" finds 64-bit programs.
    std::vector<std::string> candidates;
    if (key.ValueExists("DisplayIcon"))
        candidates.push_back(iconRaw);
    candidates.push_back(iconFile);
    candidates.push_back(ReplaceAll(iconFile, " (x86)", ""));
    candidates.push_back(uninstallRaw);
    candidates.push_back(uninstallFile);
    candidates.push_back(ReplaceAll(uninstallFile, " (x86)", ""));
    c[kColIconSource] = FirstExistingFile(candidates, env.files);
    return entry;
}

void LoadFromReg(const ScanEnvironment& env, ScanSink& sink) {
    for (const UninstallSource& source : kUninstallSources) {
        Registry registry(env.registry, source.access);
        registry.SetRootKey(source.root);
        if (!registry.OpenKey(source.path, false))
            continue;
        const std::vector<std::string> names = registry.GetKeyNames();
        registry.CloseKey();

        for (const std::string& name : names) {
            if (!registry.OpenKey(std::string(source.path) + "\\" + name, false))
                continue;
            try {
                if (const auto listed = FilterEntry(registry)) {
                    sink.EntryStarted(listed->displayName);
                    sink.EntryRead(ReadEntry(registry, *listed, source, name, env));
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
