// ostak merge SOURCE TARGET: carries chosen applications over and saves the target.
#include "tools/Commands.h"

#include "tools/Decider.h"
#include "tools/Session.h"
#include "tools/Text.h"

#include <map>
#include <ostream>
#include <set>
#include <sys/stat.h>

namespace ostak_tool {

namespace {

std::string OutcomeOfMark(ostak::DiffMark mark) {
    switch (mark) {
    case ostak::DiffMark::Absent:
        return "added";
    case ostak::DiffMark::SameRules:
        return "same rules";
    case ostak::DiffMark::SameStamp:
        return "changed (same stamp)";
    case ostak::DiffMark::Changed:
        return "changed";
    default:
        return "mark " + std::to_string(static_cast<int32_t>(mark));
    }
}

// Replaces every mark by the decision; answers the chosen applications with their marks.
std::map<std::string, ostak::DiffMark> Choose(ostak::RuleFile &source, const ParsedArgs &args) {
    const bool all = args.Has("all");
    const std::vector<std::string> &wanted = args.Values("app");
    std::set<std::string> missing(wanted.begin(), wanted.end());
    std::map<std::string, ostak::DiffMark> chosen;
    for (ostak::Application appl : source.applications()) {
        const std::string name = appl.name();
        const bool take = all || missing.erase(name) != 0;
        if (take) {
            chosen.emplace(name, appl.diffMark());
        }
        appl.setDiffMark(take ? ostak::DiffMark::Apply : ostak::DiffMark::Skip);
    }
    if (!missing.empty()) {
        throw UsageError("no application \"" + *missing.begin() + "\" in " + source.path());
    }
    return chosen;
}

void RequireRegularOrMissing(const Context &context, const std::string &path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        Complain(context, path + ": not a regular file");
        throw Failure(kExitError);
    }
}

int RunMerge(Context &context, const ParsedArgs &args) {
    ExpectPositionals(args, 2, "SOURCE and TARGET");
    const std::string sourcePath = args.positionals[0];
    const std::string targetPath = args.positionals[1];
    const std::string output = args.Value("output");
    const ostak::FileKind sourceKind = KindOption("source-kind", args.Value("source-kind", "source"));
    const ostak::FileKind targetKind = KindOption("target-kind", args.Value("target-kind", "plain"));
    const Prefer prefer = PreferOption(args);
    if (args.Has("interactive") && prefer != Prefer::Unset) {
        throw UsageError("--interactive and --prefer exclude each other");
    }
    if (args.Has("all") == !args.Values("app").empty()) {
        throw UsageError("choose the applications: --app NAME (repeatable) or --all");
    }
    RequireRegularFile(context, sourcePath);
    RequireRegularOrMissing(context, targetPath);

    Decider decider(context, prefer,
                    args.Has("interactive") || (prefer == Prefer::Unset && context.stdinIsTerminal));
    const bool sourceIsScript =
        sourceKind == ostak::FileKind::Script && targetKind != ostak::FileKind::Script;
    Session session(context, SessionSetup{sourceIsScript ? sourcePath : targetPath, false, &decider});
    ostak::RuleFile source(sourceKind, sourcePath);
    ostak::RuleFile target(targetKind, targetPath);
    for (ostak::RuleFile *file : {&source, &target}) {
        if (const int32_t code = LoadReporting(*file, session.reporter()); code != OSTAK_OK) {
            Complain(context, "nothing merged");
            return ExitCodeOfLoad(code);
        }
    }
    source.markDifferences(target);
    const std::map<std::string, ostak::DiffMark> chosen = Choose(source, args);

    try {
        ostak::ApplyDifferences(source, target, args.Has("replace"));
    } catch (const ostak::Error &error) {
        if (decider.undecided() || decider.cancelled()) {
            Complain(context, "merge cancelled; nothing written");
        } else if (error.code() == OSTAK_E_INVALID_ARGUMENT) {
            Complain(context, std::string("the library does not merge ") + KindName(sourceKind) + " -> " +
                                  KindName(targetKind) + "; see 'ostak merge --help' for the accepted pairs");
        } else {
            Complain(context, "merge failed; nothing written");
        }
        return kExitError;
    }
    const std::string written = output.empty() ? targetPath : output;
    session.reporter().SetSubject(written);
    try {
        if (output.empty()) {
            target.save();
        } else {
            target.saveAs(output);
        }
    } catch (const ostak::Error &) {
        Complain(context, written + ": not written");
        return kExitError;
    }
    session.reporter().SetSubject("");
    if (!context.quiet) {
        std::ostream &out = *context.out;
        for (const auto &[name, mark] : chosen) {
            out << "  " << name << ": " << OutcomeOfMark(mark) << '\n';
        }
        out << "merged " << chosen.size() << (chosen.size() == 1 ? " application" : " applications")
            << " from " << sourcePath << " (" << KindName(sourceKind) << ") into " << targetPath << " ("
            << KindName(targetKind) << "), " << decider.questions()
            << (decider.questions() == 1 ? " decision" : " decisions") << "; wrote " << written << '\n';
    }
    return kExitOk;
}

} // namespace

Command MergeCommand() {
    return Command{
        "merge",
        "merge [OPTIONS] SOURCE TARGET (--app NAME... | --all) [--prefer source|target|both |\n"
        "       --interactive] [--replace] [--source-kind KIND] [--target-kind KIND] [-o OUT]",
        "carry applications from one rule file into another",
        std::string("Carries the chosen applications of SOURCE (--app NAME, repeatable, or --all)\n"
                    "into TARGET and saves TARGET (or OUT). An application TARGET lacks is copied;\n"
                    "one both hold has its rules merged rule by rule, the library asking for each\n"
                    "rule only one side holds and each rule both hold with different values.\n"
                    "--replace replaces TARGET's differing rules by SOURCE's without asking. The\n"
                    "merge is all or nothing: when it is cancelled or fails, nothing is written.\n"
                    "\n") +
            kPreferHelp + "\n" + kKindsHelp + kPairsHelp +
            "\n"
            "Exit status: 0 when merged and written, 1 when a file is not a valid rule\n"
            "file, 2 when the merge is cancelled, for errors of use or input/output.\n",
        {{"app", 0, true},
         {"all", 0, false},
         {"prefer", 0, true},
         {"interactive", 'i', false},
         {"replace", 0, false},
         {"source-kind", 0, true},
         {"target-kind", 0, true},
         {"output", 'o', true}},
        RunMerge};
}

} // namespace ostak_tool
