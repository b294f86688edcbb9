#include "tools/Cli.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/stat.h>

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
        if (!HoldsCatalogue(context.root)) {
            Complain(context,
                     context.root + ": no dat/Ostak_res in this folder (give the folder that holds dat/)");
            throw Failure(kExitError);
        }
        return context.root;
    }
    const std::filesystem::path exeDir = std::filesystem::path(context.executable).parent_path();
    for (const std::filesystem::path &candidate : {exeDir / OSTAK_TOOL_DATA_FROM_BIN, exeDir}) {
        if (HoldsCatalogue(candidate)) {
            return candidate.lexically_normal().string();
        }
    }
    Complain(context,
             "no data folder found beside the executable; give --root DIR (the folder that holds dat/)");
    throw Failure(kExitError);
}

void Complain(const Context &context, const std::string &text) {
    *context.err << "ostak: " << text << "\n";
}

void RequireRegularFile(const Context &context, const std::string &path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        Complain(context, path + ": no such file");
        throw Failure(kExitError);
    }
    if (!S_ISREG(status.st_mode)) {
        Complain(context, path + ": not a regular file");
        throw Failure(kExitError);
    }
}

std::pair<std::string, bool> ReadWholeFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {std::string(), false};
    }
    std::ostringstream content;
    content << in.rdbuf();
    return {content.str(), true};
}

} // namespace ostak_tool
