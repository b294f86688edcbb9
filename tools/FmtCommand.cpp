// ostak fmt FILE [-o OUT] [--script]: rewrites a file in the canonical layout.
#include "tools/Commands.h"

#include "tools/InPlaceWrite.h"
#include "tools/Session.h"

#include <optional>

#include <ostream>

namespace ostak_tool {

namespace {

int RunFmt(Context &context, const ParsedArgs &args) {
    ExpectPositionals(args, 1, "one FILE");
    const std::string path = args.positionals[0];
    const std::string output = args.Value("output");
    const bool script = args.Has("script");
    RequireRegularFile(context, path);

    Session session(context, SessionSetup{path});
    // Rewritten in place, the file stays locked from its load to its save.
    std::optional<InPlaceWrite> inPlace;
    if (output.empty()) {
        inPlace.emplace(context, session, path);
    }
    const std::string before = ReadWholeFile(path).first;
    ostak::RuleFile file(script ? ostak::FileKind::Script : ostak::FileKind::Source, path);
    const int32_t code = LoadReporting(file, session.reporter());
    if (inPlace && script) {
        inPlace->NoteLoaded(); // a script's load may have written it itself
    }
    if (code != OSTAK_OK) {
        Complain(context, path + ": not rewritten");
        return ExitCodeOfLoad(code);
    }
    if (!script && file.saved()) {
        Complain(context, path + " is marked Saved=\"true\" (a script's rule file saved by it): rewrite it "
                                 "with --script to keep that mark");
        return kExitError;
    }
    if (!script && file.applications().empty()) {
        if (!context.quiet) {
            *context.out << path
                         << ": no applications; left as it is (saving an empty rule file other "
                            "than a script's removes the file)\n";
        }
        return kExitOk;
    }
    if (inPlace) {
        inPlace->CheckUnchanged();
    }
    session.reporter().SetSubject(output.empty() ? path : output);
    try {
        if (output.empty()) {
            file.save();
        } else {
            file.saveAs(output);
        }
    } catch (const ostak::Error &) {
        return kExitError;
    }
    session.reporter().SetSubject("");
    if (!context.quiet) {
        const std::string target = output.empty() ? path : output;
        const bool same = ReadWholeFile(target).first == before;
        *context.out << target << (same ? ": already in the canonical layout\n" : ": rewritten\n");
    }
    return kExitOk;
}

} // namespace

Command FmtCommand() {
    return Command{"fmt",
                   "fmt [OPTIONS] FILE [-o OUT] [--script]",
                   "rewrite a file in the canonical layout",
                   "Loads FILE and writes it back (or to OUT) the way the library saves rule\n"
                   "files: the document type head, then one element a line, tab-indented, names\n"
                   "in order, CR LF line ends. A file that does not load is left alone.\n"
                   "\n"
                   "A script's rule file (one marked Saved=\"true\") is rewritten only with\n"
                   "--script, which loads it as a script's rule file (see the kind 'script' in\n"
                   "'ostak merge --help') so that the mark stays. A file without applications is\n"
                   "left as it is, since the library removes such a file instead of saving it.\n"
                   "\n"
                   "Exit status: 0 when written (or left as it is), 1 when FILE is not a valid\n"
                   "rule file, 2 for errors of use or input/output.\n",
                   {{"output", 'o', true}, {"script", 0, false}},
                   RunFmt};
}

} // namespace ostak_tool
