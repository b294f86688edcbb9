// Runs the built ostak tool as a separate process, the way a person or a
// script does: arguments, a working folder, text on stdin, the locale.
#pragma once

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
