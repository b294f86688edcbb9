// ostak rule add|set|rm|rename|enable|disable FILE APP RULE [NEWNAME] [OPTIONS]:
// edits the rules of an application.
#include "tools/Commands.h"

#include "tools/RuleFileEdit.h"
#include "tools/Text.h"

#include <functional>
#include <optional>
#include <ostream>
#include <vector>

namespace ostak_tool {

namespace {

// The value options of add and set, each pair exclusive.
struct RuleOptions {
    std::optional<std::string> text, prefix, suffix;
    std::optional<bool> matchCase, failIfNotFound;
    std::optional<ostak::Level> level;
    std::optional<ostak::RuleType> type;

    bool Empty() const {
        return !text && !prefix && !suffix && !matchCase && !failIfNotFound && !level && !type;
    }
};

template <class T>
std::optional<T> Pair(const ParsedArgs &args, const char *yes, T yesValue, const char *no, T noValue) {
    if (args.Has(yes) && args.Has(no)) {
        throw UsageError(std::string("--") + yes + " and --" + no + " exclude each other");
    }
    if (args.Has(yes)) {
        return yesValue;
    }
    if (args.Has(no)) {
        return noValue;
    }
    return std::nullopt;
}

std::optional<std::string> Text(const ParsedArgs &args, const char *name) {
    return args.Has(name) ? std::optional<std::string>(args.Value(name)) : std::nullopt;
}

RuleOptions ReadOptions(const ParsedArgs &args) {
    RuleOptions options;
    options.text = Text(args, "text");
    options.prefix = Text(args, "prefix");
    options.suffix = Text(args, "suffix");
    if (options.text && (options.prefix || options.suffix)) {
        throw UsageError("--text and --prefix/--suffix exclude each other");
    }
    options.matchCase = Pair(args, "match-case", true, "any-case", false);
    options.failIfNotFound = Pair(args, "fail-if-not-found", true, "no-fail-if-not-found", false);
    options.level = Pair(args, "enabled", ostak::Level::Error, "disabled", ostak::Level::Disabled);
    options.type = Pair(args, "std", ostak::RuleType::Std, "alert", ostak::RuleType::Alert);
    return options;
}

// Sets what the options give; --text makes the rule use its text, --prefix
// or --suffix its prefix and suffix.
void Apply(ostak::Rule &rule, const RuleOptions &options) {
    if (options.text) {
        rule.setText(*options.text);
        rule.setUseText(true);
    }
    if (options.prefix) {
        rule.setPrefix(*options.prefix);
    }
    if (options.suffix) {
        rule.setSuffix(*options.suffix);
    }
    if (options.prefix || options.suffix) {
        rule.setUseText(false);
    }
    if (options.matchCase) {
        rule.setMatchCase(*options.matchCase);
    }
    if (options.failIfNotFound) {
        rule.setFailIfNotFound(*options.failIfNotFound);
    }
    if (options.level) {
        rule.setLevel(*options.level);
    }
    if (options.type) {
        rule.setType(*options.type);
    }
}

std::string Joined(const std::vector<std::string> &items) {
    std::string out;
    for (const std::string &item : items) {
        out += (out.empty() ? "" : ", ") + item;
    }
    return out;
}

// Changes one rule of `appl` (finalised, its application stamped anew) and writes the file.
std::string ChangeRule(RuleFileEdit &edit, ostak::Application &appl, ostak::Rule &rule,
                       const std::string &subject, const std::function<void()> &change,
                       const std::string &done) {
    const RuleValues before = ReadRule(rule);
    edit.Change(subject, [&] {
        change();
        rule.finalize();
    });
    const std::vector<std::string> fields = DifferingFields(before, ReadRule(rule));
    if (fields.empty()) {
        return "rule " + subject + " is so already; not rewritten";
    }
    edit.Change(subject, [&] { appl.renewStamp(); });
    edit.Save();
    return done.empty() ? "changed rule " + subject + " (" + Joined(fields) + ")" : done;
}

std::string Run(RuleFileEdit &edit, const std::string &action, const ParsedArgs &args) {
    const std::string &applName = args.positionals[2];
    const std::string &ruleName = args.positionals[3];
    const std::string subject = applName + "/" + ruleName;
    ostak::Application appl = edit.Application(applName);
    if (action == "add") {
        const RuleOptions options = ReadOptions(args);
        if (!options.text && !options.prefix && !options.suffix) {
            throw UsageError("rule add needs --text T, or --prefix P and --suffix S");
        }
        edit.Change(subject, [&] {
            ostak::Rule rule = appl.addRule();
            rule.setName(ruleName);
            Apply(rule, options);
            rule.finalize();
            appl.renewStamp();
        });
        edit.Save();
        return "added rule " + subject;
    }
    ostak::Rule rule = edit.Rule(appl, ruleName);
    if (action == "rm") {
        edit.Change(subject, [&] {
            appl.removeRule(rule);
            appl.renewStamp();
        });
        edit.Save();
        return "removed rule " + subject;
    }
    if (action == "set") {
        const RuleOptions options = ReadOptions(args);
        if (options.Empty()) {
            throw UsageError("rule set needs at least one value to set (see 'ostak rule --help')");
        }
        return ChangeRule(
            edit, appl, rule, subject, [&] { Apply(rule, options); }, "");
    }
    if (action == "rename") {
        const std::string &newName = args.positionals[4];
        return ChangeRule(
            edit, appl, rule, subject, [&] { rule.setName(newName); },
            "renamed rule " + subject + " to " + newName);
    }
    const bool enable = action == "enable";
    return ChangeRule(
        edit, appl, rule, subject,
        [&] { rule.setLevel(enable ? ostak::Level::Error : ostak::Level::Disabled); },
        std::string(enable ? "enabled" : "disabled") + " rule " + subject);
}

int RunRule(Context &context, const ParsedArgs &args) {
    const std::string action = args.positionals.empty() ? "" : args.positionals[0];
    const bool rename = action == "rename";
    const bool values = action == "add" || action == "set";
    if (!values && !rename && action != "rm" && action != "enable" && action != "disable") {
        throw UsageError("expected an action: add, set, rm, rename, enable or disable");
    }
    ExpectPositionals(args, rename ? 5 : 4, rename ? "rename FILE APP RULE NEWNAME" : "ACTION FILE APP RULE");
    if (!values && !ReadOptions(args).Empty()) {
        throw UsageError("the value options go with add and set only");
    }
    const std::string &path = args.positionals[1];
    RuleFileEdit edit(context, path, RuleFileEdit::Start::Existing);
    const std::string summary = Run(edit, action, args);
    if (!context.quiet) {
        *context.out << path << ": " << summary << '\n';
    }
    return kExitOk;
}

} // namespace

Command RuleCommand() {
    return Command{"rule",
                   "rule [OPTIONS] add|set|rm|rename|enable|disable FILE APP RULE [NEWNAME] [VALUES]",
                   "add, change, remove, rename, enable or disable a rule",
                   "Changes one rule of the application APP in the rule file FILE and writes FILE\n"
                   "in place:\n"
                   "  add FILE APP RULE VALUES   adds RULE; VALUES must give --text, or --prefix\n"
                   "                             and --suffix; the rest is as the library makes a\n"
                   "                             rule: match case, not fail if not found, level\n"
                   "                             error (enabled), type std\n"
                   "  set FILE APP RULE VALUES   sets the values given, leaves the others\n"
                   "  rm FILE APP RULE           removes RULE\n"
                   "  rename FILE APP RULE NEWNAME\n"
                   "  enable FILE APP RULE       sets its level to error (the rule is used)\n"
                   "  disable FILE APP RULE      sets its level to disabled\n"
                   "\n"
                   "VALUES (add and set; the two of a pair exclude each other):\n"
                   "  --text T                   the rule matches the text T\n"
                   "  --prefix P, --suffix S     the rule matches between P and S (set: either\n"
                   "                             alone changes one; the text is kept but unused)\n"
                   "  --any-case | --match-case\n"
                   "  --fail-if-not-found | --no-fail-if-not-found\n"
                   "  --disabled | --enabled     the level: disabled or error\n"
                   "  --alert | --std            the type\n"
                   "\n"
                   "Every change goes through the library, which refuses an invalid or taken\n"
                   "name, a text holding a line feed, carriage return or tab, and a rule without\n"
                   "the text (or prefix and suffix) it uses; a refused change, or an APP or RULE\n"
                   "that FILE lacks, writes nothing. The application of a changed rule is stamped\n"
                   "anew with this host and the current time; a change that changes nothing\n"
                   "writes nothing. FILE is locked from the load to the save, and not written\n"
                   "when another program changed it meanwhile. A file marked Saved=\"true\" is\n"
                   "edited as a script's rule file and keeps its mark (the installation file\n"
                   "under --root must load).\n"
                   "\n"
                   "Exit status: 0 when written (or nothing was to change), 2 when refused or on\n"
                   "errors of use or input/output.\n",
                   {{"text", 0, true},
                    {"prefix", 0, true},
                    {"suffix", 0, true},
                    {"any-case", 0, false},
                    {"match-case", 0, false},
                    {"fail-if-not-found", 0, false},
                    {"no-fail-if-not-found", 0, false},
                    {"disabled", 0, false},
                    {"enabled", 0, false},
                    {"alert", 0, false},
                    {"std", 0, false}},
                   RunRule};
}

} // namespace ostak_tool
