#include "inventory/scan.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "inventory/install_date.h"
#include "inventory/presentation.h"
#include "inventory/sorting.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_registry.h"

namespace corvandel {
namespace {

using testing::FakeFileSystem;
using testing::FakeLocale;
using testing::FakeRegistry;
using testing::FakeSpecialFolders;
using testing::FileTimeOf;

constexpr const char* kWow =
    "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kNative = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kUser = "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class RecordingSink : public ScanSink {
  public:
    void EntryStarted(const std::string& name) override { started.push_back(name); }
    void EntryRead(UninstallEntry entry) override { rows.push_back(std::move(entry)); }
    bool KeepGoing() override { return ++calls != stopAfter; }
    std::vector<std::string> started;
    std::vector<UninstallEntry> rows;
    int calls = 0;
    int stopAfter = -1;
};

class ScanTest : public ::testing::Test {
  protected:
    void Program(const std::string& key, const std::string& name, const std::string& uninstall) {
        registry.Key(key, FileTimeOf(2026, 12, 1, 12));
        registry.SetString(key, "DisplayName", name);
        registry.SetString(key, "UninstallString", uninstall);
    }
    std::vector<std::string> Captions() {
        std::vector<std::string> out;
        for (const auto& row : sink.rows)
            out.push_back(row.caption);
        return out;
    }
    void Scan() { ScanEntries(ScanEnvironment{registry, files, folders, locale}, sink); }

    FakeRegistry registry;
    FakeFileSystem files;
    FakeSpecialFolders folders;
    FakeLocale locale;
    RecordingSink sink;
};

TEST_F(ScanTest, FilterKeepsOnlyUserVisiblePrograms) {
    const std::string k = kNative;
    Program(k + "Shown", "Shown", "u.exe");
    Program(k + "SysDword", "SysDword", "u.exe");
    registry.SetDword(k + "SysDword", "SystemComponent", 1);
    Program(k + "SysText", "SysText", "u.exe");
    registry.SetString(k + "SysText", "SystemComponent", "1");
    Program(k + "SysZero", "SysZero", "u.exe");
    registry.SetDword(k + "SysZero", "SystemComponent", 0);
    Program(k + "SysTextTwo", "SysTextTwo", "u.exe");
    registry.SetString(k + "SysTextTwo", "SystemComponent", "01");
    Program(k + "Minor", "Minor", "u.exe");
    registry.SetDword(k + "Minor", "IsMinorUpgrade", 1);
    Program(k + "Release", "Release", "u.exe");
    registry.SetString(k + "Release", "ReleaseType", "Hotfix");
    Program(k + "Child", "Child", "u.exe");
    registry.SetString(k + "Child", "ParentDisplayName", "Parent");
    Program(k + "EmptyRelease", "EmptyRelease", "u.exe");
    registry.SetString(k + "EmptyRelease", "ReleaseType", "");
    Program(k + "NoUninstall", "NoUninstall", "");
    registry.Key(k + "Missing");
    registry.SetString(k + "Missing", "DisplayName", "Missing");
    Program(k + "NoName", "", "u.exe");

    Scan();
    EXPECT_EQ(Captions(),
              (std::vector<std::string>{"Shown", "SysZero", "SysTextTwo", "EmptyRelease"}));
}

TEST_F(ScanTest, MalformedEntriesAreSkippedAndLaterEntriesStillListed) {
    const std::string k = kNative;
    Program(k + "A", "Before", "u.exe");
    Program(k + "B", "MinorAsText", "u.exe");
    registry.SetString(k + "B", "IsMinorUpgrade", "1");
    Program(k + "C", "SysBinary", "u.exe");
    registry.SetRaw(k + "C", "SystemComponent", kRegBinary, {1});
    Program(k + "D", "NameAsNumber", "u.exe");
    registry.SetDword(k + "D", "DisplayName", 5);
    Program(k + "E", "PublisherAsNumber", "u.exe");
    registry.SetDword(k + "E", "Publisher", 5);
    Program(k + "F", "IconAsNumber", "u.exe");
    registry.SetDword(k + "F", "DisplayIcon", 0);
    Program(k + "G", "After", "u.exe");
    Program(std::string(kUser) + "H", "User", "u.exe");

    Scan();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Before", "After", "User"}));
}

TEST_F(ScanTest, SourcesInOrderWithColumns) {
    Program(std::string(kWow) + "Tool32", "Tool 32",
            "\"C:\\Program Files (x86)\\Tool\\unins000.exe\"");
    registry.SetString(std::string(kWow) + "Tool32", "Publisher", "Тул Софт");
    registry.SetString(std::string(kWow) + "Tool32", "DisplayVersion", "1.2.3");
    registry.SetString(std::string(kWow) + "Tool32", "InstallLocation",
                       "C:\\Program Files (x86)\\Tool\\");
    registry.SetString(std::string(kWow) + "Tool32", "URLInfoAbout", "https://tool.example/");
    Program(std::string(kNative) + "Native", "Native 64", "C:\\Native\\un.exe");
    Program(std::string(kUser) + "Mine", "Mine", "C:\\Users\\T\\mine.exe");

    Scan();
    ASSERT_EQ(Captions(), (std::vector<std::string>{"Tool 32", "Native 64", "Tool 32", "Mine"}));
    const auto& first = sink.rows[0];
    EXPECT_EQ(first.columns[kColPublisher], "Тул Софт");
    EXPECT_EQ(first.columns[kColVersion], "1.2.3");
    EXPECT_EQ(first.columns[kColInstallDate], "01.12.2026");
    EXPECT_EQ(first.columns[kColInstallLocation], "C:\\Program Files (x86)\\Tool\\");
    EXPECT_EQ(first.columns[kColUninstallString],
              "\"C:\\Program Files (x86)\\Tool\\unins000.exe\"");
    EXPECT_EQ(first.columns[kColRootName], "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(first.columns[kColKeyPath],
              "\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool32");
    EXPECT_EQ(first.columns[kColUrlInfoAbout], "https://tool.example/");
    // The same key seen again through the 32-bit view, without WOW6432Node in its path.
    EXPECT_EQ(sink.rows[2].columns[kColKeyPath],
              "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool32");
    EXPECT_EQ(sink.rows[3].columns[kColRootName], "HKEY_CURRENT_USER");
    EXPECT_EQ(sink.started, Captions());
}

TEST_F(ScanTest, IconSourceChain) {
    files.AddFile("C:\\Program Files\\Bar\\bar.exe");
    files.AddFile("C:\\Program Files\\Bar\\uninstall.exe");
    files.AddFile("C:\\Apps\\app.ico");
    files.AddFile("C:\\Program Files (x86)\\Foo\\unins000.exe");
    const std::string k = kNative;
    Program(k + "IconIndex", "IconIndex", "x.exe");
    registry.SetString(k + "IconIndex", "DisplayIcon", "C:\\Program Files\\Bar\\Bar.exe,0");
    Program(k + "RawIcon", "RawIcon", "x.exe");
    registry.SetString(k + "RawIcon", "DisplayIcon", "C:\\Apps\\app.ico");
    Program(k + "NoX86", "NoX86", "\"%ProgramFiles%\\Bar\\uninstall.exe\" /S");
    Program(k + "Uninstaller", "Uninstaller", "\"C:\\Program Files (x86)\\Foo\\unins000.exe\"");
    Program(k + "Nothing", "Nothing", "gone.exe");
    registry.SetString(k + "Nothing", "DisplayIcon", "");
    Program(k + "Folder", "Folder", "C:\\Apps");

    Scan();
    ASSERT_EQ(sink.rows.size(), 6u);
    // The scan itself asks nothing of the file system; the icon source comes afterwards.
    EXPECT_TRUE(files.asked.empty());
    std::vector<std::string> sources;
    for (const UninstallEntry& row : sink.rows) {
        EXPECT_EQ(row.columns[kColIconSource], "");
        sources.push_back(IconSource(row, files, folders));
    }
    EXPECT_EQ(sources,
              (std::vector<std::string>{"c:\\program files\\bar\\bar.exe", "C:\\Apps\\app.ico",
                                        "c:\\program files\\bar\\uninstall.exe",
                                        "c:\\program files (x86)\\foo\\unins000.exe", "", ""}));
}

TEST(FirstExistingFileTest, EachFileAskedOnceInTheSpellingFirstGiven) {
    FakeFileSystem files;
    files.AddFile("C:\\Apps\\Tool.exe");
    const std::vector<std::string> candidates{"\"C:\\Apps\\Gone.exe\" /S", "c:\\apps\\gone.exe",
                                              "C:\\APPS\\GONE.EXE", "C:\\Apps\\Tool.exe,0",
                                              "c:\\apps\\tool.exe"};
    // The answer is the candidate as written; the file system is asked with the spelling the
    // entry itself used.
    EXPECT_EQ(FirstExistingFile(candidates, files), "c:\\apps\\tool.exe");
    EXPECT_EQ(files.asked,
              (std::vector<std::string>{"\"C:\\Apps\\Gone.exe\" /S", "C:\\Apps\\Gone.exe",
                                        "C:\\Apps\\Tool.exe,0", "C:\\Apps\\Tool.exe"}));
    EXPECT_EQ(FirstExistingFile({"", "d:\\x.exe"}, files), "");
}

TEST_F(ScanTest, SharedViewsReadTheWow6432NodeKeyOnceAndListTheSameRows) {
    Program(std::string(kWow) + "Tool32", "Tool 32", "u.exe");
    Program(std::string(kWow) + "Twin", "Twin", "u.exe");
    Program(std::string(kNative) + "Twin", "Twin", "u.exe");
    Program(std::string(kNative) + "Native", "Native 64", "u.exe");
    Program(std::string(kUser) + "Mine", "Mine", "u.exe");
    RecordingSink once;
    ScanEntries(ScanEnvironment{registry, files, folders, locale, true}, once);
    EXPECT_EQ(once.rows.size(), 5u);

    // Reading the 32-bit view again only adds duplicates: the rows left after removing them
    // are the same.
    Scan();
    EXPECT_EQ(sink.rows.size(), 7u);
    for (auto* rows : {&once.rows, &sink.rows}) {
        SortByName(*rows, 1, locale);
        RemoveDuplicates(*rows);
    }
    EXPECT_EQ(once.rows, sink.rows);
}

TEST_F(ScanTest, SlicesTogetherReadWhatOnePassReadsAndKnowTheirScanOrder) {
    for (int i = 0; i < 7; ++i) {
        Program(std::string(kWow) + "W" + std::to_string(i), "Same", "u.exe");
        Program(std::string(kNative) + "N" + std::to_string(i), "N" + std::to_string(i), "u.exe");
    }
    Program(std::string(kUser) + "U", "Same", "u.exe");
    Scan();
    std::vector<UninstallEntry> sliced;
    for (unsigned slice = 0; slice < 3; ++slice) {
        RecordingSink part;
        ScanEntries(ScanEnvironment{registry, files, folders, locale, false, slice, 3}, part);
        sliced.insert(sliced.end(), part.rows.begin(), part.rows.end());
    }
    std::sort(sliced.begin(), sliced.end(),
              [](const auto& a, const auto& b) { return a.id < b.id; });
    EXPECT_EQ(sliced, sink.rows);
}

TEST_F(ScanTest, MissingSourcesContributeNothingAndTheScanCanStop) {
    Scan();
    EXPECT_TRUE(sink.rows.empty());
    for (const char* name : {"P0", "P1", "P2", "P3", "P4"}) {
        Program(std::string(kUser) + name, name, "u.exe");
    }
    sink.stopAfter = 2;
    Scan();
    EXPECT_EQ(sink.rows.size(), 2u);
}

TEST_F(ScanTest, InstallDateIsTheLocalDayOfTheLastWrite) {
    // 22:30 UTC is the next day at UTC+3.
    EXPECT_EQ(InstallDateText(FileTimeOf(2026, 3, 31, 22, 30), locale), "01.04.2026");
    EXPECT_EQ(InstallDateText(0, locale), "30.12.1899");
    EXPECT_EQ(FormatShortDate("d/M/yy", DateTime{2005, 7, 4}), "4/7/05");
    EXPECT_EQ(FormatShortDate("yyyy-MM-dd", DateTime{2005, 7, 4}), "2005-07-04");
    EXPECT_EQ(FormatShortDate("dd' de 'MM", DateTime{2005, 7, 4}), "04 de 07");
}

TEST_F(ScanTest, SortByNameIsCaseInsensitiveStableAndDirected) {
    std::vector<UninstallEntry> rows(5);
    const char* names[] = {"бета", "Alpha", "альфа", "alpha", "Zulu"};
    for (int i = 0; i < 5; ++i) {
        rows[i].caption = names[i];
        rows[i].imageIndex = i;
    }
    SortByName(rows, +1, locale);
    std::vector<int> order;
    for (const auto& row : rows)
        order.push_back(row.imageIndex);
    EXPECT_EQ(order, (std::vector<int>{1, 3, 4, 2, 0}));
    SortByName(rows, -1, locale);
    order.clear();
    for (const auto& row : rows)
        order.push_back(row.imageIndex);
    EXPECT_EQ(order, (std::vector<int>{0, 2, 4, 1, 3}));
    EXPECT_LT(CompareKeys("Ab", "abc", +1, locale), 0);
    EXPECT_EQ(CompareKeys("ёж", "ЁЖ", +1, locale), 0);
}

}  // namespace
}  // namespace corvandel
