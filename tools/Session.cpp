#include "tools/Session.h"

#include "tools/Decider.h"
#include "tools/Text.h"

#include <cerrno>
#include <filesystem>
#include <ostream>
#include <sys/stat.h>

namespace ostak_tool {

namespace {

std::string LevelWord(int32_t level) {
    if (level <= OSTAK_LEVEL_TRACE) {
        return "note";
    }
    return level == OSTAK_LEVEL_WARNING ? "warning" : "error";
}

} // namespace

std::string FormatDiagnostic(const Diagnostic &diagnostic, bool verbose) {
    std::string out = diagnostic.file.empty() ? "ostak" : Printable(diagnostic.file);
    if (diagnostic.line > 0) {
        out += ":" + std::to_string(diagnostic.line) + ":" + std::to_string(diagnostic.column);
    }
    out += ": " + diagnostic.level + ": ";
    if (!diagnostic.element.empty()) {
        out += Printable(diagnostic.element) + ": ";
    }
    out += Printable(diagnostic.text);
    if (diagnostic.number != 0) {
        out += " [" + std::to_string(diagnostic.number) + "]";
    }
    if (!diagnostic.fix.empty()) {
        out += "; " + Printable(diagnostic.fix);
    }
    if (verbose && !diagnostic.origin.empty()) {
        out += " (" + diagnostic.origin + ")";
    }
    return out;
}

Diagnostic Reporter::Describe(const ostak::Message &message, const std::string &file,
                              const std::string &element) const {
    ostak::MessagePlace place = ostak::SplitMessagePlace(message.text);
    Diagnostic diagnostic;
    diagnostic.level = LevelWord(message.level);
    diagnostic.file = place.file.empty() ? file : Unaliased(place.file);
    diagnostic.line = place.line;
    diagnostic.column = place.column;
    // The element belongs to the subject's file, not to another file a message names.
    diagnostic.element = diagnostic.file == file ? element : "";
    diagnostic.text = Unaliased(place.text);
    diagnostic.number = message.number;
    diagnostic.origin = std::string(message.function) + ", line " + std::to_string(message.line);
    return diagnostic;
}

void Reporter::Report(const ostak::Message &message) {
    if (message.level >= OSTAK_LEVEL_ERROR) {
        ++errors_;
    }
    Diagnostic diagnostic = Describe(message, file_, element_);
    if (holding_) {
        held_.emplace_back(std::move(diagnostic), message.level);
        return;
    }
    Emit(std::move(diagnostic), message.level);
}

void Reporter::Release(const std::string &file, const std::string &element) {
    holding_ = false;
    for (auto &[diagnostic, level] : held_) {
        // Held messages that named no file of their own are about `file`.
        if (diagnostic.file == file_) {
            diagnostic.file = file;
            diagnostic.element = element;
        }
        Emit(std::move(diagnostic), level);
    }
    held_.clear();
}

std::vector<Diagnostic> Reporter::TakeHeld() {
    holding_ = false;
    std::vector<Diagnostic> held;
    for (auto &entry : held_) {
        held.push_back(std::move(entry.first));
    }
    held_.clear();
    return held;
}

std::string Reporter::Unaliased(std::string text) const {
    for (const auto &[actual, shown] : aliases_) {
        for (std::size_t at = text.find(actual); at != std::string::npos; at = text.find(actual, at + shown.size())) {
            text.replace(at, actual.size(), shown);
        }
    }
    return text;
}

void Reporter::Emit(Diagnostic diagnostic, int32_t level) {
    if (level <= OSTAK_LEVEL_TRACE && !context_.verbose) {
        return;
    }
    if (sink_ != nullptr) {
        sink_->push_back(std::move(diagnostic));
        return;
    }
    if (level == OSTAK_LEVEL_WARNING && context_.quiet) {
        return;
    }
    *context_.err << FormatDiagnostic(diagnostic, context_.verbose) << '\n';
}

Session::Session(const Context &context, const SessionSetup &setup) : reporter_(context) {
    const std::string &root = context.root;
    const std::filesystem::path script(setup.scriptPath);
    std::string directory = script.parent_path().string();
    std::string name = script.filename().string();
    if (directory.empty()) {
        directory = ".";
    }
    if (name.empty()) {
        ComplainAbout(context, setup.scriptPath, "not a file name");
        throw Failure(kExitError);
    }
    // The library looks at the script's rule file when it starts; what keeps
    // it from that (a symbolic link loop, a name too long, no permission) is
    // said here with its cause.
    struct stat status {};
    if (::stat(setup.scriptPath.c_str(), &status) != 0 && errno != ENOENT) {
        ComplainAbout(context, setup.scriptPath, "cannot read it: " + Cause(errno));
        throw Failure(kExitError);
    }
    ostak::Options options;
    options.root = root;
    options.scriptDirectory = directory;
    options.scriptName = name;
    options.readOnly = setup.readOnly;
    options.converterSwitch = context.utf8;
    options.log = [this](const ostak::Message &message) { reporter_.Report(message); };
    Decider *decider = setup.decider;
    options.merge = [decider](const ostak::MergeQuestion &question) {
        return decider != nullptr ? decider->Decide(question) : ostak::MergeAnswer::Cancel;
    };
    Confirmer *confirmer = setup.confirmer;
    options.confirm = [confirmer, &context](int32_t question) {
        if (confirmer != nullptr) {
            return confirmer->Answer(question);
        }
        Warn(context, "the installation file has changed since this script's rule file took it in; "
                      "'ostak sync' merges it in");
        return false;
    };
    // The messages of the initialisation wait until it is known whether the
    // catalogue itself is at fault: then they are the library's own words
    // about reading it, and the tool says which file it is instead.
    reporter_.Hold();
    try {
        library_.emplace(std::move(options));
    } catch (const ostak::Error &error) {
        if (error.code() == OSTAK_E_RESOURCE_FILE) {
            reporter_.TakeHeld();
            ComplainAbout(context, (std::filesystem::path(root) / "dat" / "Ostak_res").string(),
                          "the message catalogue of the data folder " + root + " is not one the library reads");
            throw Failure(kExitError);
        }
        reporter_.Release("");
        Complain(context, "cannot initialise the library over the data folder " + root + " (" +
                              ostak::ResultName(error.code()) + ")");
        throw Failure(kExitError);
    }
    reporter_.Release("");
}

} // namespace ostak_tool
