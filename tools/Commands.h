// The subcommands of the ostak tool and what they share.
#pragma once

#include "include/ostak.hpp"
#include "tools/Cli.h"

#include <memory>
#include <string>
#include <vector>

namespace ostak_tool {

class Reporter;
class PrivateCopy;

struct Command {
    const char *name;
    const char *synopsis; // "check [OPTIONS] FILE..."
    const char *summary;  // one line for the overview
    std::string help;     // the rest of its --help
    std::vector<OptionSpec> options;
    int (*run)(Context &context, const ParsedArgs &args);
};

Command CheckCommand();
Command ShowCommand();
Command FmtCommand();
Command DiffCommand();
Command MergeCommand();
Command SyncCommand();
Command NewCommand();
Command AppCommand();
Command RuleCommand();
Command MergeFileCommand();
Command TextconvCommand();

// ---- shared by the commands ----

// The exit code for a result code of loading: 0; 1 when the file is not a
// valid rule file; 2 for every other failure (input/output, installation file).
int ExitCodeOfLoad(int32_t code);

// Loads the file, reporting under `shown` (default: its path); answers the result code.
int32_t LoadReporting(ostak::RuleFile &file, Reporter &reporter, const std::string &shown = "");

// What the library is to load for `path`, read as `kind` by a command that
// must not write it. Loading a script's rule file may write it, so for that
// kind a private copy is made in `copy` and its path answered; for the other
// kinds the path itself.
std::string LoadPathFor(const Context &context, const std::string &path, ostak::FileKind kind,
                        std::unique_ptr<PrivateCopy> &copy);

// The file kinds, and the pairs of kinds a merge accepts, for --help.
extern const char *const kKindsHelp;
extern const char *const kPairsHelp;

// Exactly `count` positionals, else UsageError naming them.
void ExpectPositionals(const ParsedArgs &args, std::size_t count, const char *names);

} // namespace ostak_tool
