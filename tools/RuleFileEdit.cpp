#include "tools/RuleFileEdit.h"

#include "tools/Commands.h"

#include <filesystem>
#include <sys/stat.h>

namespace ostak_tool {

namespace {

// Reports and fails unless nothing is at `path` and its folder exists.
void RequireNothingAt(const Context &context, const std::string &path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0) {
        ComplainAbout(context, path, "already exists; not overwritten");
        throw Failure(kExitError);
    }
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
        ComplainAbout(context, path, "no such folder " + folder.string());
        throw Failure(kExitError);
    }
}

// The context, once what must hold before the library is initialised holds.
const Context &Checked(const Context &context, const std::string &path, RuleFileEdit::Start start) {
    if (start == RuleFileEdit::Start::New) {
        RequireNothingAt(context, path);
    } else {
        RequireRegularFile(context, path);
    }
    return context;
}

} // namespace

std::string Counted(std::size_t count, const char *one, const char *many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

RuleFileEdit::RuleFileEdit(const Context &context, const std::string &path, Start start)
    : context_(context), path_(path), session_(Checked(context, path, start), SessionSetup{path}) {
    inPlace_.emplace(context, session_, path);
    if (start == Start::Existing) {
        LoadExisting();
        return;
    }
    if (FileIdentity::Of(path).exists) { // made by another process before the lock was had
        Refuse("made meanwhile by another program");
    }
    file_.emplace(ostak::FileKind::Source, path);
}

void RuleFileEdit::LoadExisting() {
    file_.emplace(ostak::FileKind::Source, path_);
    if (LoadReporting(*file_, session_.reporter()) != OSTAK_OK) {
        Refuse("does not load as a rule file");
    }
    if (!file_->saved()) {
        return;
    }
    // A script's rule file: loaded again as one, so that saving keeps its mark.
    file_.emplace(ostak::FileKind::Script, path_);
    const int32_t code = LoadReporting(*file_, session_.reporter());
    inPlace_->NoteLoaded(); // a script's load may have written it itself
    if (code == OSTAK_E_INSTALLATION_LOAD) {
        Refuse("is a script's rule file (Saved=\"true\"), edited as one so that it stays one, which needs "
               "the installation file under --root; give --root");
    }
    if (code != OSTAK_OK) {
        Refuse("does not load as a script's rule file");
    }
}

void RuleFileEdit::Refuse(const std::string &why) {
    ComplainAbout(context_, path_, why + "; nothing written");
    throw Failure(kExitError);
}

ostak::Application RuleFileEdit::Application(const std::string &name) {
    std::optional<ostak::Application> found = file_->findApplication(name);
    if (!found) {
        Refuse("no application \"" + name + "\"");
    }
    return *found;
}

ostak::Rule RuleFileEdit::Rule(ostak::Application &appl, const std::string &name) {
    std::optional<ostak::Rule> found = appl.findRule(name);
    if (!found) {
        Refuse("application \"" + appl.name() + "\" has no rule \"" + name + "\"");
    }
    return *found;
}

void RuleFileEdit::Change(const std::string &subject, const std::function<void()> &change) {
    session_.reporter().SetSubject(path_, subject);
    try {
        change();
    } catch (const ostak::Error &) {
        session_.reporter().SetSubject("");
        Refuse("refused by the library");
    }
    session_.reporter().SetSubject("");
}

void RuleFileEdit::Save() {
    inPlace_->CheckUnchanged();
    session_.reporter().SetSubject(path_);
    try {
        file_->save();
    } catch (const ostak::Error &) {
        session_.reporter().SetSubject("");
        ComplainAbout(context_, path_, "not written");
        throw Failure(kExitError);
    }
    session_.reporter().SetSubject("");
}

} // namespace ostak_tool
