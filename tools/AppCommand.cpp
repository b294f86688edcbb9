// ostak app add|rm|rename|enable|disable FILE APP [NEWNAME]: edits the applications of a rule file.
#include "tools/Commands.h"

#include "tools/RuleFileEdit.h"

#include <iterator>
#include <ostream>

namespace ostak_tool {

namespace {

// Sets the application's enabled flag; answers the summary.
std::string SetEnabled(RuleFileEdit &edit, const std::string &name, bool enabled) {
    ostak::Application appl = edit.Application(name);
    const char *word = enabled ? "enabled" : "disabled";
    if (appl.enabled() == enabled) {
        return "application " + name + " is " + word + " already; not rewritten";
    }
    edit.Change(name, [&] {
        appl.setEnabled(enabled);
        appl.renewStamp();
    });
    edit.Save();
    return std::string(word) + " application " + name;
}

std::string Rename(RuleFileEdit &edit, const std::string &name, const std::string &newName) {
    ostak::Application appl = edit.Application(name);
    if (newName == name) {
        return "application " + name + " is so named already; not rewritten";
    }
    edit.Change(name + " -> " + newName, [&] {
        appl.setName(newName);
        appl.finalize();
        appl.renewStamp();
    });
    edit.Save();
    return "renamed application " + name + " to " + newName;
}

std::string Remove(RuleFileEdit &edit, const std::string &name) {
    ostak::Application appl = edit.Application(name);
    const auto count = std::distance(edit.file().applications().begin(), edit.file().applications().end());
    if (count == 1 && !edit.script()) {
        // Saved without applications, a rule file other than a script's is removed.
        edit.Refuse(name + " is its last application, and the library removes a rule file left without "
                           "applications (remove the file itself if that is meant)");
    }
    const auto rules = static_cast<std::size_t>(std::distance(appl.rules().begin(), appl.rules().end()));
    edit.Change(name, [&] { edit.file().applications().remove(appl); });
    edit.Save();
    return "removed application " + name + " with its " + Counted(rules, "rule", "rules");
}

std::string Add(RuleFileEdit &edit, const std::string &name, bool enabled) {
    edit.Change(name, [&] {
        ostak::Application appl = edit.file().applications().add();
        appl.setName(name);
        appl.setEnabled(enabled);
        appl.finalize();
    });
    edit.Save();
    return std::string("added application ") + name + (enabled ? " (enabled)" : " (disabled)");
}

int RunApp(Context &context, const ParsedArgs &args) {
    const std::string action = args.positionals.empty() ? "" : args.positionals[0];
    const bool rename = action == "rename";
    if (action != "add" && action != "rm" && action != "enable" && action != "disable" && !rename) {
        throw UsageError("expected an action: add, rm, rename, enable or disable");
    }
    ExpectPositionals(args, rename ? 4 : 3, rename ? "rename FILE APP NEWNAME" : "ACTION FILE APP");
    if (args.Has("disabled") && action != "add") {
        throw UsageError("--disabled goes with add only");
    }
    const std::string &path = args.positionals[1];
    const std::string &name = args.positionals[2];
    RuleFileEdit edit(context, path, RuleFileEdit::Start::Existing);
    std::string summary;
    if (action == "add") {
        summary = Add(edit, name, !args.Has("disabled"));
    } else if (action == "rm") {
        summary = Remove(edit, name);
    } else if (rename) {
        summary = Rename(edit, name, args.positionals[3]);
    } else {
        summary = SetEnabled(edit, name, action == "enable");
    }
    if (!context.quiet) {
        *context.out << path << ": " << summary << '\n';
    }
    return kExitOk;
}

} // namespace

Command AppCommand() {
    return Command{"app",
                   "app [OPTIONS] add|rm|rename|enable|disable FILE APP [NEWNAME] [--disabled]",
                   "add, remove, rename, enable or disable an application",
                   "Changes one application of the rule file FILE and writes FILE in place:\n"
                   "  add FILE APP [--disabled]  adds APP without rules, enabled (or disabled)\n"
                   "  rm FILE APP                removes APP with all its rules\n"
                   "  rename FILE APP NEWNAME    renames APP\n"
                   "  enable FILE APP            enables APP (a script then uses its rules)\n"
                   "  disable FILE APP           disables APP\n"
                   "\n"
                   "Every change goes through the library, which refuses an invalid name (a\n"
                   "character outside 0-9 a-z A-Z _ # @ $, or empty) and a name already taken;\n"
                   "a refused change, or an APP that FILE lacks, writes nothing. A new\n"
                   "application is stamped with this host and the current time, a renamed,\n"
                   "enabled or disabled one stamped anew; a change that changes nothing (enable\n"
                   "an enabled application) writes nothing. FILE is locked from the load to the\n"
                   "save, and not written when another program changed it meanwhile. A file\n"
                   "marked Saved=\"true\" is edited as a script's rule file and keeps its mark\n"
                   "(the installation file under --root must load). The last application of a\n"
                   "file is not removed (the library would remove the file with it), except from\n"
                   "a script's rule file, which the library writes also without applications.\n"
                   "\n"
                   "Exit status: 0 when written (or nothing was to change), 2 when refused or on\n"
                   "errors of use or input/output.\n",
                   {{"disabled", 0, false}},
                   RunApp};
}

} // namespace ostak_tool
