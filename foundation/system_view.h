#pragma once
// The system's own folders as this process must name them. A 32-bit process on 64-bit Windows
// is shown another machine than a 64-bit one: opening System32 or anything in it (the
// scheduler's Tasks folder, rundll32.exe) reaches SysWOW64; %ProgramFiles%,
// %CommonProgramFiles% and SHGetFolderPath's Program Files give the (x86) folders; and
// FOLDERID_ProgramFilesX64 fails. The 64-bit folders are named on purpose: System32 through its
// "Sysnative" alias, Program Files and Common Files as the 64-bit registry view's
// Windows\CurrentVersion key names them (a key only administrators write, unlike the
// environment, which the user's own settings reach).

#include <string>
#include <string_view>
#include <vector>

namespace corvandel {

struct SystemView {
    // A 32-bit process on 64-bit Windows: the file system and the registry are redirected.
    bool redirected = false;
    // True on 64-bit Windows, whatever this process's word size.
    bool windows64 = false;
    std::string windowsFolder;  // "C:\Windows", as the system names it
    // From Windows\CurrentVersion of the 64-bit registry view (32-bit Windows has one view):
    std::string programFiles;     // ProgramFilesDir, the machine's own: "C:\Program Files"
    std::string commonFiles;      // CommonFilesDir
    std::string programFilesX86;  // "ProgramFilesDir (x86)"; empty on 32-bit Windows
    std::string commonFilesX86;   // "CommonFilesDir (x86)"
};

// The machine's own System32 as this process reaches it, without a trailing separator:
// "<Windows>\Sysnative" when redirected, "<Windows>\System32" otherwise. Empty without a
// Windows folder.
std::string NativeSystemFolder(const SystemView& view);

// A program of the machine's own System32 ("rundll32.exe", "reg.exe") as this process starts
// it; empty without a Windows folder.
std::string NativeSystemProgram(const SystemView& view, std::string_view fileName);

// The scheduler's folder of task files, the 64-bit one on 64-bit Windows.
std::string TasksFolder(const SystemView& view);

// Every Program Files and Common Files folder of both views that the machine names, the
// 64-bit ones first: the system's, never a program's to remove.
std::vector<std::string> ProgramFilesFolders(const SystemView& view);

}  // namespace corvandel
