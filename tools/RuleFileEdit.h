// One change of a rule file in place by the editing commands (new, app,
// rule): the file is locked from its load to its save, loaded as the kind
// that keeps what it is (a file marked Saved="true" as a script's rule file,
// so that the mark stays; any other as a source of applications, which must
// exist and not be empty), changed through the library's
// setters and finalising step, and written only when it is still the file
// that was loaded. Whatever the library refuses ends the command with its
// message and exit 2, nothing written.
#pragma once

#include "include/ostak.hpp"
#include "tools/Cli.h"
#include "tools/InPlaceWrite.h"
#include "tools/Session.h"

#include <functional>
#include <optional>
#include <string>

namespace ostak_tool {

class RuleFileEdit {
  public:
    enum class Start { Existing, New };

    // Existing: FILE must be a regular file that loads. New: nothing may be
    // at FILE yet; the object starts empty. Reports and throws Failure(2).
    RuleFileEdit(const Context &context, const std::string &path, Start start);

    ostak::RuleFile &file() { return *file_; }
    const std::string &path() const { return path_; }
    // Whether the file is a script's rule file (and stays one).
    bool script() const { return file_->kind() == ostak::FileKind::Script; }

    // The application or rule of that name, or a report and Failure(2).
    ostak::Application Application(const std::string &name);
    ostak::Rule Rule(ostak::Application &appl, const std::string &name);

    // Runs a change of the library under the subject named (messages are
    // shown behind it); a refusal of the library ends the command, nothing written.
    void Change(const std::string &subject, const std::function<void()> &change);

    // Writes the file in place. Reports and throws Failure(2) when it changed
    // meanwhile or cannot be written.
    void Save();

    // Reports "FILE: why; nothing written" and throws Failure(2).
    [[noreturn]] void Refuse(const std::string &why);

  private:
    void LoadExisting();

    const Context &context_;
    std::string path_;
    Session session_;
    std::optional<InPlaceWrite> inPlace_;
    std::optional<ostak::RuleFile> file_;
};

// "1 rule", "2 rules".
std::string Counted(std::size_t count, const char *one, const char *many);

} // namespace ostak_tool
