#include "tools/Cli.h"

#include "tools/Text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#ifndef OSTAK_TOOL_DATA_FROM_BIN
#define OSTAK_TOOL_DATA_FROM_BIN "../share/ostak"
#endif

namespace ostak_tool {

namespace {

const OptionSpec *FindLong(const std::vector<OptionSpec> &specs, const std::string &name) {
    for (const OptionSpec &desc : specs) {
        if (name == desc.name) {
            return &desc;
        }
    }
    return nullptr;
}

const OptionSpec *FindShort(const std::vector<OptionSpec> &specs, char name) {
    for (const OptionSpec &desc : specs) {
        if (desc.shortName != 0 && desc.shortName == name) {
            return &desc;
        }
    }
    return nullptr;
}

bool HoldsCatalogue(const std::filesystem::path &root) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(root / "dat" / "Ostak_res", ignored);
}

// Answers 0 when `path` is a regular file that can be read, else the cause
// (an errno value, or EISDIR for anything but a regular file).
int ReadableFile(const std::string &path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return errno;
    }
    if (!S_ISREG(status.st_mode)) {
        return EISDIR;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    ::close(fd);
    return 0;
}

// Each data file the library needs under the root: the message catalogue
// (read by the initialisation) and the document type file (the head of every
// file it writes). Reports the first one missing, where, and why.
void RequireDataFiles(const Context &context, const std::string &root) {
    const struct {
        const char *name;
        const char *what;
    } files[] = {{"Ostak_res", "the message catalogue"}, {"OstakDtd.xml", "the document type file"}};
    for (const auto &file : files) {
        const std::string path = (std::filesystem::path(root) / "dat" / file.name).string();
        const int error = ReadableFile(path);
        if (error != 0) {
            ComplainAbout(context, path,
                          std::string(file.what) + " of the data folder " + root + " cannot be read: " +
                              (error == EISDIR ? "not a regular file" : Cause(error)) +
                              " (--root names the folder that holds dat/)");
            throw Failure(kExitError);
        }
    }
}
} // namespace

std::string ParsedArgs::Value(const std::string &name, const std::string &fallback) const {
    auto found = options.find(name);
    return found == options.end() || found->second.empty() ? fallback : found->second.back();
}

const std::vector<std::string> &ParsedArgs::Values(const std::string &name) const {
    static const std::vector<std::string> none;
    auto found = options.find(name);
    return found == options.end() ? none : found->second;
}

ParsedArgs ParseArgs(const std::vector<std::string> &args, const std::vector<OptionSpec> &specs) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        auto takeValue = [&](const OptionSpec &desc, const std::string &shown) {
            if (i + 1 >= args.size()) {
                throw UsageError("option " + shown + " needs a value");
            }
            parsed.options[desc.name].push_back(args[++i]);
        };
        if (arg[1] == '-') {
            const std::size_t equals = arg.find('=');
            const std::string name =
                arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            const OptionSpec *desc = FindLong(specs, name);
            if (desc == nullptr) {
                throw UsageError("unknown option --" + name);
            }
            if (equals != std::string::npos) {
                if (!desc->takesValue) {
                    throw UsageError("option --" + name + " takes no value");
                }
                parsed.options[desc->name].push_back(arg.substr(equals + 1));
            } else if (desc->takesValue) {
                takeValue(*desc, arg);
            } else {
                parsed.options[desc->name].push_back("");
            }
            continue;
        }
        for (std::size_t k = 1; k < arg.size(); ++k) {
            const OptionSpec *desc = FindShort(specs, arg[k]);
            if (desc == nullptr) {
                throw UsageError(std::string("unknown option -") + arg[k]);
            }
            if (!desc->takesValue) {
                parsed.options[desc->name].push_back("");
                continue;
            }
            if (k + 1 < arg.size()) {
                parsed.options[desc->name].push_back(arg.substr(k + 1));
            } else {
                takeValue(*desc, std::string("-") + arg[k]);
            }
            break;
        }
    }
    return parsed;
}

const std::vector<OptionSpec> &GlobalOptionSpecs() {
    static const std::vector<OptionSpec> specs = {
        {"root", 0, true},       {"utf8", 0, false},    {"quiet", 'q', false},
        {"verbose", 'v', false}, {"version", 0, false}, {"help", 'h', false},
        {"wait", 0, true},
        {"completion-words", 0, false}, // undocumented: for the shell completion
    };
    return specs;
}

std::string ResolveRoot(const Context &context) {
    if (!context.root.empty()) {
        RequireDataFiles(context, context.root);
        return context.root;
    }
    const std::filesystem::path exeDir = std::filesystem::path(context.executable).parent_path();
    for (const std::filesystem::path &candidate : {exeDir / OSTAK_TOOL_DATA_FROM_BIN, exeDir}) {
        if (HoldsCatalogue(candidate)) {
            const std::string root = candidate.lexically_normal().string();
            RequireDataFiles(context, root);
            return root;
        }
    }
    Complain(context,
             "no data folder found beside the executable; give --root DIR (the folder that holds dat/)");
    throw Failure(kExitError);
}

void Complain(const Context &context, const std::string &text) {
    *context.err << "ostak: error: " << text << "\n";
}

void ComplainAbout(const Context &context, const std::string &file, const std::string &text) {
    *context.err << Printable(file) << ": error: " << text << "\n";
}

void Warn(const Context &context, const std::string &text) {
    if (!context.quiet) {
        *context.err << "ostak: warning: " << text << "\n";
    }
}

void WarnAbout(const Context &context, const std::string &file, const std::string &text) {
    if (!context.quiet) {
        *context.err << Printable(file) << ": warning: " << text << "\n";
    }
}

std::string Cause(int error) {
    return std::strerror(error);
}

void RequireRegularFile(const Context &context, const std::string &path) {
    const int error = ReadableFile(path);
    if (error == EISDIR) {
        ComplainAbout(context, path, "not a regular file");
        throw Failure(kExitError);
    }
    if (error != 0) {
        ComplainAbout(context, path, "cannot read it: " + Cause(error));
        throw Failure(kExitError);
    }
}

void RequireRegularOrMissing(const Context &context, const std::string &path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT) {
            return; // nothing there yet: a new file
        }
        ComplainAbout(context, path, "cannot write it: " + Cause(errno));
        throw Failure(kExitError);
    }
    if (!S_ISREG(status.st_mode)) {
        ComplainAbout(context, path, "not a regular file");
        throw Failure(kExitError);
    }
}

std::pair<std::string, bool> ReadWholeFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {std::string(), false};
    }
    // Read in blocks straight into a string of the file's size: no second
    // copy, and no doubling, of a large file.
    std::string content;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size > 0) {
        content.reserve(static_cast<std::size_t>(size));
    }
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        content.append(block, static_cast<std::size_t>(in.gcount()));
    }
    return {std::move(content), true};
}

} // namespace ostak_tool
