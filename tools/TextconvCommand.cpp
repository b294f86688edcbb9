// ostak textconv FILE: a rule file as lines of text for `git diff`
// (diff.<driver>.textconv): one line per application and per rule, in name
// order, without the file's path, so that two versions compare line by line.
#include "tools/Commands.h"
#include "tools/Session.h"
#include "tools/Text.h"

#include <ostream>

namespace ostak_tool {

namespace {

int RunTextconv(Context &context, const ParsedArgs &args) {
    ExpectPositionals(args, 1, "one FILE");
    const std::string path = args.positionals[0];
    RequireRegularFile(context, path);
    Session session(context, SessionSetup{path, false});
    ostak::RuleFile file(ostak::FileKind::Source, path);
    const int32_t code = LoadReporting(file, session.reporter());
    if (code != OSTAK_OK) {
        return ExitCodeOfLoad(code);
    }
    std::ostream &out = *context.out;
    out << "installation-file version " << file.installationVersion()
        << (file.saved() ? ", saved by a script" : "") << '\n';
    for (ostak::Application appl : file.applications()) {
        out << Printable(appl.name()) << (appl.enabled() ? "" : " (disabled)") << '\n';
        for (ostak::Rule rule : appl.rules()) {
            const RuleValues values = ReadRule(rule);
            out << "  " << Printable(values.name) << ": " << DescribeRule(values) << '\n';
        }
    }
    return kExitOk;
}

} // namespace

Command TextconvCommand() {
    return Command{"textconv",
                   "textconv [OPTIONS] FILE",
                   "a rule file as text for git diff",
                   "Prints FILE as lines of text for 'git diff' to compare: its installation-file\n"
                   "version, then each application (\"(disabled)\" when it is) and below it each\n"
                   "rule with its values; stamps are left out. In git config:\n"
                   "  git config diff.ostak.textconv \"ostak textconv\"\n"
                   "and in .gitattributes: *.xml diff=ostak\n"
                   "\n"
                   "Exit status: 0 when printed, 2 when FILE does not load or on errors.\n",
                   {},
                   RunTextconv};
}

} // namespace ostak_tool
