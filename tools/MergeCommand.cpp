// ostak merge SOURCE TARGET: carries chosen applications over and saves the target.
#include "tools/Commands.h"

#include "tools/BaseMerge.h"
#include "tools/Decider.h"
#include "tools/InPlaceWrite.h"
#include "tools/PrivateCopy.h"
#include "tools/Session.h"
#include "tools/Text.h"

#include <map>
#include <optional>
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
std::map<std::string, ostak::DiffMark> Choose(ostak::RuleFile &source, const ParsedArgs &args, bool all) {
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

// Whether two paths name one existing file.
bool SameFile(const std::string &a, const std::string &b) {
    const FileIdentity first = FileIdentity::Of(a);
    const FileIdentity second = FileIdentity::Of(b);
    return first.exists && second.exists && first.device == second.device && first.inode == second.inode;
}

// The target of a merge, loaded. A target marked Saved="true" is a script's
// rule file: unless a kind was asked for, it is merged into as one, so that
// it stays one (mark and all); a kind asked for that drops the mark is warned about.
struct Target {
    ostak::RuleFile file;
    bool keptScript = false; // loaded anew as a script's rule file because of its mark
};

std::optional<Target> LoadTarget(const Context &context, Session &session, const std::string &path,
                                 ostak::FileKind kind, bool kindAsked, ostak::FileKind sourceKind,
                                 const std::string &output, int &exitCode) {
    Target target{ostak::RuleFile(kind, path)};
    if (const int32_t code = LoadReporting(target.file, session.reporter()); code != OSTAK_OK) {
        exitCode = ExitCodeOfLoad(code);
        return std::nullopt;
    }
    if (kind == ostak::FileKind::Script || !target.file.saved()) {
        return target;
    }
    if (!output.empty() && !kindAsked) {
        // TARGET itself stays as it is; only the new file is written without the mark.
        WarnAbout(context, path, "a script's rule file (Saved=\"true\"); " + output + " is written as a " +
                                     KindName(kind) + " file, without that mark");
        return target;
    }
    if (kindAsked) {
        WarnAbout(context, path, std::string("a script's rule file (Saved=\"true\"); written as a ") +
                                     KindName(kind) +
                                     " file it loses that mark, and the next 'ostak sync' of it takes the "
                                     "installation file over it whenever their installation-file versions "
                                     "differ, replacing its applications");
        return target;
    }
    if (sourceKind == ostak::FileKind::Script) {
        ComplainAbout(context, path, "a script's rule file (Saved=\"true\"), and one script's rule file "
                                     "is not merged into another; give --target-kind plain to write it as a "
                                     "plain file (it then loses the mark)");
        exitCode = kExitError;
        return std::nullopt;
    }
    target = Target{ostak::RuleFile(ostak::FileKind::Script, path), true};
    if (const int32_t code = LoadReporting(target.file, session.reporter()); code != OSTAK_OK) {
        if (code == OSTAK_E_INSTALLATION_LOAD) {
            ComplainAbout(context, path, "a script's rule file (Saved=\"true\"), merged into as one, which "
                                         "needs the installation file under --root; give --root, or "
                                         "--target-kind plain to write it as a plain file (it then loses the mark)");
        }
        exitCode = ExitCodeOfLoad(code);
        return std::nullopt;
    }
    return target;
}

// "added", "changed", ...; an application added disabled says so, and one
// whose rules were replaced (--replace) says which rules of the target went.
std::string Outcome(ostak::DiffMark mark, const ostak::RuleFile &target, const std::string &name,
                    const std::map<std::string, std::vector<std::string>> &dropped) {
    std::string outcome = OutcomeOfMark(mark);
    if (auto found = dropped.find(name); found != dropped.end() && !found->second.empty()) {
        outcome += ", rules replaced; dropped from the target:";
        for (const std::string &rule : found->second) {
            outcome += " " + rule;
        }
        return outcome;
    }
    if (mark != ostak::DiffMark::Absent) {
        return outcome;
    }
    for (ostak::Application appl : target.applications()) {
        if (appl.name() == name && !appl.enabled()) {
            outcome += " (disabled)";
        }
    }
    return outcome;
}

// For --replace: per chosen application both hold with differing rules, the
// rules of the target that the source lacks (the replace drops them).
std::map<std::string, std::vector<std::string>> DroppedByReplace(const ostak::RuleFile &source,
                                                                 const ostak::RuleFile &target,
                                                                 const std::map<std::string, ostak::DiffMark> &chosen) {
    std::map<std::string, std::set<std::string>> sourceRules;
    for (ostak::Application appl : source.applications()) {
        auto found = chosen.find(appl.name());
        if (found == chosen.end() || found->second == ostak::DiffMark::Absent ||
            found->second == ostak::DiffMark::SameRules) {
            continue;
        }
        std::set<std::string> &names = sourceRules[appl.name()];
        for (ostak::Rule rule : appl.rules()) {
            names.insert(rule.name());
        }
    }
    std::map<std::string, std::vector<std::string>> dropped;
    for (ostak::Application appl : target.applications()) {
        auto names = sourceRules.find(appl.name());
        if (names == sourceRules.end()) {
            continue;
        }
        for (ostak::Rule rule : appl.rules()) {
            if (names->second.count(rule.name()) == 0) {
                dropped[appl.name()].push_back(rule.name());
            }
        }
    }
    return dropped;
}

int RunMerge(Context &context, const ParsedArgs &args) {
    ExpectPositionals(args, 2, "SOURCE and TARGET");
    const std::string targetPath = args.positionals[1];
    if (targetPath == "-") {
        throw UsageError("TARGET cannot be standard input; give -o - to write the merge to standard output");
    }
    const ostak::FileKind sourceKind = KindOption("source-kind", args.Value("source-kind", "source"));
    const ostak::FileKind askedTargetKind = KindOption("target-kind", args.Value("target-kind", "plain"));
    const Prefer prefer = PreferOption(args);
    if (args.Has("interactive") && prefer != Prefer::Unset) {
        throw UsageError("--interactive and --prefer exclude each other");
    }
    const std::string basePath = args.Value("base");
    if (args.Has("base") && basePath.empty()) {
        throw UsageError("--base needs a file");
    }
    // Three-way, every application is merged unless some are named.
    const bool all = args.Has("all") || (args.Has("base") && args.Values("app").empty());
    if (all == !args.Values("app").empty()) {
        throw UsageError("choose the applications: --app NAME (repeatable) or --all");
    }
    if (args.positionals[0] == "-" && args.Has("interactive")) {
        throw UsageError("--interactive reads the answers from standard input, which SOURCE - takes");
    }
    if (args.Has("base")) {
        RequireRegularFile(context, basePath);
    }
    RequireRegularOrMissing(context, targetPath);
    // The source is only read: standard input, or a file read as a script's
    // rule file, is loaded from a private copy.
    const InputFile sourceInput = OpenInput(context, args.positionals[0], sourceKind);
    const std::string &sourcePath = sourceInput.shown;
    const std::string &sourceLoad = sourceInput.load;
    std::optional<OutputFile> outputFile;
    if (args.Has("output")) {
        outputFile.emplace(context, args.Value("output"));
    }
    const std::string output = outputFile ? outputFile->path() : "";

    Decider decider(context, prefer,
                    args.Has("interactive") ||
                        (prefer == Prefer::Unset && context.stdinIsTerminal && args.positionals[0] != "-"));
    const bool sourceIsScript =
        sourceKind == ostak::FileKind::Script && askedTargetKind != ostak::FileKind::Script;
    Session session(context, SessionSetup{sourceIsScript ? sourceLoad : targetPath, false, &decider});
    session.reporter().Alias(sourceLoad, sourcePath);
    BaseMerge baseMerge(decider);
    std::optional<ostak::RuleFile> base;
    if (args.Has("base")) {
        base.emplace(ostak::FileKind::Plain, basePath);
        if (const int32_t code = LoadReporting(*base, session.reporter()); code != OSTAK_OK) {
            Complain(context, "nothing merged");
            return ExitCodeOfLoad(code);
        }
        baseMerge.SetBase(&*base);
    }
    ostak::RuleFile source(sourceKind, sourceLoad);
    if (const int32_t code = LoadReporting(source, session.reporter(), sourcePath); code != OSTAK_OK) {
        Complain(context, "nothing merged");
        return ExitCodeOfLoad(code);
    }
    // Written in place, the target stays locked from its load to its save.
    std::optional<InPlaceWrite> inPlace;
    if (output.empty() || SameFile(output, targetPath)) {
        inPlace.emplace(context, session, targetPath);
    }
    int exitCode = kExitOk;
    std::optional<Target> loaded =
        LoadTarget(context, session, targetPath, askedTargetKind, args.Has("target-kind"), sourceKind,
                   inPlace ? std::string() : outputFile->shown(), exitCode);
    if (!loaded) {
        Complain(context, "nothing merged");
        return exitCode;
    }
    ostak::RuleFile &target = loaded->file;
    const ostak::FileKind targetKind = target.kind();
    if (inPlace && targetKind == ostak::FileKind::Script) {
        inPlace->NoteLoaded(); // a script's load may have written it itself
    }
    source.markDifferences(target);
    const std::map<std::string, ostak::DiffMark> chosen = Choose(source, args, all);
    const std::map<std::string, std::vector<std::string>> dropped =
        args.Has("replace") ? DroppedByReplace(source, target, chosen)
                            : std::map<std::string, std::vector<std::string>>();
    if (!baseMerge.Prepare(source, target, all)) {
        Complain(context, "merge cancelled; nothing written");
        return kExitError;
    }

    session.reporter().SetSubject(targetPath);
    try {
        ostak::ApplyDifferences(source, target, args.Has("replace"));
        session.reporter().SetSubject("");
    } catch (const ostak::Error &error) {
        session.reporter().SetSubject("");
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
    baseMerge.Finish(target);
    const std::string written = output.empty() ? targetPath : outputFile->shown();
    if (inPlace) {
        inPlace->CheckUnchanged();
    }
    session.reporter().Alias(output, written);
    session.reporter().SetSubject(written);
    try {
        if (output.empty()) {
            target.save();
        } else {
            target.saveAs(output);
        }
    } catch (const ostak::Error &) {
        ComplainAbout(context, written, "not written");
        return kExitError;
    }
    session.reporter().SetSubject("");
    if (outputFile) {
        outputFile->Deliver(context);
    }
    if (!context.quiet) {
        // With the merge on stdout, the report goes to stderr.
        std::ostream &out = outputFile && outputFile->toStdout() ? *context.err : *context.out;
        for (const auto &[name, mark] : chosen) {
            out << "  " << name << ": " << Outcome(mark, target, name, dropped) << '\n';
        }
        out << "merged " << Counted(chosen.size(), "application") << " from " << sourcePath << " (" << KindName(sourceKind) << ") into " << targetPath << " ("
            << KindName(targetKind) << (loaded->keptScript ? ", as its Saved mark says" : "") << "), "
            << decider.questions() << (decider.questions() == 1 ? " decision" : " decisions") << "; wrote "
            << written << '\n';
        if (baseMerge.HasBase()) {
            out << "three-way from " << basePath << ": " << baseMerge.settled() << " settled, "
                << baseMerge.conflicts().size()
                << (baseMerge.conflicts().size() == 1 ? " conflict" : " conflicts") << '\n';
            for (const Conflict &conflict : baseMerge.conflicts()) {
                out << "  conflict: " << Printable(conflict.application)
                    << (conflict.rule.empty() ? "" : "/" + Printable(conflict.rule)) << ": " << conflict.what
                    << '\n';
            }
        }
    }
    return kExitOk;
}

} // namespace

Command MergeCommand() {
    return Command{
        "merge",
        "merge [OPTIONS] SOURCE TARGET (--app NAME... | --all) [--prefer source|target|both |\n"
        "       --interactive] [--replace] [--base BASE] [--source-kind KIND] [--target-kind KIND] [-o OUT|-]",
        "carry applications from one rule file into another",
        std::string("Carries the chosen applications of SOURCE (--app NAME, repeatable, or --all)\n"
                    "into TARGET and saves TARGET (or OUT; -o - writes it to stdout, and the report\n"
                    "to stderr). SOURCE - reads standard input. An application TARGET lacks is\n"
                    "copied; one both hold has its rules merged rule by rule, the library asking\n"
                    "for each rule only one side holds and each rule both hold with different\n"
                    "values (some of these are settled without asking, by the pair of kinds below).\n"
                    "--replace asks nothing: each chosen application both hold whose rules differ\n"
                    "gets a copy of SOURCE's rules in place of TARGET's, so TARGET's rules that\n"
                    "SOURCE lacks are dropped (the report names them). The merge is all or\n"
                    "nothing: when it is cancelled or fails, nothing is written.\n"
                    "\n"
                    "A TARGET marked Saved=\"true\" is a script's rule file: unless --target-kind\n"
                    "is given, it is merged into in place as one (so it keeps its mark; new\n"
                    "applications then arrive disabled, and the installation file under --root\n"
                    "must load). Another kind asked for, or an OUT written as a plain file, is\n"
                    "warned about, since what is written then lacks the mark.\n"
                    "A SOURCE read as a script's rule file is loaded from a private copy: merge\n"
                    "writes only TARGET (or OUT).\n"
                    "\n"
                    "--base BASE merges three-way: BASE is the common ancestor of SOURCE and TARGET\n"
                    "(read as a plain file; every application unless --app is given). What only\n"
                    "one side changed since BASE is taken without asking: a rule or application\n"
                    "added, changed or deleted on one side, an Enabled flag switched on one side.\n"
                    "Only what both sides changed differently is a conflict, decided by --prefer\n"
                    "or asked, and listed after the summary (a conflict over an application one\n"
                    "side deleted, or over an Enabled flag, keeps what is there).\n"
                    "\n") +
            kPreferHelp + "\n" + kKindsHelp + kPairsHelp +
            "\n"
            "Exit 0 when merged and written; 2 when a file does not load, the merge is\n"
            "cancelled or undecided, for errors of use or input/output.\n",
        {{"app", 0, true},
         {"all", 0, false},
         {"prefer", 0, true},
         {"interactive", 'i', false},
         {"replace", 0, false},
         {"base", 0, true},
         {"source-kind", 0, true},
         {"target-kind", 0, true},
         {"output", 'o', true}},
        RunMerge};
}

} // namespace ostak_tool
