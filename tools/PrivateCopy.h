// A private copy of a rule file, for the commands that only read.
//
// Loading a file as a script's rule file keeps it in step with the
// installation file and may write it (a take-over or a merge). A command
// that only reads (check, show, diff, or the source of a merge) loads a copy
// in a private folder instead, so that the file itself is never written. The
// folder goes when the copy is destroyed, and also when the tool is stopped
// by SIGINT, SIGTERM or SIGHUP.
#pragma once

#include "tools/Cli.h"

#include <string>

namespace ostak_tool {

class PrivateCopy {
  public:
    // Copies `original` into a new private folder under $TMPDIR (or /tmp),
    // under the same file name. A missing original gives a missing copy.
    // Reports and throws Failure(2) when the copy cannot be made.
    PrivateCopy(const Context &context, const std::string &original);
    // A file of the given name and content in a new private folder (standard
    // input, to load it as a file; or empty, for output to be written there).
    struct Content {
        std::string name;
        std::string bytes;
    };
    PrivateCopy(const Context &context, const Content &content);
    ~PrivateCopy();
    PrivateCopy(const PrivateCopy &) = delete;
    PrivateCopy &operator=(const PrivateCopy &) = delete;

    const std::string &path() const { return path_; }
    const std::string &original() const { return original_; }

  private:
    void MakeFolder(const Context &context, std::string name);

    std::string original_;
    std::string folder_;
    std::string path_;
    int slot_ = -1; // its place among the folders removed on a signal
};

} // namespace ostak_tool
