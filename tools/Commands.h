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

// The exit code for a result code of loading a file that must load: 0, else
// 2 (trouble: the file is not a valid rule file, cannot be read, or the
// installation file it needs does not load). check has its own.
int ExitCodeOfLoad(int32_t code);

// Loads the file, reporting under `shown` (default: its path); answers the
// result code. The messages of a script's rule file whose installation file
// does not load are reported as about the installation file.
int32_t LoadReporting(ostak::RuleFile &file, Reporter &reporter, const std::string &shown = "");

// How standard input is named in messages and output.
extern const char *const kStdinName;

// A file named on the command line, to load: "-" is standard input, read
// once into a private copy; a file read as a script's rule file is loaded
// from a private copy (its load may write it); any other is loaded where it is.
struct InputFile {
    std::string shown; // as messages and output name it
    std::string load;  // what the library loads
    std::unique_ptr<PrivateCopy> copy;
};
// Fails with exit 2 when the file cannot be read (its cause said), and with
// an error of use when standard input is named twice.
InputFile OpenInput(const Context &context, const std::string &arg, ostak::FileKind kind);

// Where a command writes a file that `-o` names: "-" is standard output, for
// which the file is written to a private folder and then copied out.
class OutputFile {
  public:
    OutputFile(const Context &context, const std::string &arg);
    ~OutputFile();
    bool toStdout() const { return copy_ != nullptr; }
    const std::string &path() const; // what the library writes
    const std::string &shown() const { return shown_; }
    // Copies what was written to standard output (nothing for a file).
    void Deliver(const Context &context) const;

  private:
    std::string path_;
    std::string shown_;
    std::unique_ptr<PrivateCopy> copy_;
};

// "1 application", "2 applications".
std::string Counted(std::size_t count, const char *noun);

// What the library is to load for `path`, read as `kind` by a command that
// must not write it. Loading a script's rule file may write it, so for that
// kind a private copy is made in `copy` and its path answered; for the other
// kinds the path itself.
std::string LoadPathFor(const Context &context, const std::string &path, ostak::FileKind kind,
                        std::unique_ptr<PrivateCopy> &copy);

// The file kinds, and the pairs of kinds a merge accepts, for --help.
extern const char *const kKindsHelp;
extern const char *const kPairsHelp;

// The help line every command ends with, and the table of exit codes.
extern const char *const kExitStatusHelp;

// Exactly `count` positionals, else UsageError naming them.
void ExpectPositionals(const ParsedArgs &args, std::size_t count, const char *names);

} // namespace ostak_tool
