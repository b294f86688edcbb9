// One read-change-write of a file in place (merge into TARGET, fmt FILE):
// the library's lock on the file is held from before the load until after
// the save, so that writers of the same file wait for each other, and before
// the save the file must still be the one that was loaded, so that the
// change of a program that does not take the lock (an editor) is never
// written over.
#pragma once

#include "include/ostak.hpp"
#include "tools/Cli.h"
#include "tools/FileIdentity.h"

#include <optional>
#include <string>

namespace ostak_tool {

class Session;

class InPlaceWrite {
  public:
    // Takes the lock, waiting up to the context's lock wait, and notes the
    // file as it is now. Reports and throws Failure(2) when the lock cannot be had.
    InPlaceWrite(const Context &context, Session &session, const std::string &path);

    // Notes the file as it is now: after a load that may itself have written it.
    void NoteLoaded();
    // Reports and throws Failure(2) when the file changed since it was noted.
    void CheckUnchanged() const;

  private:
    const Context &context_;
    std::string path_;
    std::optional<ostak::RuleFile> holder_; // holds the lock until the command ends
    FileIdentity identity_;
};

} // namespace ostak_tool
