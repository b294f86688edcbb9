// Runs the built ostak tool as a separate process, the way a person or a
// script does: arguments, a working folder, text on stdin, the locale.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tool_test {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

struct RunOptions {
    std::string cwd;                                      // empty: the current folder
    std::string input;                                    // stdin (not a terminal)
    std::string locale = "C";                             // LC_ALL of the run
    std::vector<std::pair<std::string, std::string>> env; // further variables
};

// The path of the built tool.
std::string ToolPath();
// The project's source folder.
std::string SourceDir();

RunResult RunTool(const std::vector<std::string> &args, const RunOptions &options = {});

// A run of a program that goes on beside the test until Wait(): for runs that
// race each other, or that the test signals while they wait for input.
class RunningProgram {
  public:
    // With `holdInput` the program's stdin is a pipe the test keeps open (a
    // prompt then waits) instead of `options.input`.
    RunningProgram(const std::string &program, const std::vector<std::string> &args, const RunOptions &options,
                   bool holdInput = false);
    ~RunningProgram(); // kills a run not waited for
    RunningProgram(const RunningProgram &) = delete;
    RunningProgram &operator=(const RunningProgram &) = delete;

    int pid() const { return pid_; }
    // The pipe to the program's stdin (with `holdInput`), for answers.
    int InputFd() const { return inputWriter_; }
    std::string OutSoFar() const;
    // Waits until stdout holds `text` (false after `seconds`).
    bool WaitForOutput(const std::string &text, double seconds) const;
    RunResult Wait();

  private:
    struct Io;
    Io *io_;
    int pid_ = -1;
    int inputWriter_ = -1;
};
// Runs any program (the examples writer).
RunResult RunProgram(const std::string &program, const std::vector<std::string> &args,
                     const RunOptions &options = {});

// A fresh temporary folder, removed with its content at the end.
class Workspace {
  public:
    Workspace();
    ~Workspace();
    Workspace(const Workspace &) = delete;
    Workspace &operator=(const Workspace &) = delete;
    const std::string &path() const { return path_; }
    std::string File(const std::string &name) const { return path_ + "/" + name; }
    // Writes `content` to `name` (folders made as needed); answers the full path.
    std::string Write(const std::string &name, const std::string &content) const;
    std::string Read(const std::string &name) const;
    bool Exists(const std::string &name) const;

  private:
    std::string path_;
};

// The whole content of a file ("" when it cannot be read).
std::string ReadFile(const std::string &path);

} // namespace tool_test
