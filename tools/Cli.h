// Command-line plumbing of the ostak tool: exit codes, the errors that end a
// command, option parsing and the settings every command shares.
#pragma once

#include <iosfwd>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace ostak_tool {

// Exit codes, as diff(1) and grep(1) have them, the same for every command.
constexpr int kExitOk = 0;    // success: no differences, the file is fine
constexpr int kExitFound = 1; // what was looked for was found: differences (diff), problems (check)
constexpr int kExitError = 2; // trouble: a file that does not load, an error of use or of
                              // input/output, a merge or sync cancelled by its answers

// An error of use: a wrong option or argument. Reported with a hint to the
// help of the command it belongs to (none: the tool's help).
class UsageError : public std::runtime_error {
  public:
    explicit UsageError(const std::string &text, std::string command = "")
        : std::runtime_error(text), command_(std::move(command)) {}
    const std::string &command() const noexcept { return command_; }

  private:
    std::string command_;
};

// A failure that has been reported already; ends the command with its exit code.
class Failure : public std::exception {
  public:
    explicit Failure(int exitCode) : exitCode_(exitCode) {}
    int exitCode() const noexcept { return exitCode_; }
    const char *what() const noexcept override { return "ostak: failure reported"; }

  private:
    int exitCode_;
};

struct OptionSpec {
    const char *name; // long name without the dashes: "root"
    char shortName;   // 'o', or 0
    bool takesValue;  // --root DIR
};

// The parsed arguments of one command line.
struct ParsedArgs {
    std::vector<std::string> positionals;
    std::map<std::string, std::vector<std::string>> options; // flags hold one empty value per use

    bool Has(const std::string &name) const { return options.count(name) != 0; }
    // The last value given for the option, or `fallback`.
    std::string Value(const std::string &name, const std::string &fallback = "") const;
    const std::vector<std::string> &Values(const std::string &name) const;
};

// Parses `args` against `specs` ("--name VALUE", "--name=VALUE", "-x VALUE",
// grouped short flags "-qv", "--" ends the options). Throws UsageError.
ParsedArgs ParseArgs(const std::vector<std::string> &args, const std::vector<OptionSpec> &specs);

// The options every command takes.
const std::vector<OptionSpec> &GlobalOptionSpecs();

// Settings of one run of the tool.
struct Context {
    std::string root;     // the folder holding dat/ (empty: not given)
    bool utf8 = false;    // the converter switch
    bool quiet = false;   // no summaries, no warnings
    bool verbose = false; // trace lines, and where each message comes from
    bool stdinIsTerminal = false;
    long lockWaitMs = 10000; // how long to wait for another process's lock on a file to write
    std::istream *in = nullptr;
    std::ostream *out = nullptr;
    std::ostream *err = nullptr;
    std::string executable; // the tool's own path, for finding the data folder
};

// The folder holding dat/ to initialise over: --root, else the installed data
// folder, else dat/ beside the executable (build tree). Throws Failure when none holds dat/Ostak_res.
std::string ResolveRoot(const Context &context);

// Reports the tool's own problem on stderr: "ostak: error: text".
void Complain(const Context &context, const std::string &text);
// The same about a file: "FILE: error: text".
void ComplainAbout(const Context &context, const std::string &file, const std::string &text);
// A warning (not when quiet): "ostak: warning: text", or "FILE: warning: text".
void Warn(const Context &context, const std::string &text);
void WarnAbout(const Context &context, const std::string &file, const std::string &text);

// The cause of a failed system call, as strerror names it.
std::string Cause(int error);

// Fails with exit 2 unless `path` names an existing regular file that can be
// read; the message names the file and the cause.
void RequireRegularFile(const Context &context, const std::string &path);
// Fails with exit 2 unless `path` names a regular file or nothing (a file to write).
void RequireRegularOrMissing(const Context &context, const std::string &path);

// Reads a whole file; empty when it cannot be read (the second member says whether it existed).
std::pair<std::string, bool> ReadWholeFile(const std::string &path);

} // namespace ostak_tool
