// Paths of files the library writes: following symbolic links to the file
// they finally name, splitting off the folder, and naming a file's type.
#pragma once

#include <cstddef>
#include <sys/types.h>

namespace ostak {

// Room for any path the system accepts and a few characters added to it.
constexpr std::size_t kResolvedPathCapacity = 4096 + 64;

// Copies `path` into `resolved`, following symbolic links (relative ones
// count from the folder that holds the link) until the path names something
// that is not a link, or nothing. False, with errno set, when a link cannot
// be read, the links loop (ELOOP) or the result does not fit (ENAMETOOLONG).
bool ResolveSymbolicLinks(const char *path, char *resolved, std::size_t capacity) noexcept;

// Length of the folder part of `path`, its last separator included (0: none).
std::size_t FolderPartLength(const char *path) noexcept;

// What a file of mode `mode` is, for messages: "a FIFO", "a socket",
// "a character device", "a block device", "a folder", "a symbolic link",
// "a regular file", or "something else".
const char *FileTypeName(mode_t mode) noexcept;

} // namespace ostak
