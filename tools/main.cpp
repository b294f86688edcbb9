// ostak: the command-line tool over the Ostak library.
#include "tools/Cli.h"
#include "tools/Commands.h"
#include "tools/Text.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <langinfo.h>
#include <new>
#include <unistd.h>

#ifndef OSTAK_TOOL_VERSION
#define OSTAK_TOOL_VERSION "unknown"
#endif

namespace ostak_tool {

namespace {

const char *const kGlobalHelp =
    "Global options (anywhere on the line):\n"
    "  --root DIR     the folder holding dat/: the message catalogue, the document\n"
    "                 type file and the installation file (for sync, and for\n"
    "                 any command that writes a script's rule file). Default: the\n"
    "                 installed data folder, else dat/ beside the executable\n"
    "  --utf8         convert through ICU and write UTF-8 (the library's converter\n"
    "                 switch); otherwise the locale decides\n"
    "  --wait SECONDS how long a command that writes a file waits for another\n"
    "                 process that is writing it (default 10)\n"
    "  -q, --quiet    print no summaries and no warnings\n"
    "  -v, --verbose  print the library's trace lines, and where each message comes from\n"
    "  --version      print the version\n"
    "  -h, --help     print help\n"
    "\n"
    "Messages go to stderr, one line each, as compilers write them:\n"
    "  FILE:LINE:COL: error: TEXT [NUMBER]     (a position in FILE)\n"
    "  FILE: warning: APP/RULE: TEXT [NUMBER]  (no position; what it is about)\n"
    "  ostak: error: TEXT                      (the tool's own, about no file)\n"
    "NUMBER is the library's message number. FILE \"-\" (standard input) is shown\n"
    "as <stdin>.\n";

const std::vector<Command> &AllCommands() {
    static const std::vector<Command> commands = {
        CheckCommand(), ShowCommand(),  NewCommand(),  AppCommand(),       RuleCommand(),    FmtCommand(),
        DiffCommand(),  MergeCommand(), SyncCommand(), MergeFileCommand(), TextconvCommand()};
    return commands;
}

void PrintOverview(std::ostream &out) {
    out << "Usage: ostak [OPTIONS] COMMAND [ARGS]\n"
           "\n"
           "Keeps the rule files of a script-driven tool: checks, shows, edits, compares\n"
           "and merges them (three-way too, also as git's merge driver), and keeps a\n"
           "script's rule file in step with the installation file.\n"
           "\n"
           "Commands:\n";
    for (const Command &command : AllCommands()) {
        const std::size_t length = std::strlen(command.name);
        out << "  " << command.name << std::string(length < 12 ? 12 - length : 1, ' ') << command.summary
            << '\n';
    }
    out << "  help    print the help of a command: ostak help COMMAND\n";
    out << "\n"
        << kGlobalHelp << "\n"
        << kExitStatusHelp
        << "\nRun 'ostak COMMAND --help' (or 'ostak help COMMAND') for a command's arguments.\n";
}

// For the shell completion: the commands, or a command's options, one a line
// ("--prefer=" for an option that takes a value). Always what the tool accepts.
void PrintCompletionWords(std::ostream &out, const Command *command) {
    if (command == nullptr) {
        for (const Command &each : AllCommands()) {
            out << each.name << '\n';
        }
        return;
    }
    std::vector<OptionSpec> accepted = command->options;
    accepted.insert(accepted.end(), GlobalOptionSpecs().begin(), GlobalOptionSpecs().end());
    for (const OptionSpec &option : accepted) {
        if (std::strcmp(option.name, "completion-words") != 0) {
            out << "--" << option.name << (option.takesValue ? "=" : "") << '\n';
        }
    }
}

void PrintCommandHelp(std::ostream &out, const Command &command) {
    out << "Usage: ostak " << command.synopsis << "\n\n"
        << command.help << "\n"
        << kExitStatusHelp << "\n"
        << kGlobalHelp;
}

const Command *FindCommandNamed(const std::string &name) {
    for (const Command &candidate : AllCommands()) {
        if (name == candidate.name) {
            return &candidate;
        }
    }
    return nullptr;
}

// ostak help [COMMAND]
int RunHelp(Context &context, const std::vector<std::string> &args) {
    std::vector<std::string> words;
    for (const std::string &arg : args) {
        if (arg != "help") {
            words.push_back(arg);
        }
    }
    if (words.empty()) {
        PrintOverview(*context.out);
        return kExitOk;
    }
    const Command *command = words.size() == 1 ? FindCommandNamed(words[0]) : nullptr;
    if (command == nullptr) {
        throw UsageError(words.size() == 1 ? "help: unknown command \"" + words[0] + "\""
                                           : std::string("help: expected one COMMAND"));
    }
    PrintCommandHelp(*context.out, *command);
    return kExitOk;
}

// --wait SECONDS: a number of seconds from 0 to a day, fractions allowed.
long WaitOption(const std::string &text) {
    char *end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0' || !(seconds >= 0 && seconds <= 86400)) {
        throw UsageError("--wait needs a number of seconds (0 to 86400), not \"" + text + "\"");
    }
    return static_cast<long>(seconds * 1000);
}

std::string ExecutablePath(const char *argv0) {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(argv0) : self.string();
}

// The position of the command word: the first argument that is neither an
// option nor the value of a global option.
std::size_t FindCommand(const std::vector<std::string> &args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--root" || args[i] == "--wait") {
            ++i;
        } else if (args[i].empty() || args[i][0] != '-') {
            return i;
        }
    }
    return args.size();
}

int Run(Context &context, std::vector<std::string> args) {
    const std::size_t at = FindCommand(args);
    if (at == args.size()) {
        const ParsedArgs parsed = ParseArgs(args, GlobalOptionSpecs());
        if (parsed.Has("completion-words")) {
            PrintCompletionWords(*context.out, nullptr);
            return kExitOk;
        }
        if (parsed.Has("version")) {
            *context.out << "ostak " << OSTAK_TOOL_VERSION << '\n';
            return kExitOk;
        }
        if (parsed.Has("help")) {
            PrintOverview(*context.out);
            return kExitOk;
        }
        PrintOverview(*context.err);
        return kExitError;
    }
    const std::string name = args[at];
    if (name == "help") {
        return RunHelp(context,
                       std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(at), args.end()));
    }
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(at));
    const Command *command = FindCommandNamed(name);
    if (command == nullptr) {
        throw UsageError("unknown command \"" + name + "\"");
    }
    std::vector<OptionSpec> specs = GlobalOptionSpecs();
    specs.insert(specs.end(), command->options.begin(), command->options.end());
    ParsedArgs parsed;
    try {
        parsed = ParseArgs(args, specs);
    } catch (const UsageError &error) {
        throw UsageError(std::string(command->name) + ": " + error.what(), command->name);
    }
    if (parsed.Has("completion-words")) {
        PrintCompletionWords(*context.out, command);
        return kExitOk;
    }
    if (parsed.Has("help")) {
        PrintCommandHelp(*context.out, *command);
        return kExitOk;
    }
    if (parsed.Has("version")) {
        *context.out << "ostak " << OSTAK_TOOL_VERSION << '\n';
        return kExitOk;
    }
    context.root = parsed.Value("root");
    if (parsed.Has("root") && context.root.empty()) {
        throw UsageError(std::string(command->name) + ": --root needs a folder", command->name);
    }
    if (parsed.Has("wait")) {
        try {
            context.lockWaitMs = WaitOption(parsed.Value("wait"));
        } catch (const UsageError &error) {
            throw UsageError(std::string(command->name) + ": " + error.what(), command->name);
        }
    }
    context.utf8 = parsed.Has("utf8");
    context.quiet = parsed.Has("quiet");
    context.verbose = parsed.Has("verbose");
    context.root = ResolveRoot(context);
    const char *codeset = nl_langinfo(CODESET);
    SetTextsAreUtf8(context.utf8 || (codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0));
    try {
        return command->run(context, parsed);
    } catch (const UsageError &error) {
        throw UsageError(std::string(command->name) + ": " + error.what(), command->name);
    }
}

} // namespace

} // namespace ostak_tool

int main(int argc, char **argv) {
    using namespace ostak_tool;
    // The library's texts are in the locale's code page.
    std::setlocale(LC_CTYPE, "");
    Context context;
    context.in = &std::cin;
    context.out = &std::cout;
    context.err = &std::cerr;
    context.stdinIsTerminal = isatty(STDIN_FILENO) != 0;
    context.executable = ExecutablePath(argv[0]);
    int exitCode = kExitError;
    try {
        exitCode = Run(context, std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError &error) {
        const std::string help =
            error.command().empty() ? "ostak --help" : "ostak " + error.command() + " --help";
        std::cerr << "ostak: error: " << error.what() << "\nRun '" << help << "' for help.\n";
        exitCode = kExitError;
    } catch (const Failure &failure) {
        exitCode = failure.exitCode();
    } catch (const std::bad_alloc &) {
        std::cerr << "ostak: error: out of memory\n";
        exitCode = kExitError;
    } catch (const std::exception &error) {
        std::cerr << "ostak: error: " << error.what() << '\n';
        exitCode = kExitError;
    }
    std::cout.flush();
    return exitCode;
}
