// ostak show FILE [--json] [--active]: the applications and their rules.
#include "tools/Commands.h"

#include "tools/Json.h"
#include "tools/PrivateCopy.h"
#include "tools/Session.h"
#include "tools/StampText.h"
#include "tools/Text.h"

#include <ostream>

namespace ostak_tool {

namespace {

void WriteRuleJson(JsonWriter &json, const RuleValues &rule) {
    json.BeginObject();
    json.Key("name");
    json.String(ToUtf8(rule.name));
    json.Key("useText");
    json.Bool(rule.useText);
    json.Key("text");
    json.String(ToUtf8(rule.text));
    json.Key("prefix");
    json.String(ToUtf8(rule.prefix));
    json.Key("suffix");
    json.String(ToUtf8(rule.suffix));
    json.Key("matchCase");
    json.Bool(rule.matchCase);
    json.Key("failIfNotFound");
    json.Bool(rule.failIfNotFound);
    json.Key("level");
    json.String(LevelName(rule.level));
    json.Key("type");
    json.String(TypeName(rule.type));
    json.EndObject();
}

void WriteJson(std::ostream &out, const ostak::RuleFile &file, const std::string &shown, bool active) {
    JsonWriter json(out);
    json.BeginObject();
    json.Key("format");
    json.String("ostak-show");
    json.Key("version");
    json.Number(1);
    json.Key("file");
    json.String(ToUtf8(shown));
    json.Key("active");
    json.Bool(active);
    json.Key("saved");
    json.Bool(file.saved());
    json.Key("applications");
    json.BeginArray();
    for (ostak::Application appl : file.applications()) {
        json.BeginObject();
        json.Key("name");
        json.String(ToUtf8(appl.name()));
        json.Key("enabled");
        json.Bool(appl.enabled());
        const ostak::Application::Stamp stamp = appl.stamp();
        json.Key("stamp");
        json.BeginObject();
        json.Key("host");
        json.String(ToUtf8(stamp.host));
        json.Key("time");
        json.String(IsoLocalTime(stamp.time));
        json.Key("seconds");
        json.Number(stamp.time);
        json.EndObject();
        json.Key("rules");
        json.BeginArray();
        for (ostak::Rule rule : appl.rules()) {
            WriteRuleJson(json, ReadRule(rule));
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    json.Finish();
}

void WriteTree(std::ostream &out, const ostak::RuleFile &file, const std::string &shown) {
    out << Printable(shown) << (file.saved() ? " (saved by a script)" : "") << '\n';
    for (ostak::Application appl : file.applications()) {
        const auto rules = std::distance(appl.rules().begin(), appl.rules().end());
        out << "  " << appl.name() << " (" << (appl.enabled() ? "enabled" : "disabled") << ", " << rules
            << (rules == 1 ? " rule, " : " rules, ") << DescribeStamp(appl.stamp()) << ")\n";
        for (ostak::Rule rule : appl.rules()) {
            const RuleValues values = ReadRule(rule);
            out << "    " << values.name << ": " << DescribeRule(values) << '\n';
        }
    }
}

int RunShow(Context &context, const ParsedArgs &args) {
    ExpectPositionals(args, 1, "one FILE");
    const bool active = args.Has("active");
    const ostak::FileKind kind = active ? ostak::FileKind::Plain : ostak::FileKind::Source;
    const InputFile input = OpenInput(context, args.positionals[0], kind);
    Session session(context, SessionSetup{input.load, active});
    session.reporter().Alias(input.load, input.shown);
    ostak::RuleFile file(kind, input.load);
    const int32_t code = LoadReporting(file, session.reporter(), input.shown);
    if (code != OSTAK_OK) {
        return ExitCodeOfLoad(code);
    }
    if (args.Has("json")) {
        WriteJson(*context.out, file, input.shown, active);
    } else {
        WriteTree(*context.out, file, input.shown);
    }
    return kExitOk;
}

} // namespace

Command ShowCommand() {
    return Command{"show",
                   "show [OPTIONS] FILE [--json] [--active]",
                   "print the applications and their rules",
                   "Prints the applications of FILE (\"-\": standard input) in name order, each\n"
                   "with its rules, as an\n"
                   "indented tree, or with --json as one JSON document (described in README.md,\n"
                   "\"JSON output\"). Each application shows its stamp: the host and the time\n"
                   "(ISO 8601, local time) of its making or last change. --active shows what a script sees "
                   "at run time: the file\n"
                   "loaded in read-only mode, which leaves disabled applications and disabled\n"
                   "rules out. show only reads: FILE is never written.\n"
                   "\n"
                   "Exit 0 when shown; 2 when FILE does not load.\n",
                   {{"json", 0, false}, {"active", 0, false}},
                   RunShow};
}

} // namespace ostak_tool
