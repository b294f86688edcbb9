// Whether a file is still the one a command loaded: its device, inode, size
// and modification time, taken before the load and compared before the file
// is replaced. A person's editor or a program that does not take the lock
// may have written it meanwhile; the command then refuses to write over it.
#pragma once

#include <string>
#include <sys/stat.h>

namespace ostak_tool {

struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified = {};

    // The identity of what `path` names now (symbolic links followed).
    static FileIdentity Of(const std::string &path);
    bool operator==(const FileIdentity &other) const;
    bool operator!=(const FileIdentity &other) const { return !(*this == other); }
};

} // namespace ostak_tool
