// The base of a script's rule file: a copy of the installation file as it was
// when `ostak sync` last took it over or merged it in, kept hidden beside the
// script's file as `.<name>.base` (folder and name those of the file after
// symbolic links are followed, as for its lock file). Its own
// FileVersionInstallation says which version it is; the script's file
// records the version it was last brought in step at. When the two agree, the
// next sync decides three-way from the base.
#pragma once

#include "include/ostak.hpp"
#include "tools/Cli.h"

#include <optional>
#include <string>

namespace ostak_tool {

// `.<name>.base` beside the script's file.
std::string BasePathFor(const std::string &scriptPath);

// Replaces the base by `content` atomically (a temporary beside it, written,
// flushed and renamed over it). False, after a warning that the next sync
// asks about every difference, when it cannot be written.
bool WriteBase(const Context &context, const std::string &basePath, const std::string &content);

class Reporter;

// The base to decide the next merge of `scriptPath` from, loaded; nullopt when
// there is none (also when the script's file does not exist or is already in
// step with the installation file) or it cannot serve: it does not load, or it
// is stale (it holds another installation-file version than the one the
// script's file was last brought in step at); those two are said, since sync
// then asks about every difference.
std::optional<ostak::RuleFile> LoadBaseFor(const Context &context, Reporter &reporter,
                                           const std::string &scriptPath, const std::string &basePath);

// The installation-file version the file at `path` carries, read as a plain
// file (nothing is written); nullopt when it does not load.
std::optional<int32_t> InstallationVersionOf(const std::string &path);

} // namespace ostak_tool
