#include "tools/FileIdentity.h"

namespace ostak_tool {

FileIdentity FileIdentity::Of(const std::string &path) {
    FileIdentity identity;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return identity;
    }
    identity.exists = true;
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.size = status.st_size;
    identity.modified = status.st_mtim;
    return identity;
}

bool FileIdentity::operator==(const FileIdentity &other) const {
    if (exists != other.exists) {
        return false;
    }
    return !exists || (device == other.device && inode == other.inode && size == other.size &&
                       modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec);
}

} // namespace ostak_tool
