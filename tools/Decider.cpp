#include "tools/Decider.h"

#include "tools/Text.h"

#include <algorithm>
#include <istream>
#include <ostream>

namespace ostak_tool {

const char *const kPreferHelp =
    "Decisions, rule by rule, where the library asks (a rule only one file holds, or\n"
    "a rule both hold with different values):\n"
    "  --prefer source   always the source's side: its rule enters, a rule only the\n"
    "                    target holds is left out\n"
    "  --prefer target   always the target's side: its rule stays, a rule only the\n"
    "                    source holds is left out\n"
    "  --prefer both     keep every rule: one-sided rules enter; in a conflict the\n"
    "                    target's rule stays and the source's enters under the name\n"
    "                    the library proposes\n"
    "  --interactive     show each question (the two rules side by side) and read the\n"
    "                    answer from stdin: s (source), t (target), b (both), c (cancel);\n"
    "                    the default when stdin is a terminal and no --prefer is given\n";

namespace {

std::string Trimmed(const std::string &text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

struct Row {
    const char *field;
    std::string source;
    std::string target;
    bool quoted;
};

std::string Flag(bool value) {
    return value ? "true" : "false";
}

std::vector<Row> Rows(const RuleValues &s, const RuleValues &t) {
    return {{"text", Printable(s.text), Printable(t.text), true},
            {"prefix", Printable(s.prefix), Printable(t.prefix), true},
            {"suffix", Printable(s.suffix), Printable(t.suffix), true},
            {"useText", Flag(s.useText), Flag(t.useText), false},
            {"matchCase", Flag(s.matchCase), Flag(t.matchCase), false},
            {"failIfNotFound", Flag(s.failIfNotFound), Flag(t.failIfNotFound), false},
            {"level", LevelName(s.level), LevelName(t.level), false},
            {"type", TypeName(s.type), TypeName(t.type), false}};
}

void ShowSideBySide(std::ostream &out, const RuleValues &s, const RuleValues &t) {
    std::vector<Row> rows = Rows(s, t);
    for (Row &row : rows) {
        if (row.quoted) {
            row.source = "\"" + row.source + "\"";
            row.target = "\"" + row.target + "\"";
        }
    }
    std::size_t width = std::string("source").size();
    for (const Row &row : rows) {
        width = std::max(width, row.source.size());
    }
    auto pad = [](const std::string &text, std::size_t to) {
        return text + std::string(to > text.size() ? to - text.size() : 0, ' ');
    };
    out << "  " << pad("", 14) << "  " << pad("source", width) << "  target\n";
    for (const Row &row : rows) {
        out << (row.source != row.target ? "* " : "  ") << pad(row.field, 14) << "  "
            << pad(row.source, width) << "  " << row.target << '\n';
    }
}

} // namespace

Prefer PreferOption(const ParsedArgs &args) {
    if (!args.Has("prefer")) {
        return Prefer::Unset;
    }
    const std::string value = args.Value("prefer");
    if (value == "source") {
        return Prefer::Source;
    }
    if (value == "target") {
        return Prefer::Target;
    }
    if (value == "both") {
        return Prefer::Both;
    }
    throw UsageError("--prefer: \"" + value + "\" is none of source, target, both");
}

Decider::Decider(const Context &context, Prefer prefer, bool interactive)
    : context_(context), prefer_(prefer), interactive_(interactive) {}

ostak::MergeAnswer Decider::Decide(const ostak::MergeQuestion &question) {
    if (settle_) {
        if (const std::optional<ostak::MergeAnswer> settled = settle_(question)) {
            return *settled;
        }
    }
    ++questions_;
    if (prefer_ != Prefer::Unset) {
        return ByPreference(question.event);
    }
    if (interactive_) {
        return Ask(question);
    }
    if (!undecided_) {
        Complain(context_, "a rule needs a decision: give --prefer source|target|both, or --interactive");
    }
    undecided_ = true;
    return ostak::MergeAnswer::Cancel;
}

ostak::MergeAnswer Decider::ByPreference(ostak::MergeEvent event) const {
    switch (prefer_) {
    case Prefer::Source:
        return ostak::MergeAnswer::TakeSource;
    case Prefer::Target:
        return ostak::MergeAnswer::TakeTarget;
    case Prefer::Both:
        switch (event) {
        case ostak::MergeEvent::RuleOnlyInSource:
            return ostak::MergeAnswer::TakeSource;
        case ostak::MergeEvent::RuleOnlyInTarget:
            return ostak::MergeAnswer::TakeTarget;
        case ostak::MergeEvent::RuleConflict:
            return ostak::MergeAnswer::TakeBoth;
        }
        break;
    case Prefer::Unset:
        break;
    }
    return ostak::MergeAnswer::Cancel;
}

ostak::MergeAnswer Decider::Ask(const ostak::MergeQuestion &question) {
    std::ostream &out = *context_.out;
    const RuleValues rule = ReadRule(question.rule);
    const std::string where =
        "Application \"" + question.application.name() + "\", rule \"" + rule.name + "\"";
    std::string choices;
    bool bothAllowed = false;
    switch (question.event) {
    case ostak::MergeEvent::RuleOnlyInSource:
        out << where << " is only in the source:\n  " << DescribeRule(rule) << '\n';
        choices = "[s] take it   [t] leave it out   [c] cancel the merge";
        break;
    case ostak::MergeEvent::RuleOnlyInTarget:
        out << where << " is only in the target:\n  " << DescribeRule(rule) << '\n';
        choices = "[s] leave it out   [t] keep it   [c] cancel the merge";
        break;
    case ostak::MergeEvent::RuleConflict:
        out << where << " differs:\n";
        ShowSideBySide(out, rule, ReadRule(question.targetRule));
        choices = "[s] source's rule   [t] target's rule   [b] both (source's as \"" + question.proposedName +
                  "\")   [c] cancel the merge";
        bothAllowed = true;
        break;
    }
    for (;;) {
        out << choices << "\n> " << std::flush;
        std::string line;
        if (!std::getline(*context_.in, line)) {
            out << '\n';
            Complain(context_, "end of input: merge cancelled");
            cancelled_ = true;
            return ostak::MergeAnswer::Cancel;
        }
        if (!context_.stdinIsTerminal) {
            out << line << '\n'; // a transcript reads as on a terminal
        }
        const std::string answer = Trimmed(line);
        if (answer == "s" || answer == "source") {
            return ostak::MergeAnswer::TakeSource;
        }
        if (answer == "t" || answer == "target") {
            return ostak::MergeAnswer::TakeTarget;
        }
        if (bothAllowed && (answer == "b" || answer == "both")) {
            return ostak::MergeAnswer::TakeBoth;
        }
        if (answer == "c" || answer == "cancel" || answer == "q") {
            cancelled_ = true;
            return ostak::MergeAnswer::Cancel;
        }
        out << "Please answer " << (bothAllowed ? "s, t, b or c" : "s, t or c") << ".\n";
    }
}

Confirmer::Confirmer(const Context &context, Confirm confirm, bool interactive, std::string scriptPath)
    : context_(context), confirm_(confirm), interactive_(interactive), scriptPath_(std::move(scriptPath)) {}

bool Confirmer::Answer(int32_t) {
    asked_ = true;
    if (confirm_ != Confirm::Unset) {
        yes_ = confirm_ == Confirm::Yes;
        return yes_;
    }
    if (!interactive_) {
        undecided_ = true;
        Complain(context_, "the installation file has changed since " + scriptPath_ +
                               " took it in: give --yes to merge its changes in, or --no");
        return false;
    }
    std::ostream &out = *context_.out;
    for (;;) {
        out << "The installation file has changed since " << scriptPath_
            << " took it in. Merge its changes in? [y/n]\n> " << std::flush;
        std::string line;
        if (!std::getline(*context_.in, line)) {
            out << '\n';
            return false;
        }
        if (!context_.stdinIsTerminal) {
            out << line << '\n';
        }
        const std::string answer = Trimmed(line);
        if (answer == "y" || answer == "yes") {
            yes_ = true;
            return true;
        }
        if (answer == "n" || answer == "no") {
            return false;
        }
    }
}

} // namespace ostak_tool
