// ostak new FILE [APP...]: a rule file made from nothing.
#include "tools/Commands.h"

#include "tools/RuleFileEdit.h"

#include <ostream>

namespace ostak_tool {

namespace {

int RunNew(Context &context, const ParsedArgs &args) {
    if (args.positionals.size() < 2) {
        throw UsageError("expected FILE and at least one APP (the library writes no rule file without "
                         "applications)");
    }
    const std::string path = args.positionals[0];
    const bool enabled = !args.Has("disabled");
    RuleFileEdit edit(context, path, RuleFileEdit::Start::New);
    for (std::size_t i = 1; i < args.positionals.size(); ++i) {
        const std::string &name = args.positionals[i];
        edit.Change(name, [&] {
            ostak::Application appl = edit.file().applications().add();
            appl.setName(name);
            appl.setEnabled(enabled);
            appl.finalize();
        });
    }
    edit.Save();
    if (!context.quiet) {
        *context.out << path << ": new rule file with "
                     << Counted(args.positionals.size() - 1, "application", "applications")
                     << (enabled ? "" : " (disabled)") << '\n';
    }
    return kExitOk;
}

} // namespace

Command NewCommand() {
    return Command{"new",
                   "new [OPTIONS] FILE APP... [--disabled]",
                   "make a new rule file",
                   "Makes the rule file FILE: the document type head (dat/OstakDtd.xml under\n"
                   "--root) and the root element holding the applications APP..., each without\n"
                   "rules, enabled (--disabled: disabled) and stamped with this host and the\n"
                   "current time. At least one APP is needed: the library writes no rule file\n"
                   "without applications (it removes such a file instead). Add rules with\n"
                   "'ostak rule add'.\n"
                   "\n"
                   "Nothing may be at FILE yet: an existing file is never overwritten. An APP\n"
                   "name the library refuses (a character outside 0-9 a-z A-Z _ # @ $, a name\n"
                   "given twice) ends the command with nothing written. The file is written in\n"
                   "the locale's code page (ISO-8859-1), or UTF-8 with --utf8.\n"
                   "\n"
                   "Exit status: 0 when written, 2 when refused or on errors of use or\n"
                   "input/output.\n",
                   {{"disabled", 0, false}},
                   RunNew};
}

} // namespace ostak_tool
