#include "cmdline/command_line.h"

#include <gtest/gtest.h>

#include "cmdline/output_formats.h"

namespace corvandel {
namespace {

TEST(CommandLineTest, ParsesEachCommandAndRefusesWhatDoesNotFit) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        CommandKind kind = CommandKind::Usage;
    };
    const Case cases[] = {
        {{"/list"}, true, CommandKind::List},
        {{"/LIST", "/Format=CSV", "/out=C:\\a b\\list.csv"}, true, CommandKind::List},
        {{"/uninstall", "HKLM\\x\\A", "B", "/quiet", "/timeout=90"}, true, CommandKind::Uninstall},
        {{"/report", "C:\\r.html"}, true, CommandKind::Report},
        {{"/report=C:\\r.html"}, true, CommandKind::Report},
        {{"/?"}, true, CommandKind::Usage},
        {{"/list", "/?"}, true, CommandKind::Usage},
        {{"/bogus"}, false},
        {{"/list", "/bogus"}, false},
        {{"/list", "/format=xml"}, false},
        {{"/list", "/format"}, false},
        {{"/list", "/out="}, false},
        {{"/list", "/quiet"}, false},
        {{"/list", "extra"}, false},
        {{"/list=1"}, false},
        {{"/list", "/uninstall", "A"}, false},
        {{"/uninstall"}, false},
        {{"/uninstall", "A", "/format=json"}, false},
        {{"/uninstall", "A", "/quiet=yes"}, false},
        {{"/uninstall", "A", "/timeout=0"}, false},
        {{"/uninstall", "A", "/timeout=5x"}, false},
        {{"/uninstall", "A", "/timeout=1441"}, false},
        {{"/report"}, false},
        {{"/report", "/list"}, false},
        {{"/uninstall", "A", "/cleanup"}, true, CommandKind::Uninstall},
        {{"/leftovers", "A", "/format=json", "/out=C:\\l.json"}, true, CommandKind::Leftovers},
        {{"/cleanups", "/format=csv"}, true, CommandKind::Cleanups},
        {{"/restore", "2026-12-10 16.05.32"}, true, CommandKind::Restore},
        {{"/leftovers"}, false},
        {{"/leftovers", "A", "/cleanup"}, false},
        {{"/cleanups", "A"}, false},
        {{"/restore"}, false},
        {{"/restore", "A", "B"}, false},
        {{"/list", "/cleanup"}, false},
        {{"A"}, false},
        {{}, false},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine parsed = ParseCommandLine(c.args);
        const std::string what = c.args.empty() ? "(nothing)" : c.args.back();
        ASSERT_EQ(parsed.command.has_value(), c.ok) << what << ": " << parsed.error;
        if (c.ok)
            EXPECT_EQ(parsed.command->kind, c.kind) << what;
        else
            EXPECT_EQ(parsed.error.find_first_of("\r\n"), std::string::npos) << what;
    }
    const auto list = ParseCommandLine({"/list", "/format=csv", "/out=C:\\a b\\list.csv"}).command;
    EXPECT_EQ(list->format, ListFormat::Csv);
    EXPECT_EQ(list->outPath, "C:\\a b\\list.csv");
    const auto uninstall =
        ParseCommandLine({"/uninstall", "B", "/quiet", "A", "/timeout=90"}).command;
    EXPECT_EQ(uninstall->keys, (std::vector<std::string>{"B", "A"}));
    EXPECT_TRUE(uninstall->quiet);
    EXPECT_EQ(uninstall->timeoutMinutes, 90);
    // A switch as typed reaches the one-line error without its control characters.
    const std::string error = ParseCommandLine({"/bo\ngus\x1b[2J"}).error;
    EXPECT_EQ(error.find_first_of("\n\x1b"), std::string::npos) << error;
}

TEST(CommandLineTest, WritersKeepEveryTextIntactOrVisiblyReplaced) {
    struct Case {
        std::string text;
        std::string json;
        std::string csv;
    };
    const Case cases[] = {
        {"Plain", "\"Plain\"", "Plain"},
        {"Программа", "\"Программа\"", "Программа"},
        {"Say \"hi\"", "\"Say \\\"hi\\\"\"", "\"Say \"\"hi\"\"\""},
        {"C:\\Tools, Inc", "\"C:\\\\Tools, Inc\"", "\"C:\\Tools, Inc\""},
        {"a\tb\r\nc", "\"a\\tb\\r\\nc\"", "\"a\tb\r\nc\""},
        {std::string("x\x01y\x1f", 4), "\"x\\u0001y\\u001f\"", std::string("x\x01y\x1f", 4)},
        // A lone surrogate kept from a UTF-16 name, a stray byte and a cut-off sequence.
        {"a\xED\xA0\x80z", "\"a\xEF\xBF\xBDz\"", "a\xEF\xBF\xBDz"},
        {"\xFFq\xD0", "\"\xEF\xBF\xBDq\xEF\xBF\xBD\"", "\xEF\xBF\xBDq\xEF\xBF\xBD"},
        {"😀", "\"😀\"", "😀"},
        // A spreadsheet would run these.
        {"=HYPERLINK(\"x\")", "\"=HYPERLINK(\\\"x\\\")\"", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"-2+3", "\"-2+3\"", "'-2+3"},
        {"", "\"\"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JsonString(c.text), c.json) << c.text;
        EXPECT_EQ(CsvField(c.text), c.csv) << c.text;
        const std::string line = SafeLine(c.text);
        EXPECT_EQ(line.find_first_of(std::string("\r\n\t\x01\x1f", 5)), std::string::npos);
    }
    EXPECT_EQ(SafeLine("a\x1b[31mb"), "a\xEF\xBF\xBD[31mb");
}

TEST(CommandLineTest, ListsAreWholeDocuments) {
    ListedProgram program;
    program.name = "One, \"1\"";
    program.key = "HKEY_CURRENT_USER\\X\\One";
    program.view = "user";
    program.estimatedSizeBytes = 2048;
    ListedProgram other = program;
    other.estimatedSizeBytes.reset();
    other.uninstallerMissing = true;
    EXPECT_EQ(ListJson({}), "[]\r\n");
    const std::string json = ListJson({program, other});
    EXPECT_NE(json.find("\"estimatedSizeBytes\": 2048}"), std::string::npos) << json;
    EXPECT_NE(json.find("\"uninstallerMissing\": true"), std::string::npos) << json;
    EXPECT_NE(json.find("\"estimatedSizeBytes\": null}"), std::string::npos) << json;
    const std::string csv = ListCsv({program});
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBFname,publisher,", 0), 0u);
    EXPECT_NE(csv.find("\r\n\"One, \"\"1\"\"\","), std::string::npos) << csv;
    // Every row of the text list puts the key in the same column.
    const std::string text = ListText({program, other});
    size_t column = std::string::npos;
    for (size_t start = text.find("\r\n") + 2; start < text.size();) {
        const size_t end = text.find("\r\n", start);
        const std::string line = text.substr(start, end - start);
        const size_t at = line.find("HKEY_CURRENT_USER");
        ASSERT_NE(at, std::string::npos) << line;
        EXPECT_EQ(at, column == std::string::npos ? (column = at) : column);
        start = end + 2;
    }
}

TEST(CommandLineTest, KeysAndOutcomes) {
    const std::vector<std::string> keys = {
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha",
        "HKEY_LOCAL_"
        "MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Twin",
        "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Twin",
    };
    struct Case {
        std::string key;
        KeyMatch::Kind kind;
        size_t index = 0;
    };
    const Case cases[] = {
        {keys[0], KeyMatch::Kind::Found, 0},
        {"hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\ALPHA\\",
         KeyMatch::Kind::Found, 0},
        {"HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Twin",
         KeyMatch::Kind::Found, 2},
        {"alpha", KeyMatch::Kind::Found, 0},
        {"Twin", KeyMatch::Kind::Ambiguous},
        {"Alph", KeyMatch::Kind::NotFound},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha",
         KeyMatch::Kind::NotFound},
        {"", KeyMatch::Kind::NotFound},
    };
    for (const Case& c : cases) {
        const KeyMatch match = FindListedKey(keys, c.key);
        EXPECT_EQ(match.kind, c.kind) << c.key;
        if (c.kind == KeyMatch::Kind::Found) {
            EXPECT_EQ(match.index, c.index) << c.key;
        }
    }

    auto state = [](QueueState s, bool restart = false) {
        QueueItemState item;
        item.state = s;
        item.restartNeeded = restart;
        return item;
    };
    struct Exit {
        std::vector<QueueItemState> states;
        int code;
    };
    const Exit exits[] = {
        {{state(QueueState::Removed), state(QueueState::Removed)}, kExitSuccess},
        {{state(QueueState::Removed), state(QueueState::Removed, true)}, kExitRestartNeeded},
        {{state(QueueState::Removed, true), state(QueueState::StillListed)}, kExitNotAllRemoved},
        {{state(QueueState::Skipped)}, kExitNotAllRemoved},
        {{state(QueueState::Running)}, kExitNotAllRemoved},
    };
    for (const Exit& e : exits)
        EXPECT_EQ(UninstallExitCode(e.states), e.code);
    // Wine and older tools cut exit codes to a byte: the distinct codes stay distinct there.
    for (const int code : {kExitNotAllRemoved, kExitKeyNotFound, kExitBadCommandLine})
        EXPECT_NE(code & 0xFF, kExitRestartNeeded & 0xFF);

    QueueItemState failed = state(QueueState::Failed, true);
    failed.reason = LaunchReason::QuietUninstallString;
    failed.exitCode = 1603;
    EXPECT_EQ(OutcomeText(failed), "failed, code 1603, restart needed");
    EXPECT_EQ(OutcomeText(state(QueueState::StillListed)), "still listed");
}

}  // namespace
}  // namespace corvandel
