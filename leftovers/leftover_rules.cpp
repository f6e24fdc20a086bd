#include "leftovers/leftover_rules.h"

#include <algorithm>
#include <set>

#include "foundation/text.h"

namespace corvandel {
namespace {

// ---- Text ----

// Pairs of capital and small letter next to each other: the capital at the even code (or at
// the odd one when capitalAtOdd), the small one beside it.
char16_t UpperOfPair(char16_t c, bool capitalAtOdd) {
    const bool odd = (c & 1) != 0;
    return odd == capitalAtOdd ? c : static_cast<char16_t>(c - 1);
}

// The capital letter of a small one, as the file system's case table has it for the scripts
// users name programs and folders in; every other unit stays as it is.
char16_t UpperUnit(char16_t c) {
    if (c < 0x80)
        return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)  // Latin-1
        return static_cast<char16_t>(c - 0x20);
    if (c == 0xFF)
        return 0x178;
    // Latin Extended-A; U+0130, U+0131, U+0138, U+0149 and U+017F have no simple pair.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return UpperOfPair(c, false);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return UpperOfPair(c, true);
    // Greek
    if (c == 0x3AC)
        return 0x386;
    if (c >= 0x3AD && c <= 0x3AF)
        return static_cast<char16_t>(c - 0x25);
    if (c == 0x3C2)  // final sigma
        return 0x3A3;
    if (c >= 0x3B1 && c <= 0x3CB)
        return static_cast<char16_t>(c - 0x20);
    if (c == 0x3CC)
        return 0x38C;
    if (c == 0x3CD || c == 0x3CE)
        return static_cast<char16_t>(c - 0x3F);
    // Cyrillic
    if (c >= 0x430 && c <= 0x44F)
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<char16_t>(c - 0x50);
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return UpperOfPair(c, false);
    if (c >= 0x4C1 && c <= 0x4CE)
        return UpperOfPair(c, true);
    if (c == 0x4CF)
        return 0x4C0;
    // Armenian
    if (c >= 0x561 && c <= 0x586)
        return static_cast<char16_t>(c - 0x30);
    // Latin Extended Additional
    if ((c >= 0x1E00 && c <= 0x1E95) || (c >= 0x1EA0 && c <= 0x1EFF))
        return UpperOfPair(c, false);
    // Full-width Latin
    if (c >= 0xFF41 && c <= 0xFF5A)
        return static_cast<char16_t>(c - 0x20);
    return c;
}

// UTF-8 that comes back unchanged through UTF-16 (WTF-8 included): two different malformed
// texts would otherwise compare equal as replacement characters.
bool IsWellFormed(std::string_view text) {
    return Utf16ToUtf8(Utf8ToUtf16(text)) == text;
}

bool StartsWith(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiLetterOrDigit(char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9');
}

// A name as Windows keeps it for a file or folder: without blanks around it or dots at its
// end ("Contoso Inc." makes the folder "Contoso Inc").
std::string AsFileName(std::string_view name) {
    std::string out = TrimBlanks(name);
    while (!out.empty() && (out.back() == '.' || out.back() == ' '))
        out.pop_back();
    return out;
}

// ---- Paths ----

// %NAME% references replaced by their values, once, as Windows expands them. A reference to
// an unknown name leaves the path unknown; a lone "%" is a character of the name.
std::optional<std::string> ExpandReferences(std::string_view text,
                                            const std::vector<EnvironmentVariable>& environment) {
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find('%', pos);
        const size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        const std::string name = AsciiLower(text.substr(open + 1, close - open - 1));
        const auto variable =
            std::find_if(environment.begin(), environment.end(),
                         [&](const EnvironmentVariable& v) { return AsciiLower(v.name) == name; });
        if (name.empty() || variable == environment.end())
            return std::nullopt;
        out += variable->value;
        pos = close + 1;
    }
    return out;
}

bool HasForbiddenCharacter(std::string_view name) {
    return std::any_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 ||
               std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
    });
}

// A server or share name of a "\\server\share" root.
bool IsShareName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && !HasForbiddenCharacter(name);
}

// Paths below are compared as keys: normalized and folded, so that structure and lengths
// stay those of the normalized path.

bool KeyInside(std::string_view key, std::string_view folder) {
    if (folder.empty() || key.size() < folder.size() || key.substr(0, folder.size()) != folder)
        return false;
    return key.size() == folder.size() || folder.back() == '\\' || key[folder.size()] == '\\';
}

bool KeyStrictlyInside(std::string_view key, std::string_view folder) {
    return key.size() != folder.size() && KeyInside(key, folder);
}

bool IsRootPath(std::string_view path) {
    if (path.size() == 3 && path[1] == ':' && path[2] == '\\')
        return true;
    return StartsWith(path, "\\\\") && std::count(path.begin(), path.end(), '\\') == 3;
}

// The folder holding the item; empty for a root.
std::string_view ParentOf(std::string_view path) {
    const size_t at = path.rfind('\\');
    if (IsRootPath(path) || at == std::string_view::npos)
        return {};
    return path.substr(0, at == 2 && path[1] == ':' ? 3 : at);
}

std::string_view LastName(std::string_view path) {
    return IsRootPath(path) ? std::string_view() : path.substr(path.rfind('\\') + 1);
}

std::vector<std::string> FoldedPaths(const std::vector<std::string>& paths,
                                     const std::vector<EnvironmentVariable>& environment) {
    std::vector<std::string> keys;
    for (const std::string& path : paths) {
        if (const auto normalized = NormalizePath(path, environment))
            keys.push_back(FoldCase(*normalized));
    }
    return keys;
}

// ---- The candidates ----

bool IsFileSystemItem(LeftoverKind kind) {
    return kind == LeftoverKind::Folder || kind == LeftoverKind::File ||
           kind == LeftoverKind::Shortcut;
}

bool IsPointer(LeftoverKind kind) {
    return kind == LeftoverKind::Shortcut || kind == LeftoverKind::RunValue ||
           kind == LeftoverKind::Service || kind == LeftoverKind::Task;
}

// How a candidate or a recorded pointer is told apart from others of its kind: the folded
// path of a file-system item, the folded name and value name of anything else.
std::optional<std::string> IdentityKey(LeftoverKind kind, std::string_view path,
                                       std::string_view valueName,
                                       const std::vector<EnvironmentVariable>& environment) {
    if (IsFileSystemItem(kind)) {
        const auto normalized = NormalizePath(path, environment);
        return normalized ? std::optional(FoldCase(*normalized)) : std::nullopt;
    }
    const std::string name = TrimBlanks(path);
    if (name.empty() || !IsWellFormed(name) || !IsWellFormed(valueName))
        return std::nullopt;
    return FoldCase(name) + '\n' + FoldCase(valueName);
}

// A candidate with its paths in comparable form; not usable when its path or, for a pointer,
// its target is unknown.
struct Item {
    const Candidate* candidate = nullptr;
    bool usable = false;
    std::string path;  // file-system items: normalized
    std::string key;
    std::string target;  // pointers: normalized
    std::string targetKey;
    // Pointers that start a host program: the files its arguments name, normalized.
    bool host = false;
    std::vector<std::string> runs;
};

Item PrepareItem(const Candidate& candidate, const std::vector<EnvironmentVariable>& environment) {
    Item item;
    item.candidate = &candidate;
    const auto key = IdentityKey(candidate.kind, candidate.path, candidate.valueName, environment);
    item.usable = key.has_value();
    item.key = key.value_or("");
    if (item.usable && IsFileSystemItem(candidate.kind))
        item.path = *NormalizePath(candidate.path, environment);
    if (IsPointer(candidate.kind)) {
        const auto target = NormalizePath(candidate.target, environment);
        item.usable = item.usable && target;
        item.target = target.value_or("");
        item.targetKey = FoldCase(item.target);
        item.host = item.usable && IsHostProgram(item.target);
        if (item.host)
            item.runs = PathsInArguments(candidate.arguments, environment);
    }
    return item;
}

// What the candidates tell about each other: the file-system items in use, and the links.
struct Relations {
    std::vector<std::string> inUse;
    std::vector<std::string> links;
};

Relations RelationsOf(const std::vector<Item>& items) {
    Relations relations;
    for (const Item& item : items) {
        if (!item.usable || !IsFileSystemItem(item.candidate->kind))
            continue;
        if (item.candidate->inUse)
            relations.inUse.push_back(item.key);
        if (item.candidate->reparsePoint)
            relations.links.push_back(item.key);
    }
    return relations;
}

// ---- Guards among the candidates ----

// A folder holding a file in use stays.
bool HoldsFileInUse(std::string_view folderKey, const Relations& relations) {
    return std::any_of(relations.inUse.begin(), relations.inUse.end(),
                       [&](const std::string& key) { return KeyStrictlyInside(key, folderKey); });
}

// Whatever lies behind a link or junction is somewhere else: only the link may be the
// program's, never what it leads to.
bool ReachedThroughLink(std::string_view key, const Relations& relations) {
    return std::any_of(relations.links.begin(), relations.links.end(),
                       [&](const std::string& link) { return KeyStrictlyInside(key, link); });
}

bool PassesGuards(const Item& item, const LeftoverGuards& guards, const Relations& relations) {
    const Candidate& candidate = *item.candidate;
    if (!item.usable || candidate.inUse)
        return false;
    if (IsFileSystemItem(candidate.kind)) {
        if (guards.IsProtected(item.path) || guards.IsInSystemFolder(item.path) ||
            guards.BelongsToAnotherProgram(item.path) || ReachedThroughLink(item.key, relations))
            return false;
        if (candidate.kind == LeftoverKind::Folder && HoldsFileInUse(item.key, relations))
            return false;
    }
    // A file another program starts as well makes its shortcuts and Run values shared; a host
    // is judged by the files it runs.
    if (!IsPointer(candidate.kind))
        return true;
    if (!item.host)
        return !guards.BelongsToAnotherProgram(item.target);
    return std::none_of(item.runs.begin(), item.runs.end(), [&](const std::string& path) {
        return guards.BelongsToAnotherProgram(path);
    });
}

// ---- Evidence ----

// The removed program as the rules see it.
struct Program {
    const ProgramRecord* record = nullptr;
    std::string location;  // normalized; empty when the entry's text names no folder
    std::string locationKey;
    // The install folder is a proper one: it and whatever points into it are the program's.
    bool locationIsOwn = false;
    // The install folder is a known folder or a root: only the uninstaller and icon files the
    // entry named in it are the program's own.
    std::vector<std::string> ownFileKeys;
    // The install folder is named after the publisher, not the program ("...\Contoso\"): other
    // products of the publisher may lie in it. Only the parts that hold a file the record names
    // (the first-level folder it lies in, or the file itself) and the folder named after the
    // program are surely the program's.
    bool publisherFolder = false;
    std::vector<std::string> ownPartKeys;
    // The first-level parts of the install folder that hold something another program claims:
    // all of each is left alone.
    std::vector<std::string> foreignPartKeys;
    // The names that tell the program's own folders and keys; empty when names tell nothing.
    std::string folderName, folderPublisher;  // folded, as folders carry them
    std::string keyName, keyPublisher;        // folded
};

Program Describe(const ProgramRecord& record, const LeftoverGuards& guards) {
    Program program;
    program.record = &record;
    const auto& environment = guards.Environment();
    if (const auto location = NormalizePath(record.installLocation, environment)) {
        program.location = *location;
        program.locationKey = FoldCase(*location);
        program.locationIsOwn =
            !guards.IsProtected(*location) && !guards.IsInSystemFolder(*location);
    }
    if (!program.location.empty() && !program.locationIsOwn) {
        for (const std::string* file : {&record.uninstallerPath, &record.iconPath}) {
            const auto path = NormalizePath(*file, environment);
            if (path && !guards.IsInSystemFolder(*path) &&
                KeyStrictlyInside(FoldCase(*path), program.locationKey))
                program.ownFileKeys.push_back(FoldCase(*path));
        }
    }
    const auto partOf = [&](const std::string& key) {
        const size_t first = key.find('\\', program.locationKey.size() + 1);
        return first == std::string::npos ? key : key.substr(0, first);
    };
    if (program.locationIsOwn) {
        for (const std::string& claim : guards.ClaimsInside(program.location))
            program.foreignPartKeys.push_back(partOf(claim));
    }
    const std::string locationName = FoldCase(LastName(program.location));
    program.publisherFolder = program.locationIsOwn && !locationName.empty() &&
                              locationName == FoldCase(AsFileName(record.publisher)) &&
                              locationName != FoldCase(AsFileName(record.displayName));
    if (program.publisherFolder) {
        const std::string own = AsFileName(record.displayName);
        if (IsDistinctiveName(own))
            program.ownPartKeys.push_back(program.locationKey + "\\" + FoldCase(own));
        std::vector<const std::string*> named = {&record.uninstallerPath, &record.iconPath};
        for (const RecordedPointer& pointer : record.pointers)
            named.push_back(&pointer.target);
        for (const std::string* file : named) {
            const auto path = NormalizePath(*file, environment);
            if (!path)
                continue;
            const std::string key = FoldCase(*path);
            if (!KeyStrictlyInside(key, program.locationKey))
                continue;
            program.ownPartKeys.push_back(partOf(key));
        }
    }
    // Names tell the program only when both are long enough, the program's is more than the
    // publisher's, and no other program goes by it.
    const std::string name = AsFileName(record.displayName);
    const std::string publisher = AsFileName(record.publisher);
    if (IsDistinctiveName(name) && IsDistinctiveName(publisher) &&
        FoldCase(name) != FoldCase(publisher) && !IsSystemName(name) && !IsSystemName(publisher) &&
        !guards.SharesProgramName(record.displayName)) {
        program.folderName = FoldCase(name);
        program.folderPublisher = FoldCase(publisher);
        program.keyName = FoldCase(TrimBlanks(record.displayName));
        program.keyPublisher = FoldCase(TrimBlanks(record.publisher));
    }
    return program;
}

bool IsRecorded(const Item& item, const ProgramRecord& record,
                const std::vector<EnvironmentVariable>& environment) {
    return std::any_of(record.pointers.begin(), record.pointers.end(), [&](const auto& pointer) {
        return pointer.kind == item.candidate->kind &&
               IdentityKey(pointer.kind, pointer.path, pointer.valueName, environment) == item.key;
    });
}

bool IsOwnFile(std::string_view key, const Program& program) {
    return std::find(program.ownFileKeys.begin(), program.ownFileKeys.end(), key) !=
           program.ownFileKeys.end();
}

// <data folder>\<publisher>\<program>: the publisher's folder, or nothing.
std::optional<std::string> PublisherFolder(const Item& item, const Program& program,
                                           const LeftoverGuards& guards) {
    if (program.folderName.empty())
        return std::nullopt;
    const std::string_view publisherFolder = ParentOf(item.path);
    if (publisherFolder.empty() || FoldCase(LastName(item.path)) != program.folderName ||
        FoldCase(LastName(publisherFolder)) != program.folderPublisher ||
        !guards.IsDataFolder(ParentOf(publisherFolder)))
        return std::nullopt;
    return std::string(publisherFolder);
}

// Software\<publisher>\<program> under the user's or the machine's root, in either view: the
// publisher's key, or nothing.
std::optional<std::string> PublisherKey(const Candidate& candidate, const Program& program) {
    if (program.keyName.empty())
        return std::nullopt;
    std::vector<std::string> names;
    for (size_t from = 0; from <= candidate.path.size();) {
        const size_t end = std::min(candidate.path.find('\\', from), candidate.path.size());
        names.push_back(FoldCase(std::string_view(candidate.path).substr(from, end - from)));
        from = end + 1;
    }
    if (names.size() == 5 && names[2] == "WOW6432NODE")
        names.erase(names.begin() + 2);
    const bool root = names[0] == "HKEY_CURRENT_USER" || names[0] == "HKEY_LOCAL_MACHINE" ||
                      names[0] == "HKCU" || names[0] == "HKLM";
    if (names.size() != 4 || !root || names[1] != "SOFTWARE" || names[2] != program.keyPublisher ||
        names[3] != program.keyName)
        return std::nullopt;
    return candidate.path.substr(0, candidate.path.rfind('\\'));
}

Offer MakeOffer(const Candidate& candidate, Evidence evidence, std::string cites,
                Confidence confidence) {
    return Offer{candidate, evidence, std::move(cites), confidence, confidence == Confidence::High};
}

std::optional<Offer> EvidenceFor(const Item& item, const Program& program,
                                 const LeftoverGuards& guards) {
    const Candidate& candidate = *item.candidate;
    constexpr auto kHigh = Confidence::High;
    if (item.host) {
        // Judged by what it runs: all of it in the folder, or the user may lose a script.
        if (!program.locationIsOwn)
            return std::nullopt;
        const auto inFolder = [&](const std::string& path) {
            return KeyInside(FoldCase(path), program.locationKey);
        };
        const bool inside = std::any_of(item.runs.begin(), item.runs.end(), inFolder);
        const bool outside = !std::all_of(item.runs.begin(), item.runs.end(), inFolder);
        if (inside && !outside)
            return MakeOffer(candidate, Evidence::PointsIntoInstallFolder, program.location, kHigh);
        if (inside || KeyInside(item.targetKey, program.locationKey)) {
            Offer offer =
                MakeOffer(candidate, Evidence::HostCommand,
                          TrimBlanks(item.target + " " + candidate.arguments), Confidence::Medium);
            return offer;
        }
        return std::nullopt;
    }
    const auto foreign = [&](const std::string& key) {
        return std::any_of(program.foreignPartKeys.begin(), program.foreignPartKeys.end(),
                           [&](const std::string& part) { return KeyInside(key, part); });
    };
    if (foreign(IsPointer(candidate.kind) ? item.targetKey : item.key))
        return std::nullopt;
    if (program.locationIsOwn) {
        // In a publisher's folder, only the parts that hold what the record names are sure.
        const auto sure = [&](const std::string& key) {
            return !program.publisherFolder ||
                           std::any_of(
                               program.ownPartKeys.begin(), program.ownPartKeys.end(),
                               [&](const std::string& part) { return KeyInside(key, part); })
                       ? kHigh
                       : Confidence::Medium;
        };
        if (IsPointer(candidate.kind) && KeyInside(item.targetKey, program.locationKey))
            return MakeOffer(candidate, Evidence::PointsIntoInstallFolder, program.location,
                             sure(item.targetKey));
        if (IsFileSystemItem(candidate.kind) && KeyInside(item.key, program.locationKey))
            return MakeOffer(candidate, Evidence::InsideInstallFolder, program.location,
                             sure(item.key));
    }
    if (candidate.kind == LeftoverKind::File && IsOwnFile(item.key, program))
        return MakeOffer(candidate, Evidence::RecordedFile, item.path, kHigh);
    if (IsPointer(candidate.kind) && IsOwnFile(item.targetKey, program) &&
        IsRecorded(item, *program.record, guards.Environment()))
        return MakeOffer(candidate, Evidence::RecordedPointer, item.target, kHigh);
    if (candidate.kind == LeftoverKind::Folder) {
        if (auto folder = PublisherFolder(item, program, guards))
            return MakeOffer(candidate, Evidence::NamedInPublisherFolder, *folder,
                             Confidence::Medium);
    }
    if (candidate.kind == LeftoverKind::RegistryKey) {
        if (auto key = PublisherKey(candidate, program))
            return MakeOffer(candidate, Evidence::ProgramKey, *key, Confidence::Medium);
    }
    return std::nullopt;
}

}  // namespace

// ---- Paths ----

std::optional<std::string> NormalizePath(std::string_view path,
                                         const std::vector<EnvironmentVariable>& environment) {
    std::string text = TrimBlanks(path);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = TrimBlanks(std::string_view(text).substr(1, text.size() - 2));
    const auto expanded = ExpandReferences(text, environment);
    if (!expanded || !IsWellFormed(*expanded))
        return std::nullopt;
    text = ReplaceAll(*expanded, "/", "\\");
    // A "\\?\" path is taken as written: Windows drops no dots or blanks from its names.
    bool verbatim = false;
    for (const std::string_view prefix : {"\\\\?\\", "\\??\\"}) {
        if (StartsWith(text, prefix)) {
            text.erase(0, prefix.size());
            verbatim = true;
            if (AsciiLower(text.substr(0, 4)) == "unc\\")
                text.replace(0, 4, "\\\\");
            break;
        }
    }
    std::string root;
    std::string_view rest = text;
    if (text.size() >= 3 && IsAsciiLetter(text[0]) && text[1] == ':' && text[2] == '\\') {
        root = {static_cast<char>(text[0] & ~0x20), ':', '\\'};
        rest.remove_prefix(3);
    } else if (StartsWith(text, "\\\\")) {
        rest.remove_prefix(2);
        const std::string_view server = rest.substr(0, rest.find('\\'));
        rest.remove_prefix(std::min(rest.size(), server.size() + 1));
        const std::string_view share = rest.substr(0, rest.find('\\'));
        rest.remove_prefix(std::min(rest.size(), share.size() + 1));
        if (!IsShareName(server) || !IsShareName(share))
            return std::nullopt;  // "\\.\" device paths among them
        root = "\\\\" + std::string(server) + "\\" + std::string(share);
    } else {
        return std::nullopt;  // relative, or relative to a drive's current folder ("C:x")
    }
    std::vector<std::string> names;
    for (size_t from = 0; from < rest.size();) {
        const size_t end = std::min(rest.find('\\', from), rest.size());
        std::string name(rest.substr(from, end - from));
        from = end + 1;
        if (name.empty())
            continue;
        if (name == "." || name == "..") {
            if (verbatim || (name == ".." && names.empty()))
                return std::nullopt;
            if (name == "..")
                names.pop_back();
            continue;
        }
        if (!verbatim) {
            while (!name.empty() && (name.back() == '.' || name.back() == ' '))
                name.pop_back();
        }
        if (name.empty() || HasForbiddenCharacter(name))
            return std::nullopt;
        names.push_back(std::move(name));
    }
    std::string out = root;
    for (const std::string& name : names) {
        if (out.back() != '\\')
            out += '\\';
        out += name;
    }
    return out;
}

std::string FoldCase(std::string_view text) {
    std::string out(text);
    bool ascii = true;
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 0x20);
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii)
        return out;
    std::u16string units = Utf8ToUtf16(text);
    for (char16_t& unit : units)
        unit = UpperUnit(unit);
    return Utf16ToUtf8(units);
}

bool IsSameOrInside(std::string_view path, std::string_view folder) {
    return KeyInside(FoldCase(path), FoldCase(folder));
}

bool IsHostProgram(std::string_view path) {
    static const char* const kHosts[] = {
        "python",  "pythonw",    "py",      "pyw",      "java",     "javaw",   "node",  "wscript",
        "cscript", "powershell", "pwsh",    "cmd",      "rundll32", "msiexec", "mshta", "perl",
        "ruby",    "php",        "conhost", "regsvr32", "wsl",      "bash"};
    std::string name = AsciiLower(LastName(path));
    if (name.ends_with(".exe"))
        name.resize(name.size() - 4);
    // Versioned interpreters: python3, python3.12, pythonw3.
    const size_t digits = name.find_first_of("0123456789");
    const std::string stem = name.starts_with("python") ? name.substr(0, digits) : name;
    return std::any_of(std::begin(kHosts), std::end(kHosts),
                       [&](const char* host) { return stem == host; });
}

std::vector<std::string> PathsInArguments(std::string_view arguments,
                                          const std::vector<EnvironmentVariable>& environment) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, inWord = false;
    for (const char c : arguments) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    std::vector<std::string> paths;
    for (const std::string& text : words) {
        std::optional<std::string> path = NormalizePath(text, environment);
        // An option's value: "-Dlog=C:\x", "/config:C:\x.ini".
        if (!path && (text.starts_with("-") || text.starts_with("/"))) {
            for (const char mark : {'=', ':'}) {
                const size_t at = text.find(mark);
                if (at != std::string::npos &&
                    (path = NormalizePath(text.substr(at + 1), environment)))
                    break;
            }
        }
        if (path)
            paths.push_back(std::move(*path));
    }
    return paths;
}

bool RemovesRunningCopy(const ProgramRecord& record, std::string_view executablePath,
                        const std::vector<EnvironmentVariable>& environment) {
    const auto executable = NormalizePath(executablePath, environment);
    if (!executable)
        return false;
    const std::string running = FoldCase(*executable);
    const auto holds = [&](const std::string& folder) {
        const auto normalized = NormalizePath(folder, environment);
        return normalized && !IsRootPath(*normalized) &&
               KeyStrictlyInside(running, FoldCase(*normalized));
    };
    const size_t slash = record.uninstallerPath.find_last_of("\\/");
    return holds(record.installLocation) ||
           (slash != std::string::npos && holds(record.uninstallerPath.substr(0, slash)));
}

// ---- Guards ----

bool IsSystemName(std::string_view name) {
    static const char* const kSystemNames[] = {
        "MICROSOFT",
        "MICROSOFT CORPORATION",
        "MICROSOFT CORP",
        "WINDOWS",
        "WINDOWS NT",
        "CLASSES",
        "POLICIES",
        "WOW6432NODE",
        "CLIENTS",
        "SOFTWARE",
        "SYSTEM",
        "CURRENTVERSION",
        "PROTECT",
        "CRYPTO",
        "CREDENTIALS",
        "VAULT",
        "SYSTEMCERTIFICATES",
        "INTERNET EXPLORER",
        "INSTALLER",
        "START MENU",
        "PROGRAMS",
        "TEMPLATES",
        "TEMP",
        "PACKAGES",
        "EXPLORER",
        "SPEECH",
        "FONTS",
        "NETWORK",
        "IDENTITIES",
        "APPLICATION DATA",
        "LOCAL SETTINGS",
        "SERVICES",
    };
    const std::string folded = FoldCase(TrimBlanks(name));
    return folded.starts_with("MICROSOFT ") ||
           std::any_of(std::begin(kSystemNames), std::end(kSystemNames),
                       [&](const char* system) { return folded == system; });
}

bool IsDistinctiveName(std::string_view name) {
    const std::string trimmed = TrimBlanks(name);
    const auto characters = std::count_if(trimmed.begin(), trimmed.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    return characters >= 4 && IsWellFormed(trimmed);
}

LeftoverGuards::LeftoverGuards(const MachineFacts& facts)
    : known_(FoldedPaths(facts.knownFolders, facts.environment)),
      system_(FoldedPaths(facts.systemFolders, facts.environment)),
      data_(FoldedPaths(facts.dataFolders, facts.environment)),
      environment_(facts.environment) {
    // A protected folder is nobody's: naming it claims nothing but itself, which is never
    // offered anyway.
    auto claim = [this](const std::string& path) {
        const auto normalized = NormalizePath(path, environment_);
        if (normalized && !IsProtected(*normalized))
            claimed_.insert(FoldCase(*normalized));
    };
    for (const InstalledProgram& program : facts.otherPrograms) {
        claim(program.installLocation);
        const std::string name = FoldCase(AsFileName(program.displayName));
        if (!name.empty())
            otherNames_.push_back(name);
    }
    for (const std::string& path : facts.claimedPaths)
        claim(path);
    for (const std::string& path : facts.claimedFolders)
        claim(path);
}

bool LeftoverGuards::IsProtected(std::string_view path) const {
    const std::string key = FoldCase(path);
    return IsRootPath(key) ||
           std::any_of(known_.begin(), known_.end(),
                       [&](const std::string& known) { return KeyInside(known, key); });
}

bool LeftoverGuards::IsInSystemFolder(std::string_view path) const {
    const std::string key = FoldCase(path);
    return std::any_of(system_.begin(), system_.end(),
                       [&](const std::string& system) { return KeyInside(key, system); });
}

bool LeftoverGuards::BelongsToAnotherProgram(std::string_view path) const {
    const std::string key = FoldCase(path);
    if (key.empty())
        return false;
    // Something claimed lies in the path: the claims that begin with it and a separator follow
    // it at once in the sorted set.
    const std::string head = key.back() == '\\' ? key : key + '\\';
    const auto after = claimed_.lower_bound(head);
    if (after != claimed_.end() && after->starts_with(head))
        return true;
    // The path is a claim or lies in one: it or one of its folders is claimed.
    for (std::string_view folder = key; !folder.empty(); folder = ParentOf(folder)) {
        if (claimed_.count(std::string(folder)))
            return true;
    }
    return false;
}

std::vector<std::string> LeftoverGuards::ClaimsInside(std::string_view path) const {
    std::string head = FoldCase(path);
    if (head.empty())
        return {};
    if (head.back() != '\\')
        head += '\\';
    std::vector<std::string> inside;
    for (auto it = claimed_.lower_bound(head); it != claimed_.end() && it->starts_with(head); ++it)
        inside.push_back(*it);
    return inside;
}

bool LeftoverGuards::SharesProgramName(std::string_view displayName) const {
    const std::string name = FoldCase(AsFileName(displayName));
    if (name.empty())
        return false;
    return std::any_of(otherNames_.begin(), otherNames_.end(), [&](const std::string& other) {
        return other == name || (other.size() > name.size() && StartsWith(other, name) &&
                                 !IsAsciiLetterOrDigit(other[name.size()]));
    });
}

bool LeftoverGuards::IsDataFolder(std::string_view path) const {
    const std::string key = FoldCase(path);
    return !key.empty() && std::find(data_.begin(), data_.end(), key) != data_.end();
}

// ---- The decision ----

std::string OfferedItemText(const Candidate& candidate) {
    return candidate.kind == LeftoverKind::RunValue
               ? candidate.path + " \"" + candidate.valueName + "\""
               : candidate.path;
}

std::vector<Offer> MergeOffers(std::vector<std::vector<Offer>> perProgram) {
    const auto onDisk = [](LeftoverKind kind) {
        return kind == LeftoverKind::Folder || kind == LeftoverKind::File ||
               kind == LeftoverKind::Shortcut;
    };
    std::vector<Offer> merged;
    std::set<std::pair<LeftoverKind, std::string>> seen;
    std::vector<std::string> folders;  // offered folders, folded
    for (auto& offers : perProgram) {
        for (Offer& offer : offers) {
            const LeftoverKind kind =
                onDisk(offer.candidate.kind) ? LeftoverKind::File : offer.candidate.kind;
            if (!seen.emplace(kind, FoldCase(OfferedItemText(offer.candidate))).second)
                continue;
            if (offer.candidate.kind == LeftoverKind::Folder)
                folders.push_back(FoldCase(offer.candidate.path));
            merged.push_back(std::move(offer));
        }
    }
    std::erase_if(merged, [&](const Offer& offer) {
        if (!onDisk(offer.candidate.kind))
            return false;
        const std::string path = FoldCase(offer.candidate.path);
        return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
            return folder != path && IsSameOrInside(path, folder);
        });
    });
    std::stable_sort(merged.begin(), merged.end(), [](const Offer& a, const Offer& b) {
        return a.candidate.kind < b.candidate.kind;
    });
    return merged;
}

std::vector<Offer> FindLeftovers(const ProgramRecord& record,
                                 const std::vector<Candidate>& candidates,
                                 const MachineFacts& facts) {
    const LeftoverGuards guards(facts);
    const Program program = Describe(record, guards);
    std::vector<Item> items;
    items.reserve(candidates.size());
    for (const Candidate& candidate : candidates)
        items.push_back(PrepareItem(candidate, guards.Environment()));
    const Relations relations = RelationsOf(items);

    std::vector<Offer> offers;
    std::set<std::pair<LeftoverKind, std::string>> offered;
    for (const Item& item : items) {
        if (!PassesGuards(item, guards, relations))
            continue;
        auto offer = EvidenceFor(item, program, guards);
        if (offer && offered.emplace(item.candidate->kind, item.key).second)
            offers.push_back(std::move(*offer));
    }
    std::stable_sort(offers.begin(), offers.end(), [](const Offer& a, const Offer& b) {
        return a.candidate.kind < b.candidate.kind;
    });
    return offers;
}

}  // namespace corvandel
