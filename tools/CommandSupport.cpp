#include "tools/Commands.h"

#include "tools/PrivateCopy.h"
#include "tools/Session.h"

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
    "                          rules only in TARGET stay without asking\n"
    "  plain -> script         every TARGET application not carried over ends disabled;\n"
    "                          carried ones take SOURCE's enabled flag; with equal\n"
    "                          stamps SOURCE's rules replace TARGET's without asking\n"
    "  script -> plain         new applications arrive enabled; carried ones take\n"
    "                          SOURCE's stamp\n"
    "  installation -> script  new applications arrive disabled and stamped; carried\n"
    "  source -> script        ones are re-stamped; rules only in TARGET stay without asking\n";

int ExitCodeOfLoad(int32_t code) {
    switch (code) {
    case OSTAK_OK:
        return kExitOk;
    case OSTAK_E_DUPLICATE_NAME:
    case OSTAK_E_INVALID_NAME:
    case OSTAK_E_LINE_BREAK:
    case OSTAK_E_FILE_EMPTY:
    case OSTAK_E_INVALID_DOCUMENT:
        return kExitFound;
    default:
        return kExitError;
    }
}

int32_t LoadReporting(ostak::RuleFile &file, Reporter &reporter, const std::string &shown) {
    reporter.SetSubject(shown.empty() ? file.path() : shown);
    int32_t code = OSTAK_OK;
    try {
        file.load();
    } catch (const ostak::Error &error) {
        code = error.code();
    }
    reporter.SetSubject("");
    return code;
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
