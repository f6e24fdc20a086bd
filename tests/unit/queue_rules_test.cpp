#include "queue/queue_rules.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_registry.h"

namespace corvandel {
namespace {

const std::string kCode = "{12345678-9ABC-DEF0-1234-56789abcdef0}";
const std::string kSystem = "C:\\Windows\\system32";
const std::string kMsiexec = kSystem + "\\msiexec.exe";
enum Flags { kMsi = 1, kInno = 2, kLocked = 4 };

EntryFacts Facts(std::string key, std::string uninstall, std::string quiet = "",
                 std::string modify = "", int flags = 0) {
    EntryFacts f;
    f.keyName = key, f.uninstallString = uninstall, f.quietUninstallString = quiet;
    f.modifyPath = modify, f.windowsInstaller = flags & kMsi, f.innoSetupValues = flags & kInno;
    f.noModify = f.noRepair = flags & kLocked;
    return f;
}

// The fake folders are a 32-bit program's: "C:\Program Files (x86)" is its program folder.
class QueueRulesTest : public ::testing::Test {
  protected:
    QueueRulesTest() {
        for (const char* file :
             {"C:\\Program Files\\App\\uninst.exe", "C:\\Program Files (x86)\\Inno\\unins000.exe",
              "C:\\Windows\\system32\\helper.dll", "C:\\Windows\\AppRemove.exe",
              // What an unquoted path with blanks could be taken for.
              "C:\\Program.exe", "C:\\Tools\\a.exe", "C:\\Tools\\a.exe b.exe"})
            files.AddFile(file);
    }
    testing::FakeFileSystem files;
    testing::FakeSpecialFolders folders;
};

TEST_F(QueueRulesTest, PlansTheCommandOfEachEntryForEachMode) {
    using M = QueueMode;
    using R = LaunchReason;
    constexpr auto kNone = UninstallerMaker::Unknown;
    const std::string app = "\"C:\\Program Files\\App\\uninst.exe\" -x";
    const std::string inno = "\"C:\\Program Files (x86)\\Inno\\unins000.exe\"";
    const std::tuple<EntryFacts, QueueMode, UninstallerMaker, LaunchReason, std::string> cases[] = {
        // Inno Setup's own "/SILENT" is no quiet way: always very silent. NSIS's "/S" goes
        // before "_?=", which takes the rest of the line.
        {Facts("A_is1", inno, inno + " /SILENT", "", kInno), M::QuietWherePossible, kNone,
         R::InnoSetup, inno + " /VERYSILENT /SUPPRESSMSGBOXES /NORESTART"},
        {Facts("A", app + " _?=C:\\Program Files\\App"), M::QuietOnly, UninstallerMaker::Nsis,
         R::Nsis, "\"C:\\Program Files\\App\\uninst.exe\" -x /S _?=C:\\Program Files\\App"},
        // An unquoted path with blanks still reaches the child as one word.
        {Facts("A", "", "C:\\Program Files\\App\\uninst.exe /S"), M::QuietOnly, kNone,
         R::QuietUninstallString, "\"C:\\Program Files\\App\\uninst.exe\" /S"},
        {Facts(kCode, "MsiExec.exe /I" + kCode, "", "", kMsi), M::QuietOnly, kNone,
         R::WindowsInstaller, kMsiexec + " /X" + kCode + " /qn /norestart"},
        // The entry's own msiexec arguments never reach the installer.
        {Facts(kCode, "", "MsiExec.exe /i C:\\x.msi /qn"), M::QuietWherePossible, kNone,
         R::WindowsInstaller, kMsiexec + " /X" + kCode + " /qn /norestart"},
        {Facts("A", "MsiExec.exe /I{1234} TRANSFORMS=x.mst"), M::Interactive, kNone, R::NoCommand,
         ""},
        {Facts("A_is1", inno, "", "", kInno), M::QuietOnly, kNone, R::InnoSetup,
         inno + " /VERYSILENT /SUPPRESSMSGBOXES /NORESTART"},
        // Written with %ProgramFiles%, which a 32-bit program expands to the (x86) folder: also
        // found in the 64-bit one, and started under that name. Written out in full, an (x86)
        // path is taken as it stands: an orphaned 32-bit entry never runs the 64-bit edition's.
        {Facts("A", "%ProgramFiles%\\App\\uninst.exe"), M::QuietOnly, UninstallerMaker::Nsis,
         R::Nsis, "\"c:\\program files\\app\\uninst.exe\" /S"},
        {Facts("A", "C:\\Program Files (x86)\\App\\uninst.exe"), M::QuietOnly,
         UninstallerMaker::Nsis, R::UninstallerMissing, ""},
        // Unquoted with blanks: never "C:\Program.exe", never ".exe" added to a cut word; two
        // beginnings that both name a program file are refused.
        {Facts("A", "C:\\Program Files\\App\\uninstall /S"), M::Interactive, kNone, R::NoCommand,
         ""},
        {Facts("A", "C:\\Tools\\a.exe b.exe /S"), M::Interactive, kNone, R::AmbiguousPath, ""},
        {Facts("A", app), M::QuietOnly, kNone, R::NoQuietWay, ""},
        {Facts("A", app), M::QuietWherePossible, kNone, R::Interactive, app},
        {Facts("A", "C:\\Gone\\uninst.exe"), M::QuietOnly, kNone, R::UninstallerMissing, ""},
        // A bare name is only looked for in the system's folders, never beside this program.
        {Facts("A", "uninst.exe /S"), M::Interactive, kNone, R::UninstallerMissing, ""},
    };
    for (const auto& [facts, mode, maker, reason, commandLine] : cases) {
        SCOPED_TRACE(facts.uninstallString + " | " + facts.quietUninstallString);
        const QueueLaunch plan = PlanQueuedUninstall(facts, mode, maker, files, folders, kSystem);
        EXPECT_EQ(plan.reason, reason);
        EXPECT_EQ(plan.launch ? plan.launch->commandLine : "", commandLine);
    }
}

TEST(QueueOutcomeTest, EntryAndExitCodeDecide) {
    using S = QueueState;
    // started, start error, timed out, exit code, entry present -> state, restart
    const std::tuple<RunResult, QueueState, bool> cases[] = {
        {{false, 2, false, 0, false}, S::Failed, false},
        {{true, 0, true, 0, false}, S::Failed, false},
        {{true, 0, false, 1605, false}, S::Removed, false},
        {{true, 0, false, 3010, false}, S::Removed, true},
        {{true, 0, false, 0, true}, S::StillListed, false},
        {{true, 0, false, 1641, true}, S::StillListed, true},
        {{true, 0, false, 1602, true}, S::Cancelled, false},
        {{true, 0, false, 1603, true}, S::Failed, false}};
    for (const auto& [run, state, restart] : cases) {
        EXPECT_EQ(DecideOutcome(run).state, state) << run.exitCode;
        EXPECT_EQ(DecideOutcome(run).restartNeeded, restart) << run.exitCode;
    }
}

TEST(QueueEvidenceTest, CodesAndMakersNeedWellFormedEvidence) {
    const std::pair<EntryFacts, std::string> codes[] = {
        {Facts(kCode, "C:\\x.exe"), kCode},
        {Facts("A", "MsiExec.exe /x " + kCode + "\" & calc"), kCode},
        {Facts("A", "MsiExec.exe /I{12345678-9ABC-DEF0-1234}"), ""},
    };
    for (const auto& [facts, expected] : codes)
        EXPECT_EQ(ProductCode(facts).value_or(""), expected) << facts.uninstallString;

    using U = UninstallerMaker;
    const std::string wide("I\0n\0n\0o\0 \0S\0e\0t\0u\0p\0", 20);
    // NSIS's first header after a program of 1024 bytes: the uninstaller's and the installer's.
    const std::string program = "MZ" + std::string(1022, '\0');
    const std::string header("\xEF\xBE\xAD\xDENullsoftInst", 16);
    const std::tuple<std::string, std::string, UninstallerMaker> makers[] = {
        {"C:\\A\\uninst.exe", program + std::string("\x01\0\0\0", 4) + header, U::Nsis},
        {"C:\\A\\setup.exe", program + std::string("\0\0\0\0", 4) + header, U::Unknown},
        // The letters alone, or off a 512-byte boundary, are any file's.
        {"C:\\A\\notes.exe", "MZ.NullsoftInst.", U::Unknown},
        {"C:\\A\\uninst.exe", program + "x" + std::string("\x01\0\0\0", 4) + header, U::Unknown},
        {"C:\\A\\unins000.exe", "MZ.Inno Setup.", U::InnoSetup},
        {"C:\\A\\UNINS012.EXE", "MZ." + wide, U::InnoSetup},
        {"C:\\Inno Setup\\setup.exe", "MZ.Inno Setup.", U::Unknown},
    };
    for (const auto& [file, bytes, maker] : makers)
        EXPECT_EQ(RecognizeUninstaller(file, bytes), maker) << file;
}

TEST_F(QueueRulesTest, MissingUninstallerIsJudgedByTheFileItNames) {
    const std::pair<std::string, bool> cases[] = {
        {"RunDll32.exe C:\\Windows\\system32\\gone.dll,Remove", true},
        {"RunDll32.exe \"C:\\Windows\\system32\\helper.dll\",Remove", false},
        {"C:\\Gone\\uninst.exe /S", true},
        {"MsiExec.exe /X" + kCode, false},
        {"", false},
        {"C:\\Program Files\\App\\uninst.exe /x", false},
        {"%SystemRoot%\\AppRemove.exe -remove", false},
    };
    for (const auto& [command, missing] : cases)
        EXPECT_EQ(UninstallerIsMissing(command, files, folders), missing) << command;
}

TEST_F(QueueRulesTest, ModifyAndRepairRespectTheEntrysFlags) {
    // facts -> modify and repair command lines, empty when not offered
    const std::tuple<EntryFacts, std::string, std::string> cases[] = {
        {Facts(kCode, "MsiExec.exe /X" + kCode), kMsiexec + " /I" + kCode,
         kMsiexec + " /fa" + kCode},
        {Facts(kCode, "", "", "", kMsi | kLocked), "", ""},
        {Facts("A", "", "", "C:\\Program Files\\App\\uninst.exe /m"),
         "\"C:\\Program Files\\App\\uninst.exe\" /m", ""},
    };
    for (const auto& [facts, modify, repair] : cases) {
        const auto modifyLaunch = PlanModify(facts, files, folders, kSystem);
        const auto repairLaunch = PlanRepair(facts, kSystem);
        EXPECT_EQ(modifyLaunch ? modifyLaunch->commandLine : "", modify) << facts.modifyPath;
        EXPECT_EQ(repairLaunch ? repairLaunch->commandLine : "", repair) << facts.modifyPath;
    }
}

TEST(QueueEntryFactsTest, ReadsTheRowsViewAndToleratesOddValueTypes) {
    const std::string path = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    testing::FakeRegistry registry;
    const std::string native = "HKLM" + path + kCode;
    registry.SetString(native, "UninstallString", "MsiExec.exe /X" + kCode, kRegExpandSz);
    registry.SetDword(native, "WindowsInstaller", 1);
    registry.SetString(native, "NoModify", "1");
    registry.SetRaw(native, "NoRepair", kRegBinary, {1, 0, 0, 0});  // not a flag's type
    registry.SetDword(native, "QuietUninstallString", 7);
    // A 32-bit entry, listed under the path the 32-bit view gives it.
    const std::string wow = "HKLM\\SOFTWARE\\WOW6432Node" + path.substr(9) + "A";
    registry.SetString(wow, "UninstallString", "C:\\A\\uninst.exe");
    registry.SetString(wow, "Inno Setup: App Path", "C:\\A");
    registry.SetString("HKCU" + path + "Mine", "QuietUninstallString", "C:\\u.exe /S");

    const auto facts = ReadEntryFacts(registry, "HKEY_LOCAL_MACHINE", path + kCode);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->uninstallString + facts->quietUninstallString, "MsiExec.exe /X" + kCode);
    EXPECT_TRUE(facts->windowsInstaller && facts->noModify);
    EXPECT_FALSE(facts->noRepair || facts->innoSetupValues);
    const auto old = ReadEntryFacts(registry, "HKEY_LOCAL_MACHINE", path + "A");
    EXPECT_TRUE(old && old->innoSetupValues && old->uninstallString == "C:\\A\\uninst.exe");
    const auto mine = ReadEntryFacts(registry, "HKEY_CURRENT_USER", path + "Mine");
    EXPECT_EQ(mine ? mine->quietUninstallString : "", "C:\\u.exe /S");
    EXPECT_FALSE(ReadEntryFacts(registry, "HKEY_LOCAL_MACHINE", path + "Gone"));
    EXPECT_FALSE(ReadEntryFacts(registry, "HKEY_CLASSES_ROOT", path + kCode));
    EXPECT_EQ(registry.OpenHandles(), 0);
}

}  // namespace
}  // namespace corvandel
