#include "tools/Commands.h"

#include "tools/PrivateCopy.h"
#include "tools/Session.h"

#include <cerrno>
#include <iostream>
#include <iterator>
#include <sys/stat.h>

namespace ostak_tool {

const char *const kKindsHelp =
    "File kinds (how the library treats a file; the pair decides the direction):\n"
    "  plain         a rule file of your own; a missing one reads as empty\n"
    "  script        a script's rule file: loading it keeps it in step with the\n"
    "                installation file under --root, as 'ostak sync' does (it may\n"
    "                take the installation file over and write it; the question\n"
    "                whether to merge a changed installation file in is answered no)\n"
    "  installation  the installation file; must exist\n"
    "  source        a file that serves as a source of applications; must exist\n";

const char *const kPairsHelp =
    "Accepted pairs SOURCE -> TARGET, and what applying does besides the rules:\n"
    "  source -> plain         (default) new applications arrive freshly stamped;\n"
    "                          rules only in TARGET stay without asking (except\n"
    "                          with --replace, which drops them)\n"
    "  plain -> script         every TARGET application not carried over ends disabled;\n"
    "                          carried ones take SOURCE's enabled flag; with equal\n"
    "                          stamps SOURCE's rules replace TARGET's without asking\n"
    "  script -> plain         new applications arrive enabled; carried ones take\n"
    "                          SOURCE's stamp\n"
    "  installation -> script  new applications arrive disabled and stamped; carried\n"
    "  source -> script        ones are re-stamped; rules only in TARGET stay without asking\n"
    "                          (except with --replace)\n";

const char *const kExitStatusHelp =
    "Exit status (the same for every command, as diff(1) and grep(1) have it):\n"
    "  0  success: no differences, every file fine\n"
    "  1  found: differences (diff), problems (check; with --strict warnings too),\n"
    "     conflicts kept (merge-file)\n"
    "  2  trouble: a file that does not load where one must, an error of use or of\n"
    "     input/output, a merge or sync cancelled by its answers\n";

const char *const kStdinName = "<stdin>";

int ExitCodeOfLoad(int32_t code) {
    return code == OSTAK_OK ? kExitOk : kExitError;
}

int32_t LoadReporting(ostak::RuleFile &file, Reporter &reporter, const std::string &shown) {
    const std::string subject = shown.empty() ? file.path() : shown;
    reporter.SetSubject(subject);
    const bool script = file.kind() == ostak::FileKind::Script;
    if (script) {
        reporter.Hold();
    }
    int32_t code = OSTAK_OK;
    try {
        file.load();
    } catch (const ostak::Error &error) {
        code = error.code();
    }
    if (script) {
        reporter.Release(code == OSTAK_E_INSTALLATION_LOAD ? ostak::Library::installationFilePath()
                                                           : subject);
    }
    reporter.SetSubject("");
    return code;
}

InputFile OpenInput(const Context &context, const std::string &arg, ostak::FileKind kind) {
    InputFile input;
    if (arg != "-") {
        RequireRegularFile(context, arg);
        input.shown = arg;
        input.load = LoadPathFor(context, arg, kind, input.copy);
        return input;
    }
    static bool stdinTaken = false;
    if (stdinTaken) {
        throw UsageError("standard input (-) can be read only once");
    }
    stdinTaken = true;
    std::string bytes((std::istreambuf_iterator<char>(*context.in)), std::istreambuf_iterator<char>());
    if (context.in->bad()) {
        ComplainAbout(context, kStdinName, "cannot read it");
        throw Failure(kExitError);
    }
    input.copy = std::make_unique<PrivateCopy>(context, PrivateCopy::Content{"stdin.xml", bytes});
    input.shown = kStdinName;
    input.load = input.copy->path();
    return input;
}

OutputFile::OutputFile(const Context &context, const std::string &arg) : path_(arg), shown_(arg) {
    if (arg == "-") {
        copy_ = std::make_unique<PrivateCopy>(context, PrivateCopy::Content{"stdout.xml", ""});
        shown_ = "<stdout>";
        return;
    }
    // What is there (a FIFO, a link to one) the library's save refuses itself;
    // a path that cannot even be looked at is said here with its cause.
    struct stat status {};
    if (::stat(arg.c_str(), &status) != 0 && errno != ENOENT) {
        ComplainAbout(context, arg, "cannot write it: " + Cause(errno));
        throw Failure(kExitError);
    }
}

OutputFile::~OutputFile() = default;

const std::string &OutputFile::path() const {
    return copy_ ? copy_->path() : path_;
}

void OutputFile::Deliver(const Context &context) const {
    if (!copy_) {
        return;
    }
    *context.out << ReadWholeFile(copy_->path()).first;
    context.out->flush();
}

std::string Counted(std::size_t count, const char *noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string LoadPathFor(const Context &context, const std::string &path, ostak::FileKind kind,
                        std::unique_ptr<PrivateCopy> &copy) {
    if (kind != ostak::FileKind::Script) {
        return path;
    }
    copy = std::make_unique<PrivateCopy>(context, path);
    return copy->path();
}

void ExpectPositionals(const ParsedArgs &args, std::size_t count, const char *names) {
    if (args.positionals.size() != count) {
        throw UsageError(std::string("expected ") + names);
    }
}

} // namespace ostak_tool
