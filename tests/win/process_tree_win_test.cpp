// The process-tree runner under Wine, with tree_child.exe (built beside this test) standing in
// for an uninstaller: a run lasts until the last process of the tree has ended, the time limit
// ends the whole tree, and giving up the wait leaves the tree running.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "foundation/win_text.h"
#include "queue/process_tree_win.h"

namespace corvandel {
namespace {

using std::chrono::milliseconds;

// A launch of tree_child.exe, and a file of its own (with a blank, which must stay inside one
// argument) for the child to write.
struct Child {
    explicit Child(const std::string& arguments) {
        wchar_t path[MAX_PATH + 1] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::string program = Narrow(path);
        program = program.substr(0, program.find_last_of('\\') + 1) + "tree_child.exe";
        GetTempPathW(MAX_PATH + 1, path);
        static int count = 0;
        mark = Narrow(path) + "corvandel tree " + std::to_string(++count) + ".txt";
        DeleteFileW(Widen(mark).c_str());
        launch = {program, "\"" + program + "\" " + arguments + " \"" + mark + "\""};
    }
    ~Child() { DeleteFileW(Widen(mark).c_str()); }
    bool Marked() const {
        return GetFileAttributesW(Widen(mark).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::string mark;
    ProcessLaunch launch;
};

bool NeverStop() {
    return false;
}

TEST(ProcessTreeWinTest, WaitsForTheCopyThatOutlivesTheProcessStarted) {
    const Child restart("exit 3010 200");
    const TreeRun first = RunProcessTree(restart.launch, milliseconds(60000), NeverStop);
    EXPECT_TRUE(first.started && !first.timedOut && !first.abandoned);
    EXPECT_EQ(first.exitCode, 3010u);

    const Child copying("spawn 7 1500");
    const TreeRun run = RunProcessTree(copying.launch, milliseconds(60000), NeverStop);
    EXPECT_TRUE(copying.Marked()) << "the run ended before the copy did";
    EXPECT_EQ(run.exitCode, 7u);
}

TEST(ProcessTreeWinTest, TimeLimitEndsTheWholeTree) {
    // The second limit leaves the process started time to start its copy first.
    const std::pair<const char*, DWORD> cases[] = {{"late 1500", 300}, {"spawn 0 2500", 1500}};
    for (const auto& [arguments, limit] : cases) {
        const Child child(arguments);
        const TreeRun run = RunProcessTree(child.launch, milliseconds(limit), NeverStop);
        EXPECT_TRUE(run.started && run.timedOut) << arguments;
        Sleep(3500 - limit);  // past the moment the mark was due
        EXPECT_FALSE(child.Marked()) << arguments << ": a process of the tree outlived the limit";
    }
}

TEST(ProcessTreeWinTest, StoppingGivesUpTheWaitAndLeavesTheTreeRunning) {
    const Child child("spawn 0 1000");
    int asked = 0;
    const auto begin = std::chrono::steady_clock::now();
    const TreeRun run =
        RunProcessTree(child.launch, milliseconds(60000), [&asked] { return ++asked >= 2; });
    EXPECT_TRUE(run.started && run.abandoned && !run.timedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, milliseconds(900));
    for (int i = 0; i < 50 && !child.Marked(); ++i)
        Sleep(100);
    EXPECT_TRUE(child.Marked()) << "closing the job ended the tree";
}

TEST(ProcessTreeWinTest, MissingProgramIsNotStarted) {
    const Child child("");
    const TreeRun run =
        RunProcessTree({child.mark + ".exe", "x /S"}, milliseconds(1000), NeverStop);
    EXPECT_FALSE(run.started);
    EXPECT_EQ(run.startError, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace corvandel
