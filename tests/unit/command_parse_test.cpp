#include "inventory/command_parse.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_platform.h"

namespace corvandel {
namespace {

using testing::FakeFileSystem;
using testing::FakeSpecialFolders;

struct CommandCase {
    const char* command;
    const char* runPath;
    const char* params;
};

class CommandParseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        files.AddFile("c:\\program files (x86)\\foo\\unins000.exe");
        files.AddFile("c:\\program files\\bar\\uninstall.exe");
        files.AddFile("C:\\Windows\\system32\\msiexec.exe");
    }
    FakeFileSystem files;
    FakeSpecialFolders folders;
};

TEST_F(CommandParseTest, WorkedExamples) {
    const CommandCase cases[] = {
        {"\"C:\\Program Files (x86)\\Foo\\unins000.exe\"",
         "c:\\program files (x86)\\foo\\unins000.exe", ""},
        {"\"C:\\Program Files (x86)\\Foo\\unins000.exe\" /SILENT",
         "c:\\program files (x86)\\foo\\unins000.exe", "/SILENT"},
        {"MsiExec.exe /X{1F2E3D4C-0000-1111-2222-333344445555}",
         "C:\\Windows\\system32\\msiexec.exe", "/X{1F2E3D4C-0000-1111-2222-333344445555}"},
        {"msiexec /x {1F2E3D4C-0000-1111-2222-333344445555}",
         "msiexec \\x {1f2e3d4c-0000-1111-2222-333344445555}",
         "/x {1F2E3D4C-0000-1111-2222-333344445555}"},
        {"MsiExec", "C:\\Windows\\system32\\msiexec.exe", ""},
        {"C:\\Program Files\\Bar\\uninstall.exe -uninstall",
         "c:\\program files\\bar\\uninstall.exe", "-uninstall"},
        {"%ProgramFiles%\\Bar\\uninstall.exe", "c:\\program files (x86)\\bar\\uninstall.exe", ""},
        {"C:\\\\Program Files\\\\Bar\\\\uninstall.exe", "c:\\program files\\bar\\uninstall.exe",
         ""},
        {"RunDll32 C:\\PROGRA~2\\Common\\Ctor.dll,LaunchSetup C:\\Setup\\setup.exe -l0x9 "
         "-removeonly",
         "c:\\progra~2\\common\\ctor.dll", ",LaunchSetup C:\\Setup\\setup.exe -l0x9 -removeonly"},
        {"C:\\Program Files\\Bar\\bar.exe,0", "c:\\program files\\bar\\bar.exe", ",0"},
        {"%SystemRoot%\\system32\\shell32.dll,-154", "%systemroot%\\system32\\shell32.dll",
         ",-154"},
        {"C:\\Program Files\\Bar\\readme.html", "c:\\program files\\bar\\readme.htm", ""},
        {"uninstall.exe", "uninstall.exe", ""},
        // A UNC path loses one leading backslash and is then treated as relative.
        {"\\\\server\\share\\x.exe", "\\server\\share\\x.exe", ""},
        // ".dll" or ".exe" earlier in the text wins over the three-letter cut.
        {"C:\\Tools\\run.exe C:\\Docs\\readme.html", "c:\\tools\\run.exe", ""},
        // A comma inside the folder name starts the parameters early.
        {"C:\\Apps, Tools\\app.exe /S", "c:\\apps, tools\\app.exe", ", Tools\\app.exe /S"},
        {"  \t", "", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(RunPath(c.command, files, folders), c.runPath);
        EXPECT_EQ(EraseParam(c.command), c.params);
    }
}

TEST_F(CommandParseTest, RelativeNamesAreFoundInSystemWindowsAndAppDataInThatOrder) {
    files.AddFile("C:\\Windows\\tool.exe");
    files.AddFile("C:\\Users\\Tester\\AppData\\Roaming\\tool.exe");
    EXPECT_EQ(RunPath("TOOL.EXE /q", files, folders), "C:\\Windows\\tool.exe");
    files.AddFile("C:\\Users\\Tester\\AppData\\Roaming\\App\\un.exe");
    // The name part keeps the lower case it was given; the folder keeps the system's case.
    EXPECT_EQ(RunPath("App\\Un.exe", files, folders),
              "C:\\Users\\Tester\\AppData\\Roaming\\app\\un.exe");
    EXPECT_EQ(RunPath("%APPDATA%\\App\\un.exe", files, folders),
              "c:\\users\\tester\\appdata\\roaming\\app\\un.exe");
}

TEST_F(CommandParseTest, FailedFolderLookupLeavesEmptyReplacement) {
    folders.folders.erase(kCsidlProgramFiles);
    EXPECT_EQ(RunPath("%ProgramFiles%\\Bar\\uninstall.exe", files, folders),
              "\\bar\\uninstall.exe");
}

TEST(ExtensionTailTest, CutsAfterThreeLetters) {
    EXPECT_EQ(ExtensionTail("a.html"), "l");
    EXPECT_EQ(ExtensionTail("a.exe /S"), " /S");
    EXPECT_EQ(ExtensionTail("a.exe"), "");
    EXPECT_EQ(ExtensionTail("dir.d\\file"), "");
    EXPECT_EQ(ExtensionTail("c:file"), "");
    EXPECT_EQ(ExtensionTail("noext"), "");
}

}  // namespace
}  // namespace corvandel
