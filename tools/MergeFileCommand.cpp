// ostak merge-file BASE CURRENT OTHER [PATH]: git's merge driver. Merges
// OTHER into CURRENT three-way from BASE and writes the result to CURRENT;
// each conflict keeps both sides, so that the file stays a valid rule file,
// and is listed.
#include "tools/Commands.h"

#include "tools/BaseMerge.h"
#include "tools/Decider.h"
#include "tools/InPlaceWrite.h"
#include "tools/Session.h"
#include "tools/Text.h"

#include <ostream>

namespace ostak_tool {

namespace {

// How a conflict was left in CURRENT: both rules of a rule changed on both
// sides, else whatever one side still holds.
std::string Describe(const Conflict &conflict) {
    std::string text = "application \"" + Printable(conflict.application) + "\"";
    if (conflict.rule.empty()) {
        return text + ": " + conflict.what;
    }
    text += ", rule \"" + Printable(conflict.rule) + "\": " + conflict.what;
    if (conflict.proposedName.empty()) {
        return text + "; kept";
    }
    return text + "; ours stays as \"" + Printable(conflict.rule) + "\", theirs is added as \"" +
           Printable(conflict.proposedName) + "\"";
}

// Loads a side; reports a failure under `shown` and answers false.
bool LoadSide(const Context &context, Session &session, ostak::RuleFile &file, const std::string &shown) {
    session.reporter().Alias(file.path(), shown);
    if (LoadReporting(file, session.reporter(), shown) == OSTAK_OK) {
        return true;
    }
    ComplainAbout(context, shown, "not loaded; nothing merged");
    return false;
}

int RunMergeFile(Context &context, const ParsedArgs &args) {
    if (args.positionals.size() != 3 && args.positionals.size() != 4) {
        throw UsageError("expected BASE CURRENT OTHER and optionally PATH");
    }
    const std::string basePath = args.positionals[0];
    const std::string currentPath = args.positionals[1];
    const std::string otherPath = args.positionals[2];
    const std::string shown = args.positionals.size() == 4 ? args.positionals[3] : currentPath;
    for (const std::string &path : {basePath, currentPath, otherPath}) {
        RequireRegularFile(context, path);
    }
    // Nothing is asked: a conflict keeps both sides.
    Decider decider(context, Prefer::Both, false);
    Session session(context, SessionSetup{currentPath, false, &decider});
    BaseMerge baseMerge(decider);
    InPlaceWrite inPlace(context, session, currentPath);
    ostak::RuleFile base(ostak::FileKind::Plain, basePath);
    ostak::RuleFile current(ostak::FileKind::Plain, currentPath);
    ostak::RuleFile other(ostak::FileKind::Source, otherPath);
    if (!LoadSide(context, session, base, shown + " (base)") ||
        !LoadSide(context, session, current, shown + " (ours)") ||
        !LoadSide(context, session, other, shown + " (theirs)")) {
        return kExitError;
    }
    if (current.saved()) {
        ComplainAbout(context, shown, "a script's rule file (Saved=\"true\") keeps its mark only when merged "
                                  "as one; merge it with 'ostak merge --base' (nothing written)");
        return kExitError;
    }
    baseMerge.SetBase(&base);
    other.markDifferences(current);
    for (ostak::Application appl : other.applications()) {
        appl.setDiffMark(ostak::DiffMark::Apply);
    }
    baseMerge.Prepare(other, current, true);
    try {
        ostak::ApplyDifferences(other, current);
    } catch (const ostak::Error &) {
        ComplainAbout(context, shown, "merge failed; nothing written");
        return kExitError;
    }
    baseMerge.Finish(current);
    if (current.applications().empty()) {
        // A rule file without applications is no file at all to the library.
        ComplainAbout(context, shown, "the merged file holds no application; nothing written");
        return kExitError;
    }
    inPlace.CheckUnchanged();
    session.reporter().SetSubject(shown);
    try {
        current.save();
    } catch (const ostak::Error &) {
        ComplainAbout(context, shown, "not written");
        return kExitError;
    }
    session.reporter().SetSubject("");
    for (const Conflict &conflict : baseMerge.conflicts()) {
        ComplainAbout(context, shown, "conflict: " + Describe(conflict));
    }
    const std::size_t conflicts = baseMerge.conflicts().size();
    if (!context.quiet) {
        *context.out << shown << ": merged three-way, " << baseMerge.settled() << " settled, " << conflicts
                     << (conflicts == 1 ? " conflict" : " conflicts") << '\n';
    }
    return conflicts == 0 ? kExitOk : kExitFound;
}

} // namespace

Command MergeFileCommand() {
    return Command{"merge-file",
                   "merge-file [OPTIONS] BASE CURRENT OTHER [PATH]",
                   "git merge driver: merge three-way into CURRENT",
                   "Merges OTHER into CURRENT three-way, BASE being their common ancestor, and\n"
                   "writes the result to CURRENT, as git's merge driver does (%O %A %B %P):\n"
                   "what only one side changed since BASE is taken; a rule both sides changed\n"
                   "differently is kept twice, ours under its name and theirs under the name\n"
                   "the library proposes (Rule_3 -> Rule_4, Check -> Check_1), so that CURRENT\n"
                   "stays a valid rule file; every conflict is listed on stderr, named by PATH.\n"
                   "All three are read as plain files; a CURRENT marked Saved=\"true\" is refused.\n"
                   "\n"
                   "In .gitattributes:   *.xml merge=ostak diff=ostak\n"
                   "In git config:       git config merge.ostak.name \"Ostak rule files\"\n"
                   "                     git config merge.ostak.driver \"ostak merge-file %O %A %B %P\"\n"
                   "                     git config diff.ostak.textconv \"ostak textconv\"\n"
                   "\n"
                   "Exit status: 0 when nothing conflicted, 1 when conflicts were kept (git\n"
                   "then reports the file as conflicted), 2 for errors (CURRENT left as it was).\n",
                   {},
                   RunMergeFile};
}

} // namespace ostak_tool
