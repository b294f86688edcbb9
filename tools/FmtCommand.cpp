// ostak fmt FILE [-o OUT] [--script]: rewrites a file in the canonical layout.
#include "tools/Commands.h"

#include "tools/InPlaceWrite.h"
#include "tools/PrivateCopy.h"
#include "tools/Session.h"
#include "tools/Text.h"

#include <optional>

#include <ostream>

namespace ostak_tool {

namespace {

int RunFmt(Context &context, const ParsedArgs &args) {
    ExpectPositionals(args, 1, "one FILE");
    const bool script = args.Has("script");
    const bool fromStdin = args.positionals[0] == "-";
    if (fromStdin && script) {
        throw UsageError("--script rewrites a script's rule file in place, not standard input");
    }
    const InputFile input = OpenInput(context, args.positionals[0], ostak::FileKind::Source);
    const std::string &path = input.shown;
    // Standard input is written to standard output unless -o says otherwise.
    std::optional<OutputFile> outputFile;
    if (args.Has("output") || fromStdin) {
        outputFile.emplace(context, args.Value("output", "-"));
    }
    const std::string output = outputFile ? outputFile->path() : "";

    Session session(context, SessionSetup{input.load});
    session.reporter().Alias(input.load, input.shown);
    // Rewritten in place, the file stays locked from its load to its save.
    std::optional<InPlaceWrite> inPlace;
    if (output.empty()) {
        inPlace.emplace(context, session, path);
    }
    const std::string before = ReadWholeFile(input.load).first;
    ostak::RuleFile file(script ? ostak::FileKind::Script : ostak::FileKind::Source, input.load);
    const int32_t code = LoadReporting(file, session.reporter(), path);
    if (inPlace && script) {
        inPlace->NoteLoaded(); // a script's load may have written it itself
    }
    if (code != OSTAK_OK) {
        ComplainAbout(context, path, "not rewritten");
        return ExitCodeOfLoad(code);
    }
    if (!script && file.saved()) {
        ComplainAbout(context, path,
                      "marked Saved=\"true\" (a script's rule file saved by it): rewrite it "
                      "with --script to keep that mark");
        return kExitError;
    }
    if (!script && file.applications().empty()) {
        if (!context.quiet) {
            std::ostream &report = outputFile && outputFile->toStdout() ? *context.err : *context.out;
            report << Printable(path)
                   << ": no applications; left as it is (saving an empty rule file other "
                      "than a script's removes the file)\n";
        }
        return kExitOk;
    }
    if (inPlace) {
        inPlace->CheckUnchanged();
    }
    const std::string target = outputFile ? outputFile->shown() : path;
    session.reporter().Alias(output, target);
    session.reporter().SetSubject(target);
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
    if (outputFile) {
        outputFile->Deliver(context);
    }
    if (!context.quiet) {
        const bool same = ReadWholeFile(outputFile ? output : input.load).first == before;
        // With the file on stdout, the report goes to stderr.
        std::ostream &report = outputFile && outputFile->toStdout() ? *context.err : *context.out;
        report << Printable(target) << (same ? ": already in the canonical layout\n" : ": rewritten\n");
    }
    return kExitOk;
}

} // namespace

Command FmtCommand() {
    return Command{"fmt",
                   "fmt [OPTIONS] FILE [-o OUT|-] [--script]",
                   "rewrite a file in the canonical layout",
                   "Loads FILE and writes it back (or to OUT; -o - and FILE - write standard\n"
                   "output) the way the library saves rule files: the document type head, then\n"
                   "one element a line, tab-indented, names in order, CR LF line ends. A file\n"
                   "that does not load is left alone.\n"
                   "\n"
                   "A script's rule file (one marked Saved=\"true\") is rewritten only with\n"
                   "--script, which loads it as a script's rule file (see the kind 'script' in\n"
                   "'ostak merge --help') so that the mark stays. A file without applications is\n"
                   "left as it is, since the library removes such a file instead of saving it.\n"
                   "\n"
                   "Exit 0 when written (or left as it is); 2 when FILE does not load, for errors\n"
                   "of use or input/output.\n",
                   {{"output", 'o', true}, {"script", 0, false}},
                   RunFmt};
}

} // namespace ostak_tool
