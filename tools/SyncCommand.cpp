// ostak sync SCRIPTFILE: loads a script's rule file the way a script does,
// keeping it in step with the installation file, and says what happened.
#include "tools/Commands.h"

#include "tools/BaseMerge.h"
#include "tools/Decider.h"
#include "tools/InPlaceWrite.h"
#include "tools/Session.h"
#include "tools/SyncBase.h"
#include "tools/Text.h"

#include <optional>
#include <ostream>
#include <sys/stat.h>

namespace ostak_tool {

namespace {

// Says why a failed load of the script's rule file failed; answers the exit code.
int ReportFailure(const Context &context, const std::string &path, int32_t code) {
    switch (code) {
    case OSTAK_E_INSTALLATION_LOAD:
        ComplainAbout(context, ostak::Library::installationFilePath(),
                      "the installation file could not be loaded; " + path + " is left as it is");
        break;
    case OSTAK_E_TAKEOVER_SAVE:
    case OSTAK_E_MERGE_SAVE:
        ComplainAbout(context, path, "could not be written");
        break;
    case OSTAK_E_MERGE:
        ComplainAbout(context, path, "merging the installation file in failed; nothing written");
        break;
    default:
        ComplainAbout(context, path, "not loaded");
        break;
    }
    return ExitCodeOfLoad(code);
}

// The script's file as the load finds it, read as a plain file (nothing is
// written); nullopt when it does not load (the load then says why).
std::optional<ostak::RuleFile> LoadHeld(const std::string &path) {
    std::optional<ostak::RuleFile> held(std::in_place, ostak::FileKind::Plain, path);
    try {
        held->load();
    } catch (const ostak::Error &) {
        held.reset();
    }
    return held;
}

// After a merge with a base: the load asked about no application, so they
// are settled three-way now, and the script's file is written once more
// (still under the lock) when that changed any. Answers how many changed.
int SettleApplications(const Context &context, Session &session, InPlaceWrite &inPlace, BaseMerge &baseMerge,
                       const std::optional<ostak::RuleFile> &held, ostak::RuleFile &script) {
    if (!baseMerge.HasBase() || !held) {
        return 0;
    }
    ostak::RuleFile installation(ostak::FileKind::Plain, ostak::Library::installationFilePath());
    if (LoadReporting(installation, session.reporter()) != OSTAK_OK) {
        return 0;
    }
    const std::string &path = script.path();
    session.reporter().SetSubject(path);
    try {
        const int changed = baseMerge.SettleApplications(installation, *held, script);
        if (changed > 0) {
            inPlace.CheckUnchanged();
            script.save();
        }
        session.reporter().SetSubject("");
        return changed;
    } catch (const ostak::Error &) {
        session.reporter().SetSubject("");
        ComplainAbout(context, path, "could not be written");
        throw Failure(kExitError);
    }
}

int RunSync(Context &context, const ParsedArgs &args) {
    ExpectPositionals(args, 1, "one SCRIPTFILE");
    const std::string path = args.positionals[0];
    if (args.Has("yes") && args.Has("no")) {
        throw UsageError("--yes and --no exclude each other");
    }
    const Prefer prefer = PreferOption(args);
    if (args.Has("interactive") && prefer != Prefer::Unset) {
        throw UsageError("--interactive and --prefer exclude each other");
    }
    RequireRegularOrMissing(context, path);
    const Confirm confirm = args.Has("yes") ? Confirm::Yes : args.Has("no") ? Confirm::No : Confirm::Unset;
    Confirmer confirmer(context, confirm, context.stdinIsTerminal || args.Has("interactive"), path);
    Decider decider(context, prefer,
                    args.Has("interactive") || (prefer == Prefer::Unset && context.stdinIsTerminal));
    Session session(context, SessionSetup{path, false, &decider, &confirmer});
    // The library's load holds the file's lock itself; taking it first makes
    // --wait count and keeps the file as it was read here until the load is done.
    InPlaceWrite inPlace(context, session, path);
    const auto [before, existed] = ReadWholeFile(path);
    const std::string installation = ostak::Library::installationFilePath();
    // What is taken over or merged in now becomes the base of the next sync.
    const auto [installationContent, installationRead] = ReadWholeFile(installation);
    const std::string basePath = BasePathFor(path);
    const std::optional<ostak::RuleFile> base = LoadBaseFor(context, session.reporter(), path, basePath);
    BaseMerge baseMerge(decider);
    baseMerge.SetBase(base ? &*base : nullptr);
    const std::optional<ostak::RuleFile> held = base ? LoadHeld(path) : std::nullopt;
    ostak::RuleFile script(ostak::FileKind::Script, path);
    const int32_t code = LoadReporting(script, session.reporter());
    if (code != OSTAK_OK) {
        return ReportFailure(context, path, code);
    }
    inPlace.NoteLoaded(); // the load may have written it itself
    const auto [after, exists] = ReadWholeFile(path);
    std::string outcome;
    int exitCode = kExitOk;
    bool keepBase = false;
    if (!confirmer.asked()) {
        keepBase = exists && (!existed || after != before);
        outcome =
            keepBase ? "taken over from " + installation : "unchanged (in step with " + installation + ")";
    } else if (!confirmer.answeredYes()) {
        outcome = "unchanged (the installation file's changes were not merged in)";
        exitCode = confirmer.undecided() ? kExitError : kExitOk;
    } else if (decider.cancelled() || decider.undecided()) {
        outcome = "cancelled (nothing written)";
        exitCode = kExitError;
    } else {
        keepBase = true;
        const int applications = SettleApplications(context, session, inPlace, baseMerge, held, script);
        outcome = "merged the changes of " + installation + " (" + std::to_string(decider.questions()) +
                  (decider.questions() == 1 ? " decision" : " decisions") +
                  (baseMerge.HasBase()
                       ? "; " + std::to_string(baseMerge.settled()) + " settled three-way from " + basePath
                       : std::string()) +
                  (applications > 0 ? "; " + Counted(static_cast<std::size_t>(applications), "application") +
                                          " settled three-way"
                                    : std::string()) +
                  ")";
        for (const Conflict &conflict : baseMerge.conflicts()) {
            outcome += "\n  conflict: " + Printable(conflict.application) +
                       (conflict.rule.empty() ? "" : "/" + Printable(conflict.rule)) + ": " + conflict.what;
        }
    }
    if (keepBase && installationRead) {
        WriteBase(context, basePath, installationContent);
    }
    if (!context.quiet || exitCode != kExitOk) {
        *context.out << path << ": " << outcome << '\n';
    }
    return exitCode;
}

} // namespace

Command SyncCommand() {
    return Command{
        "sync",
        "sync [OPTIONS] SCRIPTFILE [--yes|--no] [--prefer source|target|both | --interactive]",
        "keep a script's rule file in step with the installation file",
        std::string("Loads SCRIPTFILE as a script's rule file, exactly as a script does, against\n"
                    "the installation file dat/OstakInstallation.xml under --root, and says what\n"
                    "happened:\n"
                    "  taken over   SCRIPTFILE was missing, empty, of the old format, or outdated\n"
                    "               and never saved: it now holds the installation file's content\n"
                    "  merged       the installation file changed since SCRIPTFILE took it in, the\n"
                    "               merge was confirmed (--yes, or y on the terminal), and its\n"
                    "               applications were merged in and SCRIPTFILE saved\n"
                    "  unchanged    nothing to do, or the merge was declined (--no, or n)\n"
                    "  cancelled    a rule decision cancelled the merge; nothing was written\n"
                    "Without --yes or --no the question is asked when stdin is a terminal (or\n"
                    "with --interactive); otherwise it is an error of use.\n"
                    "\n"
                    "After a take-over or a merge, the installation file taken in is kept as\n"
                    "the base of SCRIPTFILE: .NAME.base beside it. The next merge decides three-way\n"
                    "from it: what only the installation file changed is taken, what only\n"
                    "SCRIPTFILE changed stays, and only a rule both changed differently needs a\n"
                    "decision. So for the applications, after the load's merge: one SCRIPTFILE's\n"
                    "owner deleted stays out, one the installation file dropped is removed, an\n"
                    "Enabled flag only the installation file switched is taken, and so is the\n"
                    "removal of a rule the owner never changed (\"N applications settled\n"
                    "three-way\"); each conflict keeps what SCRIPTFILE holds and is listed\n"
                    "under the summary. A base of another installation-file version than\n"
                    "SCRIPTFILE was last brought in step at is stale: sync says so and asks about\n"
                    "every difference (and settles no application).\n"
                    "\n"
                    "Rule decisions of the merge (the installation file is the source, SCRIPTFILE\n"
                    "the target; with a base, only conflicts):\n") +
            kPreferHelp +
            "\n"
            "Exit 0 when taken over, merged or unchanged; 2 when cancelled, when a decision\n"
            "was needed and none could be had, when a file does not load, for errors of\n"
            "use or input/output.\n",
        {{"yes", 'y', false}, {"no", 'n', false}, {"prefer", 0, true}, {"interactive", 'i', false}},
        RunSync};
}

} // namespace ostak_tool
