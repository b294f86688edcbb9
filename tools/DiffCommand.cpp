// ostak diff SOURCE OTHER [--json]: the differences the library marks, per
// application, with the rules of changed applications.
#include "tools/Commands.h"

#include "tools/Json.h"
#include "tools/PrivateCopy.h"
#include "tools/Session.h"
#include "tools/Text.h"

#include <map>
#include <ostream>

namespace ostak_tool {

namespace {

struct RuleDiff {
    std::string status; // "only-in-source", "only-in-other", "differs"
    std::vector<std::string> fields;
};

struct ApplDiff {
    std::string status; // "only-in-source", "only-in-other", "same-rules", "same-stamp", "changed"
    std::optional<bool> sourceEnabled;
    std::optional<bool> otherEnabled;
    std::map<std::string, RuleDiff> rules; // by name, in byte order
};

std::string StatusOfMark(ostak::DiffMark mark) {
    switch (mark) {
    case ostak::DiffMark::Absent:
        return "only-in-source";
    case ostak::DiffMark::SameRules:
        return "same-rules";
    case ostak::DiffMark::SameStamp:
        return "same-stamp";
    case ostak::DiffMark::Changed:
        return "changed";
    default:
        return "mark-" + std::to_string(static_cast<int32_t>(mark));
    }
}

std::map<std::string, RuleValues> RulesByName(const ostak::Application &appl) {
    std::map<std::string, RuleValues> rules;
    for (ostak::Rule rule : appl.rules()) {
        RuleValues values = ReadRule(rule);
        rules.emplace(values.name, std::move(values));
    }
    return rules;
}

// Which rules only one side holds, and which fields differ for the rest.
std::map<std::string, RuleDiff> CompareRules(const ostak::Application &source,
                                             const ostak::Application &other) {
    const std::map<std::string, RuleValues> mine = RulesByName(source);
    const std::map<std::string, RuleValues> theirs = RulesByName(other);
    std::map<std::string, RuleDiff> diffs;
    for (const auto &[name, values] : mine) {
        auto found = theirs.find(name);
        if (found == theirs.end()) {
            diffs[name] = RuleDiff{"only-in-source", {}};
        } else if (std::vector<std::string> fields = DifferingFields(values, found->second);
                   !fields.empty()) {
            diffs[name] = RuleDiff{"differs", fields};
        }
    }
    for (const auto &entry : theirs) {
        if (mine.count(entry.first) == 0) {
            diffs[entry.first] = RuleDiff{"only-in-other", {}};
        }
    }
    return diffs;
}

std::map<std::string, ApplDiff> Compare(ostak::RuleFile &source, ostak::RuleFile &other) {
    source.markDifferences(other);
    other.markDifferences(source);
    std::map<std::string, ostak::Application> others;
    for (ostak::Application appl : other.applications()) {
        others.emplace(appl.name(), appl);
    }
    std::map<std::string, ApplDiff> diffs;
    for (ostak::Application appl : source.applications()) {
        ApplDiff &diff = diffs[appl.name()];
        diff.status = StatusOfMark(appl.diffMark());
        diff.sourceEnabled = appl.enabled();
        auto namesake = others.find(appl.name());
        if (namesake == others.end()) {
            continue;
        }
        diff.otherEnabled = namesake->second.enabled();
        if (diff.status == "same-stamp" || diff.status == "changed") {
            diff.rules = CompareRules(appl, namesake->second);
        }
    }
    for (ostak::Application appl : other.applications()) {
        if (appl.diffMark() == ostak::DiffMark::Absent) {
            ApplDiff &diff = diffs[appl.name()];
            diff.status = "only-in-other";
            diff.otherEnabled = appl.enabled();
        }
    }
    return diffs;
}

std::string Words(const std::string &status) {
    std::string words = status;
    for (char &c : words) {
        c = c == '-' ? ' ' : c;
    }
    return words;
}

// A side of the comparison as the user named it.
struct Side {
    std::string path;
    ostak::FileKind kind;
};

void WriteText(std::ostream &out, const Side &source, const Side &other,
               const std::map<std::string, ApplDiff> &diffs) {
    out << "source: " << Printable(source.path) << " (" << KindName(source.kind) << ")\n";
    out << "other:  " << Printable(other.path) << " (" << KindName(other.kind) << ")\n";
    std::size_t width = 0;
    for (const auto &entry : diffs) {
        width = std::max(width, entry.first.size());
    }
    for (const auto &[name, diff] : diffs) {
        out << "  " << name << std::string(width - name.size() + 2, ' ') << Words(diff.status);
        if (diff.sourceEnabled && diff.otherEnabled && *diff.sourceEnabled != *diff.otherEnabled) {
            out << " (enabled in " << (*diff.sourceEnabled ? "source" : "other") << " only)";
        }
        out << '\n';
        for (const auto &[ruleName, rule] : diff.rules) {
            out << "    rule " << ruleName << ": " << Words(rule.status);
            for (std::size_t i = 0; i < rule.fields.size(); ++i) {
                out << (i == 0 ? " in " : ", ") << rule.fields[i];
            }
            out << '\n';
        }
    }
}

void WriteSide(JsonWriter &json, const char *key, const Side &side) {
    json.Key(key);
    json.BeginObject();
    json.Key("file");
    json.String(ToUtf8(side.path));
    json.Key("kind");
    json.String(KindName(side.kind));
    json.EndObject();
}

void WriteOptionalBool(JsonWriter &json, const char *key, const std::optional<bool> &value) {
    json.Key(key);
    if (value) {
        json.Bool(*value);
    } else {
        json.Null();
    }
}

void WriteJson(std::ostream &out, const Side &source, const Side &other,
               const std::map<std::string, ApplDiff> &diffs, bool differences) {
    JsonWriter json(out);
    json.BeginObject();
    json.Key("format");
    json.String("ostak-diff");
    json.Key("version");
    json.Number(1);
    WriteSide(json, "source", source);
    WriteSide(json, "other", other);
    json.Key("differences");
    json.Bool(differences);
    json.Key("applications");
    json.BeginArray();
    for (const auto &[name, diff] : diffs) {
        json.BeginObject();
        json.Key("name");
        json.String(ToUtf8(name));
        json.Key("status");
        json.String(diff.status);
        WriteOptionalBool(json, "sourceEnabled", diff.sourceEnabled);
        WriteOptionalBool(json, "otherEnabled", diff.otherEnabled);
        json.Key("rules");
        json.BeginArray();
        for (const auto &[ruleName, rule] : diff.rules) {
            json.BeginObject();
            json.Key("name");
            json.String(ToUtf8(ruleName));
            json.Key("status");
            json.String(rule.status);
            json.Key("fields");
            json.BeginArray();
            for (const std::string &field : rule.fields) {
                json.String(field);
            }
            json.EndArray();
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    json.Finish();
}

int RunDiff(Context &context, const ParsedArgs &args) {
    ExpectPositionals(args, 2, "SOURCE and OTHER");
    const std::string sourcePath = args.positionals[0];
    const std::string otherPath = args.positionals[1];
    const ostak::FileKind sourceKind = KindOption("source-kind", args.Value("source-kind", "plain"));
    const ostak::FileKind otherKind = KindOption("other-kind", args.Value("other-kind", "plain"));
    RequireRegularFile(context, sourcePath);
    RequireRegularFile(context, otherPath);

    // A file read as a script's rule file is loaded from a private copy: diff never writes.
    std::unique_ptr<PrivateCopy> sourceCopy;
    std::unique_ptr<PrivateCopy> otherCopy;
    const std::string sourceLoad = LoadPathFor(context, sourcePath, sourceKind, sourceCopy);
    const std::string otherLoad = LoadPathFor(context, otherPath, otherKind, otherCopy);
    const bool otherIsScript = otherKind == ostak::FileKind::Script && sourceKind != ostak::FileKind::Script;
    Session session(context, SessionSetup{otherIsScript ? otherLoad : sourceLoad});
    ostak::RuleFile source(sourceKind, sourceLoad);
    ostak::RuleFile other(otherKind, otherLoad);
    const Side sourceSide{sourcePath, sourceKind};
    const Side otherSide{otherPath, otherKind};
    for (const auto &[file, side] : {std::pair{&source, &sourceSide}, std::pair{&other, &otherSide}}) {
        session.reporter().Alias(file->path(), side->path);
        if (const int32_t code = LoadReporting(*file, session.reporter(), side->path); code != OSTAK_OK) {
            return ExitCodeOfLoad(code);
        }
    }
    const std::map<std::string, ApplDiff> diffs = Compare(source, other);
    bool differences = false;
    for (const auto &entry : diffs) {
        differences = differences || entry.second.status != "same-rules";
    }
    if (args.Has("json")) {
        WriteJson(*context.out, sourceSide, otherSide, diffs, differences);
    } else if (!context.quiet) {
        WriteText(*context.out, sourceSide, otherSide, diffs);
    }
    return differences ? kExitFound : kExitOk;
}

} // namespace

Command DiffCommand() {
    return Command{
        "diff",
        "diff [OPTIONS] SOURCE OTHER [--json] [--source-kind KIND] [--other-kind KIND]",
        "show the differences between two rule files",
        std::string("Marks every application of SOURCE against its namesake in OTHER, and the\n"
                    "other way round, through the library, and prints per application:\n"
                    "  only in source, only in other   no namesake on the other side\n"
                    "  same rules                      both hold equal rules (stamps and enabled\n"
                    "                                  flags aside)\n"
                    "  same stamp                      the rules differ, both carry the same stamp\n"
                    "                                  (only between a plain and a script file)\n"
                    "  changed                         the rules differ otherwise\n"
                    "For changed applications it lists the rules only one side holds and, for\n"
                    "rules both hold, the fields that differ. --json prints one JSON document\n"
                    "(README.md, \"JSON output\"). Both kinds default to plain; marking treats\n"
                    "every pair alike except plain and script, which tell \"same stamp\" apart.\n"
                    "\n") +
            kKindsHelp +
            "\n"
            "diff never writes: a file read as a script's rule file is loaded from a\n"
            "private copy, so that keeping it in step with the installation file shows\n"
            "in the comparison but never reaches the file itself.\n"
            "\n"
            "Exit status: 0 when no application differs, 1 when one does, 2 for errors\n"
            "of use or input/output (and 1 when a file is not a valid rule file).\n",
        {{"json", 0, false}, {"source-kind", 0, true}, {"other-kind", 0, true}},
        RunDiff};
}

} // namespace ostak_tool
