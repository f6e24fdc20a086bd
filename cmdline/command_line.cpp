#include "cmdline/command_line.h"

#include <charconv>

#include "cmdline/output_formats.h"
#include "foundation/text.h"

namespace corvandel {

namespace {

struct Switch {
    std::string name;  // lower-cased, without "/"
    std::optional<std::string> value;
    std::string text;  // as given, for messages
};

Switch SplitSwitch(const std::string& arg) {
    Switch s;
    s.text = SafeLine(arg);
    const size_t equals = arg.find('=');
    s.name =
        AsciiLower(arg.substr(1, equals == std::string::npos ? std::string::npos : equals - 1));
    if (equals != std::string::npos)
        s.value = arg.substr(equals + 1);
    return s;
}

std::optional<CommandKind> CommandNamed(const std::string& name) {
    if (name == "list")
        return CommandKind::List;
    if (name == "uninstall")
        return CommandKind::Uninstall;
    if (name == "report")
        return CommandKind::Report;
    if (name == "leftovers")
        return CommandKind::Leftovers;
    if (name == "cleanups")
        return CommandKind::Cleanups;
    if (name == "restore")
        return CommandKind::Restore;
    return std::nullopt;
}

std::optional<int> Minutes(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || value < 1 || value > kMaxTimeoutMinutes)
        return std::nullopt;
    return value;
}

ParsedCommandLine Error(std::string text) {
    return {std::nullopt, std::move(text)};
}

// Whether a switch other than a command is known, and goes with the command.
bool IsOption(const std::string& name) {
    return name == "format" || name == "out" || name == "quiet" || name == "timeout" ||
           name == "cleanup";
}
bool Takes(CommandKind command, const std::string& name) {
    if (name == "format" || name == "out")
        return command == CommandKind::List || command == CommandKind::Leftovers ||
               command == CommandKind::Cleanups;
    return command == CommandKind::Uninstall;
}

std::string RootAlias(const std::string& lowerKey) {
    for (const auto& [alias, full] : {std::pair{"hklm\\", "hkey_local_machine\\"},
                                      std::pair{"hkcu\\", "hkey_current_user\\"}}) {
        if (lowerKey.starts_with(alias))
            return full + lowerKey.substr(std::string_view(alias).size());
    }
    return lowerKey;
}

std::string ComparableKey(const std::string& key) {
    std::string lower = AsciiLower(TrimBlanks(key));
    while (!lower.empty() && lower.back() == '\\')
        lower.pop_back();
    return RootAlias(lower);
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    std::optional<CommandKind> command;
    std::vector<std::string> loose;  // arguments that are no switch
    std::vector<Switch> options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.empty() || arg[0] != '/') {
            loose.push_back(arg);
            continue;
        }
        Switch s = SplitSwitch(arg);
        if (s.name == "?" || s.name == "help")
            return {CommandLine{}, {}};
        if (const auto kind = CommandNamed(s.name)) {
            if (command)
                return Error("only one command may be given");
            command = kind;
            if (*kind == CommandKind::Report || *kind == CommandKind::Restore) {
                // The file or the clean-up follows as the next argument, or after "=".
                if (!s.value && i + 1 < args.size() && !args[i + 1].empty() &&
                    args[i + 1][0] != '/') {
                    s.value = args[++i];
                }
                if (!s.value || TrimBlanks(*s.value).empty())
                    return Error(*kind == CommandKind::Report
                                     ? "/report needs the name of the HTML file to write"
                                     : "/restore needs a clean-up's id, as /cleanups prints it");
                (*kind == CommandKind::Report ? line.reportPath : line.cleanupId) = *s.value;
            } else if (s.value) {
                return Error(s.text + " takes no value");
            }
            continue;
        }
        if (!IsOption(s.name))
            return Error("unknown switch " + s.text);
        options.push_back(std::move(s));
    }
    if (!command)
        return Error(
            "no command given: /list, /uninstall, /report, /leftovers, /cleanups, /restore or /?");
    line.kind = *command;

    for (const Switch& s : options) {
        if (!Takes(*command, s.name))
            return Error(s.text + " does not go with this command");
        if (s.name == "quiet" || s.name == "cleanup") {
            if (s.value)
                return Error(s.text + " takes no value");
            (s.name == "quiet" ? line.quiet : line.cleanup) = true;
            continue;
        }
        if (!s.value || s.value->empty())
            return Error("/" + s.name + " needs a value after \"=\"");
        if (s.name == "format") {
            const std::string format = AsciiLower(*s.value);
            if (format == "json")
                line.format = ListFormat::Json;
            else if (format == "csv")
                line.format = ListFormat::Csv;
            else if (format == "text")
                line.format = ListFormat::Text;
            else
                return Error("/format takes json, csv or text, not " + SafeLine(*s.value));
        } else if (s.name == "out") {
            line.outPath = *s.value;
        } else if (const auto minutes = Minutes(*s.value)) {
            line.timeoutMinutes = *minutes;
        } else {
            return Error("/timeout takes whole minutes from 1 to " +
                         std::to_string(kMaxTimeoutMinutes));
        }
    }
    if (line.kind == CommandKind::Uninstall || line.kind == CommandKind::Leftovers) {
        line.keys = loose;
        if (line.keys.empty())
            return Error(
                std::string(line.kind == CommandKind::Uninstall ? "/uninstall" : "/leftovers") +
                " needs at least one key, as /list prints it");
    } else if (!loose.empty()) {
        return Error("unexpected argument " + SafeLine(loose.front()));
    }
    return {line, {}};
}

std::string UsageText() {
    return "Corvandel: lists the installed programs and uninstalls them.\r\n"
           "\r\n"
           "  Corvandel /list [/format=json|csv|text] [/out=FILE]\r\n"
           "      The programs as the window lists them (text by default).\r\n"
           "  Corvandel /uninstall KEY... [/quiet] [/timeout=MINUTES] [/cleanup]\r\n"
           "      Runs the uninstallers of the entries, one after another. KEY is the key\r\n"
           "      as /list prints it, or its last part when no other entry has it.\r\n"
           "      /quiet runs quiet uninstallers only and skips entries without one;\r\n"
           "      /timeout ends an uninstaller after that many minutes (default 30);\r\n"
           "      /cleanup moves what a removed entry left (the items the window ticks)\r\n"
           "      into a clean-up.\r\n"
           "  Corvandel /report FILE.html\r\n"
           "      Writes the HTML report of the list.\r\n"
           "  Corvandel /leftovers KEY... [/format=json|csv|text] [/out=FILE]\r\n"
           "      What the removed programs of these keys left, from their latest records.\r\n"
           "  Corvandel /cleanups [/format=json|csv|text] [/out=FILE]\r\n"
           "      The clean-ups kept in the quarantine.\r\n"
           "  Corvandel /restore ID\r\n"
           "      Puts everything of a clean-up back.\r\n"
           "  Corvandel /?\r\n"
           "      This text.\r\n"
           "\r\n"
           "Exit codes: 0 done; 3010 all removed, restart needed; 1 some entry not removed\r\n"
           "or some item not restored; 2 a key or clean-up not found, ambiguous, this\r\n"
           "program's own, without a record or still installed; 87 bad command line.\r\n";
}

std::string OutcomeText(const QueueItemState& state) {
    std::string text;
    switch (state.state) {
        case QueueState::Removed:
            text = "removed";
            break;
        case QueueState::StillListed:
            text = "still listed";
            break;
        case QueueState::Failed:
            if (state.timedOut)
                text = "failed, time limit reached";
            else if (state.startError != 0)
                text = "failed, did not start (error " + std::to_string(state.startError) + ")";
            else if (state.reason == LaunchReason::NoCommand)
                text = "failed, no uninstall command";
            else if (state.reason == LaunchReason::AmbiguousPath)
                text = "failed, the unquoted path names more than one program";
            else
                text = "failed, code " + std::to_string(state.exitCode);
            break;
        case QueueState::UninstallerMissing:
            text = "uninstaller not found";
            break;
        case QueueState::Skipped:
            text = "skipped, no quiet uninstaller";
            break;
        case QueueState::Cancelled:
            text = "cancelled";
            break;
        case QueueState::Waiting:
        case QueueState::Running:
            text = "not run";
            break;
    }
    if (state.restartNeeded)
        text += ", restart needed";
    return text;
}

int UninstallExitCode(const std::vector<QueueItemState>& states) {
    bool restart = false;
    for (const QueueItemState& state : states) {
        if (state.state != QueueState::Removed)
            return kExitNotAllRemoved;
        restart = restart || state.restartNeeded;
    }
    return restart ? kExitRestartNeeded : kExitSuccess;
}

std::string KeyName(const std::string& keyPath) {
    std::string_view path = keyPath;
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    const size_t slash = path.find_last_of('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

KeyMatch FindListedKey(const std::vector<std::string>& listedKeys, const std::string& key) {
    const std::string wanted = ComparableKey(key);
    const bool byName = wanted.find('\\') == std::string::npos;
    KeyMatch match;
    if (wanted.empty())
        return match;
    for (size_t i = 0; i < listedKeys.size(); ++i) {
        const std::string listed = ComparableKey(listedKeys[i]);
        if (listed != wanted && !(byName && KeyName(listed) == wanted))
            continue;
        if (match.kind == KeyMatch::Kind::Found)
            return {KeyMatch::Kind::Ambiguous, 0};
        match = {KeyMatch::Kind::Found, i};
    }
    return match;
}

}  // namespace corvandel
