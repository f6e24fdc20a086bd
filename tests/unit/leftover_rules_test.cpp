#include "leftovers/leftover_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "foundation/folder_security.h"
#include "leftovers/program_record.h"
#include "leftovers/quarantine.h"

namespace corvandel {
namespace {

using K = LeftoverKind;
using E = Evidence;

const std::string kProfile = "C:\\Users\\x";
const std::string kRoaming = kProfile + "\\AppData\\Roaming";
const std::string kLocal = kProfile + "\\AppData\\Local";
const std::string kDownloads = kProfile + "\\Downloads";
const std::string kDesktop = kProfile + "\\Desktop";
const std::string kStartMenu = kRoaming + "\\Microsoft\\Windows\\Start Menu";
const std::string kAlpha = "C:\\Program Files\\Contoso\\Alpha Editor";
const std::string kRun = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Alpha Editor has just been removed. Beta Studio of the same publisher stays, and so does a
// Fabrikam tool whose entry names all of Program Files as its folder.
MachineFacts Machine() {
    MachineFacts facts;
    facts.knownFolders = {"C:\\Program Files",
                          "C:\\Program Files (x86)",
                          "C:\\Windows",
                          "C:\\Windows\\System32",
                          kProfile,
                          kProfile + "\\Documents",
                          kDownloads,
                          kDesktop,
                          kProfile + "\\Music",
                          kProfile + "\\Pictures",
                          "D:\\Videos",
                          kRoaming,
                          kLocal,
                          kProfile + "\\AppData\\LocalLow",
                          "C:\\ProgramData",
                          kStartMenu,
                          "C:\\ProgramData\\Microsoft\\Windows\\Start Menu",
                          "C:\\Users",
                          "C:\\Users\\Public"};
    facts.systemFolders = {"C:\\Windows"};
    facts.dataFolders = {kRoaming, kLocal, "C:\\ProgramData"};
    facts.otherPrograms = {{"Beta Studio", "Contoso", "C:\\Program Files\\Contoso\\Beta Studio"},
                           {"Gamma Tool", "Fabrikam", "C:\\Program Files\\"}};
    facts.claimedPaths = {"C:\\Program Files\\Contoso\\Beta Studio\\uninst.exe",
                          "C:\\Program Files\\Contoso\\Beta Studio\\beta.exe",
                          "C:\\ProgramData\\Contoso\\Alpha Editor\\beta-help.chm",
                          "C:\\Program Files\\Fabrikam\\gamma.exe"};
    facts.claimedFolders = {"C:\\Program Files\\Contoso\\Delta Suite\\bin"};
    facts.environment = {{"ProgramFiles", "C:\\Program Files"}, {"LOCALAPPDATA", kLocal}};
    return facts;
}

ProgramRecord Record(std::string location, std::string uninstaller = "", std::string icon = "",
                     std::string name = "Alpha Editor", std::string publisher = "Contoso") {
    ProgramRecord record;
    record.rootName = "HKEY_LOCAL_MACHINE";
    record.keyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha Editor";
    record.displayName = name, record.publisher = publisher, record.installLocation = location;
    record.uninstallerPath = uninstaller, record.iconPath = icon;
    // What pointed into the folder before the uninstall, whichever folder that was.
    record.pointers = {{K::Shortcut, kDesktop + "\\Alpha.lnk", "", kDownloads + "\\Alpha.exe"},
                       {K::Shortcut, kDesktop + "\\Notes.lnk", "", kDownloads + "\\notes.txt"},
                       {K::RunValue, kRun, "Alpha", kDownloads + "\\Alpha.exe"}};
    return record;
}

Candidate Item(K kind, std::string path, std::string target = "", std::string valueName = "") {
    Candidate candidate;
    candidate.kind = kind, candidate.path = path, candidate.target = target;
    candidate.valueName = valueName;
    return candidate;
}
Candidate Folder(std::string path) {
    return Item(K::Folder, path);
}
Candidate File(std::string path, bool inUse = false) {
    Candidate candidate = Item(K::File, path);
    candidate.inUse = inUse;
    return candidate;
}
Candidate Pointer(K kind, std::string path, std::string target, std::string valueName = "") {
    return Item(kind, path, target, valueName);
}
Candidate Host(std::string target, std::string arguments, std::string valueName) {
    Candidate candidate = Item(K::RunValue, kRun, target, valueName);
    candidate.arguments = arguments;
    return candidate;
}
Candidate Key(std::string path) {
    return Item(K::RegistryKey, path);
}
Candidate Junction(std::string path, std::string target) {
    Candidate candidate = Item(K::Folder, path);
    candidate.reparsePoint = true, candidate.linkTarget = target;
    return candidate;
}

struct Expected {
    std::optional<Confidence> confidence;  // nothing: never offered
    Evidence evidence = E::InsideInstallFolder;
    std::string cites;
};
const Expected kNever;
Expected High(E evidence, std::string cites) {
    return {Confidence::High, evidence, cites};
}
Expected Medium(E evidence, std::string cites) {
    return {Confidence::Medium, evidence, cites};
}

void ExpectOffer(const std::vector<Offer>& offers, const Candidate& candidate,
                 const Expected& expected) {
    const auto offer = std::find_if(offers.begin(), offers.end(),
                                    [&](const Offer& o) { return o.candidate == candidate; });
    SCOPED_TRACE(candidate.path + " " + candidate.valueName);
    ASSERT_EQ(offer != offers.end(), expected.confidence.has_value());
    if (offer == offers.end())
        return;
    EXPECT_EQ(offer->confidence, *expected.confidence);
    EXPECT_EQ(offer->evidence, expected.evidence);
    EXPECT_EQ(FoldCase(offer->cites), FoldCase(expected.cites));
    EXPECT_EQ(offer->preselected, offer->confidence == Confidence::High);
}

TEST(LeftoverRulesTest, OffersOnlyWhatEvidenceTiesToTheProgram) {
    const std::string contosoData = kRoaming + "\\Contoso";
    const std::pair<Candidate, Expected> rows[] = {
        {Folder(kAlpha), High(E::InsideInstallFolder, kAlpha)},
        {File("c:/PROGRAM FILES/contoso/alpha editor/ALPHA.EXE"),
         High(E::InsideInstallFolder, kAlpha)},
        // Spelled otherwise, the same folder is listed once.
        {Folder("C:\\PROGRAM FILES\\Contoso\\Alpha Editor\\"), kNever},
        {Folder(kAlpha + "2"), kNever},  // only begins like the install folder
        {Folder(kAlpha + ".old"), kNever},
        {Folder(contosoData + "\\Alpha Editor"), Medium(E::NamedInPublisherFolder, contosoData)},
        {Folder(kRoaming + "\\Alpha Editor"), kNever},  // no publisher's folder around it
        // The publisher's folders, and what Beta Studio has in them.
        {Folder(contosoData), kNever},
        {Folder(kLocal + "\\Contoso"), kNever},
        {Folder("C:\\Program Files\\Contoso"), kNever},
        {Folder(contosoData + "\\Beta Studio"), kNever},
        {Pointer(K::RunValue, kRun, "\"C:\\Program Files\\Contoso\\Beta Studio\\beta.exe\"",
                 "Beta"),
         kNever},
        // Beta's help shortcut points into it.
        {Folder("C:\\ProgramData\\Contoso\\Alpha Editor"), kNever},
        {Folder(kLocal + "\\Contoso\\Alpha Editor"), kNever},  // holds a file in use
        {File(kLocal + "\\Contoso\\Alpha Editor\\cache.db", true), kNever},
        {Pointer(K::Shortcut, kStartMenu + "\\Programs\\Contoso\\Alpha Editor.lnk",
                 "%ProgramFiles%\\Contoso\\Alpha Editor\\alpha.exe"),
         High(E::PointsIntoInstallFolder, kAlpha)},
        {Pointer(
             K::RunValue,
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
             kAlpha + "\\tray.exe", "AlphaTray"),
         High(E::PointsIntoInstallFolder, kAlpha)},
        {Pointer(K::Service, "AlphaUpdate", kAlpha + "\\update.exe"),
         High(E::PointsIntoInstallFolder, kAlpha)},
        // Hosts count by what they run: the user's script stays unticked, the command shown.
        {Host(kAlpha + "\\python\\pythonw.exe", kProfile + "\\tray.py", "Tray"),
         Medium(E::HostCommand, kAlpha + "\\python\\pythonw.exe " + kProfile + "\\tray.py")},
        {Host("C:\\Windows\\System32\\wscript.exe", "//B \"" + kAlpha + "\\tray.vbs\"", "Vbs"),
         High(E::PointsIntoInstallFolder, kAlpha)},
        {Host("C:\\Windows\\System32\\java.exe", "-jar \"" + kAlpha + "\\a.jar\" -log=D:\\log",
              "Jar"),
         Medium(E::HostCommand,
                "C:\\Windows\\System32\\java.exe -jar \"" + kAlpha + "\\a.jar\" -log=D:\\log")},
        {Host("C:\\Windows\\System32\\cmd.exe", "/c " + kProfile + "\\x.bat", "Cmd"), kNever},
        {Key("HKEY_CURRENT_USER\\Software\\Contoso\\Alpha Editor"),
         Medium(E::ProgramKey, "HKEY_CURRENT_USER\\Software\\Contoso")},
        {Key("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\contoso\\ALPHA EDITOR"),
         Medium(E::ProgramKey, "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\contoso")},
        {Key("HKEY_CURRENT_USER\\Software\\Contoso"), kNever},
        {Key("HKEY_CURRENT_USER\\Software\\Alpha Editor"), kNever},
        // A junction to the user's documents: the link at most, never what it leads to.
        {Junction(kAlpha + "\\Docs", kProfile + "\\Documents"),
         High(E::InsideInstallFolder, kAlpha)},
        {File(kAlpha + "\\Docs\\letter.doc"), kNever},
        {Folder(kAlpha + "\\Docs\\Taxes"), kNever},
        {Folder("C:\\"), kNever},
        {Folder("D:\\"), kNever},
        {Folder(kProfile + "\\AppData"), kNever},  // holds known folders
    };
    std::vector<Candidate> candidates;
    for (const auto& [candidate, expected] : rows)
        candidates.push_back(candidate);
    const MachineFacts facts = Machine();
    for (const std::string& known : facts.knownFolders)
        candidates.push_back(Folder(known));

    const auto offers = FindLeftovers(Record(kAlpha), candidates, facts);
    for (const auto& [candidate, expected] : rows)
        ExpectOffer(offers, candidate, expected);
    for (const std::string& known : facts.knownFolders)
        ExpectOffer(offers, Folder(known), kNever);
    const auto offered = std::count_if(std::begin(rows), std::end(rows), [](const auto& row) {
        return row.second.confidence.has_value();
    });
    EXPECT_EQ(offers.size(), static_cast<size_t>(offered));  // each item once
    EXPECT_TRUE(std::is_sorted(offers.begin(), offers.end(), [](const Offer& a, const Offer& b) {
        return a.candidate.kind < b.candidate.kind;
    }));
}

// However the entry writes its install folder, only a proper folder of its own offers what
// lies in it. A known folder or a root offers nothing by location: only the files the entry
// named there and what the record saw starting them.
TEST(LeftoverRulesTest, OddInstallLocationsOfferOnlyWhatTheRecordProvesOwn) {
    struct Shape {
        std::string location, uninstaller, icon;
        std::vector<std::pair<Candidate, Expected>> rows;
        std::string name = "Alpha Editor", publisher = "Contoso";
    };
    const std::string alphaExe = kDownloads + "\\Alpha.exe";
    std::vector<Shape> shapes = {
        {kDownloads + "\\",
         kDownloads + "\\AlphaUninstall.exe",
         "\"" + alphaExe + "\"",
         {{Folder(kDownloads), kNever},
          {File(kDownloads + "\\holiday.jpg"), kNever},
          {Folder(kDownloads + "\\Other"), kNever},
          {File(kDownloads + "\\AlphaUninstall.exe"),
           High(E::RecordedFile, kDownloads + "\\AlphaUninstall.exe")},
          {Pointer(K::Shortcut, kDesktop + "\\Alpha.lnk", alphaExe),
           High(E::RecordedPointer, alphaExe)},
          {Pointer(K::RunValue, kRun, alphaExe, "Alpha"), High(E::RecordedPointer, alphaExe)},
          {Pointer(K::Shortcut, kDesktop + "\\Notes.lnk", kDownloads + "\\notes.txt"), kNever},
          {Pointer(K::Shortcut, kStartMenu + "\\Alpha.lnk", alphaExe), kNever}}},
        {"D:\\",
         "D:\\unins000.exe",
         "",
         {{Folder("D:\\"), kNever},
          {Folder("D:\\Games"), kNever},
          {File("D:\\unins000.exe"), High(E::RecordedFile, "D:\\unins000.exe")},
          {File("D:\\unins000.dat"), kNever}}},
        {"C:\\Windows",
         "C:\\Windows\\AlphaUninstall.exe",
         "C:\\Windows\\explorer.exe",
         {{File("C:\\Windows\\AlphaUninstall.exe"), kNever},
          {File("C:\\Windows\\explorer.exe"), kNever},
          {Pointer(K::RunValue, kRun, "C:\\Windows\\explorer.exe", "Alpha"), kNever}}},
        // A folder holding known folders is no program's own either.
        {kProfile + "\\AppData", "", "", {{File(kProfile + "\\AppData\\desktop.ini"), kNever}}},
        {"C:\\Windows\\System32\\drivers",
         "",
         "",
         {{File("C:\\Windows\\System32\\drivers\\a.sys"), kNever}}},
        // A publisher's folder as the location still spares the other program in it.
        {"C:\\Program Files\\Contoso",
         "",
         "",
         {{Folder("C:\\Program Files\\Contoso"), kNever},
          {Folder(kAlpha), High(E::InsideInstallFolder, "C:\\Program Files\\Contoso")},
          {File("C:\\Program Files\\Contoso\\Beta Studio\\beta.exe"), kNever},
          // No entry names Gamma, yet it may be the publisher's other product: not ticked.
          {Folder("C:\\Program Files\\Contoso\\Gamma"),
           Medium(E::InsideInstallFolder, "C:\\Program Files\\Contoso")},
          // Delta's installer records its files: never.
          {File("C:\\Program Files\\Contoso\\Delta Suite\\delta.dat"), kNever},
          {Folder("C:\\Program Files\\Contoso\\Delta Suite"), kNever}}},
        {"C:\\Program Files\\Контозо\\Альфа",
         "",
         "",
         {{Folder("C:\\PROGRAM FILES\\КОНТОЗО\\АЛЬФА\\Данные"),
           High(E::InsideInstallFolder, "C:\\Program Files\\Контозо\\Альфа")}}},
        // Names that tell nothing: too short, the publisher's alone, or shared with Beta Studio.
        {"", "", "", {{Folder(kRoaming + "\\Contoso\\Ali"), kNever}}, "Ali"},
        {"", "", "", {{Folder(kRoaming + "\\Zed\\Alpha Editor"), kNever}}, "Alpha Editor", "Zed"},
        {"", "", "", {{Folder(kRoaming + "\\Contoso\\Contoso"), kNever}}, "Contoso"},
        {"", "", "", {{Folder(kRoaming + "\\Contoso\\Beta"), kNever}}, "Beta"},
        {"",
         "",
         "",
         {{Folder(kRoaming + "\\Contoso Inc\\Alpha Editor"),
           Medium(E::NamedInPublisherFolder, kRoaming + "\\Contoso Inc")},
          {Key("HKEY_CURRENT_USER\\Software\\Contoso Inc.\\Alpha Editor"),
           Medium(E::ProgramKey, "HKEY_CURRENT_USER\\Software\\Contoso Inc.")}},
         "Alpha Editor",
         "Contoso Inc."},
        {"",
         "",
         "",
         {{Folder(kLocal + "\\КОНТОЗО\\альфа редактор"),
           Medium(E::NamedInPublisherFolder, kLocal + "\\Контозо")}},
         "Альфа Редактор",
         "Контозо"},
    };
    for (const std::string location :
         {"\"C:\\Program Files\\Contoso\\Alpha Editor\\\"", "c:/program files/contoso/alpha editor",
          "\\\\?\\C:\\Program Files\\Contoso\\Alpha Editor",
          "%programfiles%\\Contoso\\Tools\\..\\.\\Alpha Editor. "}) {
        shapes.push_back(
            {location, "", "", {{Folder(kAlpha), High(E::InsideInstallFolder, kAlpha)}}});
    }
    for (const std::string location :
         {"", "Contoso\\Alpha Editor", "C:Alpha Editor", "%NoSuchFolder%\\Alpha Editor",
          "C:\\Program Files\\..\\..\\Alpha Editor",
          "\\\\.\\C:\\Program Files\\Contoso\\Alpha Editor"}) {
        shapes.push_back({location, "", "", {{Folder(kAlpha), kNever}}});
    }
    const MachineFacts facts = Machine();
    for (const std::string& known : facts.knownFolders) {
        shapes.push_back({known,
                          known + "\\uninst.exe",
                          "",
                          {{Folder(known), kNever},
                           {Folder(known + "\\Sub"), kNever},
                           {File(known + "\\readme.txt"), kNever}}});
    }

    for (const Shape& shape : shapes) {
        SCOPED_TRACE("location " + shape.location + ", " + shape.name + " by " + shape.publisher);
        const ProgramRecord record =
            Record(shape.location, shape.uninstaller, shape.icon, shape.name, shape.publisher);
        std::vector<Candidate> candidates;
        for (const auto& [candidate, expected] : shape.rows)
            candidates.push_back(candidate);
        const auto offers = FindLeftovers(record, candidates, facts);
        for (const auto& [candidate, expected] : shape.rows)
            ExpectOffer(offers, candidate, expected);
    }
}

TEST(LeftoverRulesTest, OffersOfProgramsCleanedUpTogetherMergeOnce) {
    const auto offer = [](K kind, std::string path, std::string value = "") {
        Offer o;
        o.candidate.kind = kind;
        o.candidate.path = std::move(path);
        o.candidate.valueName = std::move(value);
        return o;
    };
    const std::string run = kRun;
    const auto merged = MergeOffers({
        {offer(K::RegistryKey, "HKEY_CURRENT_USER\\Software\\Contoso\\Alpha"),
         offer(K::File, "C:\\P\\Alpha\\a.exe"), offer(K::Folder, "C:\\P\\Alpha"),
         offer(K::Shortcut, "C:\\S\\Alpha.lnk"), offer(K::RunValue, run, "Alpha")},
        // The second program's: the same folder and value again in another case, a folder
        // beside the first whose name only begins like it, a value of the same name elsewhere.
        {offer(K::Folder, "c:\\p\\ALPHA"), offer(K::File, "C:\\P\\Alpha Two\\b.exe"),
         offer(K::RunValue, run, "ALPHA"), offer(K::RunValue, run + "Once", "Alpha"),
         offer(K::Folder, "C:\\P\\Alpha\\sub")},
    });
    std::vector<std::string> texts;
    for (const Offer& o : merged)
        texts.push_back(OfferedItemText(o.candidate));
    EXPECT_EQ(texts,
              (std::vector<std::string>{
                  "C:\\P\\Alpha", "C:\\P\\Alpha Two\\b.exe", "C:\\S\\Alpha.lnk", run + " \"Alpha\"",
                  run + "Once \"Alpha\"", "HKEY_CURRENT_USER\\Software\\Contoso\\Alpha"}));
}

TEST(LeftoverRulesTest, OnlyTheRunningCopysOwnRemovalGoesWithoutARecord) {
    const std::string exe = "C:\\Program Files (x86)\\Corvandel\\Corvandel.exe";
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"C:\\PROGRAM FILES (X86)\\Corvandel\\", "", true},
        {"", "C:\\Program Files (x86)\\Corvandel\\uninst.exe", true},
        {"%ProgramFiles%\\Corvandel", "", true},
        // Another copy: the installed one removed from a portable one, or the reverse.
        {"C:\\Program Files (x86)\\Corvandel Portable", "", false},
        {"D:\\Tools\\Corvandel", "D:\\Tools\\Corvandel\\uninst.exe", false},
        // A drive root holds everything and proves nothing.
        {"C:\\", "C:\\uninst.exe", false},
    };
    for (const auto& [location, uninstaller, removes] : cases) {
        ProgramRecord record = Record(location, uninstaller);
        EXPECT_EQ(RemovesRunningCopy(record, exe, {{"ProgramFiles", "C:\\Program Files (x86)"}}),
                  removes)
            << location << " | " << uninstaller;
    }
}

TEST(LeftoverRulesTest, SystemPublishersAndFoldersAreNeverMatchedByName) {
    MachineFacts facts = Machine();
    facts.dataFolders.push_back(kRoaming);
    for (const auto& [name, publisher] :
         {std::pair{"Protect", "Microsoft"}, std::pair{"Protect", "Microsoft Corporation"},
          std::pair{"Classes", "Contoso"}, std::pair{"Alpha Editor", "Policies"}}) {
        SCOPED_TRACE(std::string(publisher) + "\\" + name);
        const std::vector<Candidate> candidates = {
            Folder(kRoaming + "\\" + publisher + "\\" + name),
            Key("HKEY_CURRENT_USER\\Software\\" + std::string(publisher) + "\\" + name)};
        EXPECT_TRUE(FindLeftovers(Record("", "", "", name, publisher), candidates, facts).empty());
    }
}

// Records and clean-up lists steer what the program does elevated: they are taken only from a
// folder whose contents and protection nobody but the system and administrators can change.
TEST(DataFolderTest, OnlyAFolderNoStandardUserCanChangeSteersAnElevatedCleanUp) {
    const std::string system = "S-1-5-18", admins = "S-1-5-32-544", users = "S-1-5-32-545";
    const std::string installer = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    const std::string user = "S-1-5-21-1-2-3-1001", creator = "S-1-3-0", everyone = "S-1-1-0";
    const uint32_t full = 0x1F01FF, read = 0x1200A9, modify = 0x1301BF, addFolder = 0x4;
    const std::tuple<const char*, FolderSecurity, bool> cases[] = {
        {"Program Files as Windows sets it up",
         {installer,
          true,
          {{true, installer, full},
           {true, system, full},
           {true, admins, full},
           {true, users, read},
           {true, creator, 0x10000000, true}}},
         true},
        {"the program's own folder in ProgramData",
         {admins, true, {{true, system, full}, {true, admins, full}, {true, users, read}}},
         true},
        {"a denial takes nothing away",
         {admins, true, {{true, admins, full}, {false, everyone, full}}},
         true},
        {"a portable copy in the user's Downloads",
         {user, true, {{true, system, full}, {true, admins, full}, {true, user, full}}},
         false},
        {"a USB stick without access lists", {"", false, {}}, false},
        {"users may change an application's folder",
         {installer, true, {{true, admins, full}, {true, users, modify}}},
         false},
        {"users may add a folder (a drive's root)",
         {system, true, {{true, admins, full}, {true, users, addFolder}}},
         false},
        {"a user owns it, however strict its list",
         {user, true, {{true, system, full}, {true, admins, full}}},
         false},
        {"the creator's rights on the folder itself",
         {admins, true, {{true, admins, full}, {true, creator, full}}},
         false},
    };
    for (const auto& [name, security, trusted] : cases)
        EXPECT_EQ(OnlyAdministratorsWrite(security), trusted) << name;
}

TEST(ProgramRecordTest, ComesBackWholeOrNotAtAll) {
    ProgramRecord record =
        Record(" \"C:\\Program Files\\Contoso\\Alpha Editor\\\" ", "C:\\a\\uninst.exe",
               std::string("tab\there\0nul\x7f\\x41", 17),
               "Редактор \"Альфа\", v=2\r\nβ 日本語 \U0001F600 \xED\xA0\x80", "");
    record.pointers.push_back({K::Task, "\\Contoso\\Alpha=\"x\",y", "a\\tb\\\\", ""});
    for (const ProgramRecord& sample : {record, ProgramRecord{}}) {
        const auto back = ParseRecord(SerializeRecord(sample));
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, sample);
    }

    // Cut short anywhere, changed in any byte, run on, or any other file: rejected whole.
    const std::string text = SerializeRecord(record);
    for (size_t size = 0; size < text.size(); ++size)
        EXPECT_FALSE(ParseRecord(text.substr(0, size))) << size;
    for (size_t at = 0; at < text.size(); ++at) {
        std::string altered = text;
        altered[at] ^= 0x01;
        EXPECT_FALSE(ParseRecord(altered)) << at;
    }
    EXPECT_FALSE(ParseRecord(text + "x\r\n"));
    EXPECT_FALSE(ParseRecord(text + text));
    EXPECT_FALSE(ParseRecord("[Settings]\r\nLanguage=Russian\r\n"));
    EXPECT_FALSE(ParseRecord("Windows Registry Editor Version 5.00\r\n\r\n"));
}

TEST(CleanupListTest, ComesBackWholeOrNotAtAll) {
    // Odd names, every kind of line, data with every byte value: what a restore needs back.
    std::vector<unsigned char> bytes;
    for (int b = 0; b < 256; ++b)
        bytes.push_back(static_cast<unsigned char>(b));
    CleanupList list;
    list.programs = "Альфа \"Editor\"\t2";
    list.folders.push_back({"C:\\Program Files\\Альфа, \"x\"", {1, 2, 3, 0x10}});
    list.files.push_back(
        {"C:\\a\tb\r\n.txt", StoredFileName(0), {~0ull, 0, 132000000000000000ull, 0x20}, ""});
    list.files.push_back({"D:\\x", StoredFileName(1), {}, std::string(64, 'a')});
    list.keys.push_back("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Contoso\\Alpha Editor");
    list.keys.push_back(list.keys[0] + "\\Plugins");
    list.values.push_back({list.keys[0], "", 3, bytes});
    list.values.push_back({"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           std::string("n\0=", 3),
                           7,
                           {}});
    for (const CleanupList& sample : {list, CleanupList{}}) {
        const auto back = ParseCleanup(SerializeCleanup(sample));
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, sample);
    }
    const std::string text = SerializeCleanup(list);
    for (size_t size = 0; size < text.size(); size += 7)
        EXPECT_FALSE(ParseCleanup(text.substr(0, size))) << size;
    std::string altered = text;
    altered[text.find("HKEY")] = 'h';
    EXPECT_FALSE(ParseCleanup(altered));
    EXPECT_FALSE(ParseCleanup(SerializeRecord(ProgramRecord{})));

    // A list, well-formed, that would lead a restore out of its own store, to a relative
    // place, to another root or to keys no clean-up takes (a service, an image's debugger, the
    // user's data-protection keys, a publisher's whole key): the list is refused whole.
    using Spoil = void (*)(CleanupList&);
    for (const Spoil spoil : std::initializer_list<Spoil>{
             [](CleanupList& l) { l.files[0].stored = "..\\..\\Windows\\x.dll"; },
             [](CleanupList& l) { l.files[0].origin = "notes.txt"; },
             [](CleanupList& l) { l.files[1].sha256 = "xyz"; },
             [](CleanupList& l) { l.folders[0].origin = "C:\\a\\..\\..\\Windows"; },
             [](CleanupList& l) { l.keys[0] = "HKEY_USERS\\.DEFAULT\\Run"; },
             [](CleanupList& l) {
                 l.keys[0] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Alpha";
             },
             [](CleanupList& l) { l.keys[1] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Protect"; },
             [](CleanupList& l) { l.keys[1] = "HKEY_CURRENT_USER\\Software\\Contoso"; },
             [](CleanupList& l) { l.values[1].keyText = "Run"; },
             [](CleanupList& l) {
                 l.values[1].keyText =
                     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\"
                     "Image File Execution Options\\setup.exe";
             },
         }) {
        CleanupList spoiled = list;
        spoil(spoiled);
        EXPECT_FALSE(ParseCleanup(SerializeCleanup(spoiled)));
    }
}

}  // namespace
}  // namespace corvandel
