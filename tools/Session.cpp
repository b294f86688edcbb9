#include "tools/Session.h"

#include "tools/Decider.h"
#include "tools/Text.h"

#include <filesystem>
#include <ostream>

namespace ostak_tool {

namespace {

std::string LevelWord(int32_t level) {
    switch (level) {
    case OSTAK_LEVEL_TRACE:
        return "trace";
    case OSTAK_LEVEL_WARNING:
        return "warning";
    case OSTAK_LEVEL_ERROR:
        return "error";
    case OSTAK_LEVEL_FATAL:
        return "fatal";
    default:
        return "level " + std::to_string(level);
    }
}

} // namespace

void Reporter::Report(const ostak::Message &message) {
    if (message.level >= OSTAK_LEVEL_ERROR) {
        ++errors_;
    }
    Held held{message.number, std::string(message.text), std::string(message.function), message.line,
              message.level};
    if (holding_) {
        held_.push_back(std::move(held));
        return;
    }
    Print(subject_, held);
}

void Reporter::Release(const std::string &subject) {
    holding_ = false;
    for (const Held &message : held_) {
        Print(subject, message);
    }
    held_.clear();
}

std::string Reporter::Unaliased(std::string text) const {
    for (const auto &[actual, shown] : aliases_) {
        for (std::size_t at = text.find(actual); at != std::string::npos; at = text.find(actual, at + shown.size())) {
            text.replace(at, actual.size(), shown);
        }
    }
    return text;
}

void Reporter::Print(const std::string &subject, const Held &message) {
    if ((message.level <= OSTAK_LEVEL_TRACE && !context_.verbose) ||
        (message.level == OSTAK_LEVEL_WARNING && context_.quiet)) {
        return;
    }
    std::ostream &err = *context_.err;
    if (!subject.empty()) {
        err << Printable(subject) << ": ";
    }
    err << LevelWord(message.level) << ' ' << message.number << ": " << Printable(Unaliased(message.text));
    if (context_.verbose) {
        err << " (" << message.function << ", line " << message.line << ")";
    }
    err << '\n';
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
        Complain(context, setup.scriptPath + ": not a file name");
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
        Complain(context, "the installation file has changed since this script's rule file took it in; "
                          "'ostak sync' merges it in");
        return false;
    };
    try {
        library_.emplace(std::move(options));
    } catch (const ostak::Error &) {
        Complain(context, "cannot initialise the library over " + root);
        throw Failure(kExitError);
    }
}

} // namespace ostak_tool
