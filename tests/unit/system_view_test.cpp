// The decisions that name the system's own folders, for each kind of process. The shipped
// program is 32-bit: on 64-bit Windows it is shown SysWOW64 for System32 and the (x86) folders
// for Program Files, and every decision here must still reach the 64-bit machine's own files.

#include "foundation/system_view.h"

#include <gtest/gtest.h>

#include "leftovers/leftover_rules.h"
#include "queue/queue_rules.h"
#include "removal/removal_rules.h"
#include "tests/fakes/fake_platform.h"

namespace corvandel {
namespace {

struct Process {
    const char* name;
    SystemView view;
    // What the shell's own answers give this process (SHGetFolderPath's Program Files).
    std::string shellProgramFiles;
    std::string tasks, rundll32, registryImport;
};

const SystemView kWow64{true,
                        true,
                        "C:\\Windows",
                        "C:\\Program Files",
                        "C:\\Program Files\\Common Files",
                        "C:\\Program Files (x86)",
                        "C:\\Program Files (x86)\\Common Files"};
SystemView Native64() {
    SystemView view = kWow64;
    view.redirected = false;
    return view;
}
const SystemView kWindows32{
    false, false, "C:\\WINDOWS\\", "C:\\Program Files", "C:\\Program Files\\Common Files", "", ""};

const Process kProcesses[] = {
    {"32-bit process on 64-bit Windows", kWow64, "C:\\Program Files (x86)",
     "C:\\Windows\\Sysnative\\Tasks", "C:\\Windows\\Sysnative\\rundll32.exe",
     "C:\\Windows\\Sysnative\\reg.exe"},
    {"64-bit process", Native64(), "C:\\Program Files", "C:\\Windows\\System32\\Tasks",
     "C:\\Windows\\System32\\rundll32.exe", "regedit.exe"},
    {"32-bit Windows", kWindows32, "C:\\Program Files", "C:\\WINDOWS\\System32\\Tasks",
     "C:\\WINDOWS\\System32\\rundll32.exe", "regedit.exe"},
};

TEST(SystemViewTest, TheSystemsOwnFilesAreTheMachinesOwnForEveryProcess) {
    for (const Process& process : kProcesses) {
        SCOPED_TRACE(process.name);
        const SystemView& view = process.view;
        EXPECT_EQ(TasksFolder(view), process.tasks);

        // An uninstaller that is a library is run by the machine's own rundll32.
        testing::FakeFileSystem files;
        files.AddFile("C:\\Program Files\\Contoso\\remove.dll");
        EntryFacts facts;
        facts.keyName = "Contoso";
        facts.uninstallString = "rundll32.exe \"C:\\Program Files\\Contoso\\remove.dll\",Remove";
        const QueueLaunch plan =
            PlanQueuedUninstall(facts, QueueMode::Interactive, UninstallerMaker::Unknown, files,
                                testing::FakeSpecialFolders(), NativeSystemFolder(view));
        ASSERT_TRUE(plan.launch.has_value());
        EXPECT_EQ(plan.launch->application, process.rundll32);

        EXPECT_EQ(PlanRestore("C:\\backup\\a.reg", view).file, process.registryImport);

        // Both Program Files folders are the system's: an entry that names one of them as its
        // folder has nothing in it offered, whatever the shell told this process.
        MachineFacts machine;
        machine.knownFolders = ProgramFilesFolders(view);
        machine.knownFolders.push_back(process.shellProgramFiles);
        machine.systemFolders = {view.windowsFolder};
        const LeftoverGuards guards(machine);
        for (const char* folder : {"C:\\Program Files", "C:\\Program Files\\Common Files"})
            EXPECT_TRUE(guards.IsProtected(folder)) << folder;
        ProgramRecord record;
        record.displayName = "Contoso Tools";
        record.publisher = "Contoso";
        record.installLocation = "C:\\Program Files\\";
        std::vector<Candidate> found(3);
        found[0].path = "C:\\Program Files\\Other App";
        found[1].path = "C:\\Program Files\\Common Files\\Other Shared";
        found[2].kind = LeftoverKind::File;
        found[2].path = "C:\\Program Files\\Other App\\other.exe";
        EXPECT_TRUE(FindLeftovers(record, found, machine).empty());
    }
}

}  // namespace
}  // namespace corvandel
