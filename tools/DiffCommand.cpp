// ostak diff SOURCE OTHER [--json]: the differences the library marks, per
// application, with the rules of changed applications.
#include "tools/Commands.h"

#include "tools/Json.h"
#include "tools/PrivateCopy.h"
#include "tools/Session.h"
#include "tools/Text.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <ostream>
#include <unistd.h>

namespace ostak_tool {

namespace {

// A value of a rule field: a text (in the library's code page), a flag, or a
// word (level, type).
struct FieldValue {
    enum Kind { Text, Flag, Word } kind;
    std::string text;
    bool flag = false;
};

struct FieldChange {
    std::string field; // as named in the JSON output
    FieldValue source;
    FieldValue other;
};

struct RuleDiff {
    std::string status; // "only-in-source", "only-in-other", "differs"
    std::vector<FieldChange> changes;
};

FieldValue ValueOf(const RuleValues &rule, const std::string &field) {
    if (field == "name" || field == "text" || field == "prefix" || field == "suffix") {
        const std::string &text = field == "name"     ? rule.name
                                  : field == "text"   ? rule.text
                                  : field == "prefix" ? rule.prefix
                                                      : rule.suffix;
        return FieldValue{FieldValue::Text, text};
    }
    if (field == "level" || field == "type") {
        return FieldValue{FieldValue::Word, field == "level" ? LevelName(rule.level) : TypeName(rule.type)};
    }
    const bool flag = field == "useText"     ? rule.useText
                      : field == "matchCase" ? rule.matchCase
                                             : rule.failIfNotFound;
    return FieldValue{FieldValue::Flag, "", flag};
}

std::vector<FieldChange> Changes(const RuleValues &source, const RuleValues &other) {
    std::vector<FieldChange> changes;
    for (const std::string &field : DifferingFields(source, other)) {
        changes.push_back(FieldChange{field, ValueOf(source, field), ValueOf(other, field)});
    }
    return changes;
}

// A value as the text output shows it: texts quoted, flags and words bare.
std::string Shown(const FieldValue &value) {
    switch (value.kind) {
    case FieldValue::Text:
        return "\"" + Printable(value.text) + "\"";
    case FieldValue::Flag:
        return value.flag ? "true" : "false";
    case FieldValue::Word:
        break;
    }
    return value.text;
}

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
        } else if (std::vector<FieldChange> changes = Changes(values, found->second); !changes.empty()) {
            diffs[name] = RuleDiff{"differs", std::move(changes)};
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

bool EnabledDiffers(const ApplDiff &diff) {
    return diff.sourceEnabled && diff.otherEnabled && *diff.sourceEnabled != *diff.otherEnabled;
}

// The -/+ lines of one value, coloured on request (red the source's, green the other's).
void WriteChange(std::ostream &out, bool colour, const std::string &indent, const std::string &field,
                 const std::string &source, const std::string &other) {
    out << (colour ? "\x1B[31m" : "") << '-' << indent << field << ' ' << source << (colour ? "\x1B[m" : "")
        << '\n';
    out << (colour ? "\x1B[32m" : "") << '+' << indent << field << ' ' << other << (colour ? "\x1B[m" : "")
        << '\n';
}

void WriteText(std::ostream &out, const Side &source, const Side &other,
               const std::map<std::string, ApplDiff> &diffs, bool colour) {
    out << "source: " << Printable(source.path) << " (" << KindName(source.kind) << ")\n";
    out << "other:  " << Printable(other.path) << " (" << KindName(other.kind) << ")\n";
    std::size_t width = 0;
    for (const auto &entry : diffs) {
        width = std::max(width, entry.first.size());
    }
    for (const auto &[name, diff] : diffs) {
        out << "  " << name << std::string(width - name.size() + 2, ' ') << Words(diff.status);
        if (EnabledDiffers(diff)) {
            out << " (enabled in " << (*diff.sourceEnabled ? "source" : "other") << " only)\n";
            WriteChange(out, colour, "   ", "enabled", *diff.sourceEnabled ? "true" : "false",
                        *diff.otherEnabled ? "true" : "false");
        } else {
            out << '\n';
        }
        for (const auto &[ruleName, rule] : diff.rules) {
            out << "    rule " << ruleName << ": " << Words(rule.status);
            for (std::size_t i = 0; i < rule.changes.size(); ++i) {
                out << (i == 0 ? " in " : ", ") << rule.changes[i].field;
            }
            out << '\n';
            for (const FieldChange &change : rule.changes) {
                WriteChange(out, colour, "     ", change.field, Shown(change.source), Shown(change.other));
            }
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

void WriteValue(JsonWriter &json, const char *key, const FieldValue &value) {
    json.Key(key);
    if (value.kind == FieldValue::Flag) {
        json.Bool(value.flag);
    } else {
        json.String(value.kind == FieldValue::Text ? ToUtf8(value.text) : value.text);
    }
}

// --color=auto|always|never; auto: stdout is a terminal, NO_COLOR is not set and TERM is not "dumb".
bool ColourOption(const ParsedArgs &args) {
    const std::string when = args.Value("color", "auto");
    if (when == "always") {
        return true;
    }
    if (when == "never") {
        return false;
    }
    if (when != "auto") {
        throw UsageError("--color: \"" + when + "\" is none of auto, always, never");
    }
    const char *term = std::getenv("TERM");
    return isatty(STDOUT_FILENO) != 0 && std::getenv("NO_COLOR") == nullptr &&
           !(term != nullptr && std::strcmp(term, "dumb") == 0);
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
            for (const FieldChange &change : rule.changes) {
                json.String(change.field);
            }
            json.EndArray();
            json.Key("changes");
            json.BeginArray();
            for (const FieldChange &change : rule.changes) {
                json.BeginObject();
                json.Key("field");
                json.String(change.field);
                WriteValue(json, "source", change.source);
                WriteValue(json, "other", change.other);
                json.EndObject();
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
    const ostak::FileKind sourceKind = KindOption("source-kind", args.Value("source-kind", "plain"));
    const ostak::FileKind otherKind = KindOption("other-kind", args.Value("other-kind", "plain"));
    const bool colour = ColourOption(args);

    // Standard input, or a file read as a script's rule file, is loaded from
    // a private copy: diff never writes.
    const InputFile sourceInput = OpenInput(context, args.positionals[0], sourceKind);
    const InputFile otherInput = OpenInput(context, args.positionals[1], otherKind);
    const std::string &sourcePath = sourceInput.shown;
    const std::string &otherPath = otherInput.shown;
    const std::string &sourceLoad = sourceInput.load;
    const std::string &otherLoad = otherInput.load;
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
        differences = differences || entry.second.status != "same-rules" || EnabledDiffers(entry.second);
    }
    if (args.Has("json")) {
        WriteJson(*context.out, sourceSide, otherSide, diffs, differences);
    } else if (!context.quiet) {
        WriteText(*context.out, sourceSide, otherSide, diffs, colour);
    }
    return differences ? kExitFound : kExitOk;
}

} // namespace

Command DiffCommand() {
    return Command{
        "diff",
        "diff [OPTIONS] SOURCE OTHER [--json] [--color=auto|always|never] [--source-kind KIND]\n"
        "       [--other-kind KIND]",
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
                    "rules both hold, each field that differs as two lines, like a unified diff:\n"
                    "\"-\" SOURCE's value, \"+\" OTHER's. An application whose enabled flag\n"
                    "differs says so the same way, and counts as a difference. --color colours\n"
                    "the -/+ lines (auto: on a terminal, unless NO_COLOR is set). --json prints\n"
                    "one JSON document with both values of each field (README.md, \"JSON\n"
                    "output\"). Either file may be - (standard input). Both kinds default to\n"
                    "plain; marking treats every pair alike except plain and script, which tell\n"
                    "\"same stamp\" apart.\n"
                    "\n") +
            kKindsHelp +
            "\n"
            "diff never writes: a file read as a script's rule file is loaded from a\n"
            "private copy, so that keeping it in step with the installation file shows\n"
            "in the comparison but never reaches the file itself.\n"
            "\n"
            "Exit 0 when no application differs, 1 when one does (rules or enabled flag),\n"
            "2 when a file does not load, for errors of use or input/output.\n",
        {{"json", 0, false}, {"color", 0, true}, {"source-kind", 0, true}, {"other-kind", 0, true}},
        RunDiff};
}

} // namespace ostak_tool
