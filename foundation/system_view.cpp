#include "foundation/system_view.h"

namespace corvandel {

namespace {

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

}  // namespace

std::string NativeSystemFolder(const SystemView& view) {
    const std::string windows = WithoutTrailingSeparator(view.windowsFolder);
    if (windows.empty())
        return std::string();
    const std::string separator = windows.back() == '\\' ? "" : "\\";
    return windows + separator + (view.redirected ? "Sysnative" : "System32");
}

std::string NativeSystemProgram(const SystemView& view, std::string_view fileName) {
    const std::string folder = NativeSystemFolder(view);
    return folder.empty() ? folder : folder + "\\" + std::string(fileName);
}

std::string TasksFolder(const SystemView& view) {
    return NativeSystemProgram(view, "Tasks");
}

std::vector<std::string> ProgramFilesFolders(const SystemView& view) {
    std::vector<std::string> folders;
    for (const std::string* folder :
         {&view.programFiles, &view.commonFiles, &view.programFilesX86, &view.commonFilesX86}) {
        const std::string path = WithoutTrailingSeparator(*folder);
        if (!path.empty())
            folders.push_back(path);
    }
    return folders;
}

}  // namespace corvandel
