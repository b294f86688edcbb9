// Command-line plumbing of the ostak tool: exit codes, the errors that end a
// command, option parsing and the settings every command shares.
#pragma once

#include <iosfwd>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace ostak_tool {

constexpr int kExitOk = 0;
constexpr int kExitFound = 1; // differences found, or a file is not a valid rule file
constexpr int kExitError = 2; // an error of use or of input/output

// An error of use: a wrong option or argument. Reported with a hint to --help.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
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

// Reports the tool's own problem on stderr: "ostak: text".
void Complain(const Context &context, const std::string &text);

// Fails with exit 2 unless `path` names an existing regular file.
void RequireRegularFile(const Context &context, const std::string &path);

// Reads a whole file; empty when it cannot be read (the second member says whether it existed).
std::pair<std::string, bool> ReadWholeFile(const std::string &path);

} // namespace ostak_tool
