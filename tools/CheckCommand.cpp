// ostak check FILE...: loads each file and reports every problem, and every
// value that loads as something other than it looks.
#include "tools/Commands.h"

#include "tools/Json.h"
#include "tools/PrivateCopy.h"
#include "tools/Session.h"
#include "tools/Text.h"
#include "tools/ValueScan.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <ostream>
#include <vector>

namespace ostak_tool {

namespace {

std::string Shown(const std::string &name) {
    return name.empty() ? "(no name)" : name;
}

// What check found in one file.
struct FileReport {
    std::string file;
    std::string status; // "ok", "not-valid", "not-loaded"
    std::string cause;  // the result code of a load that failed, or empty
    std::size_t applications = 0;
    std::size_t rules = 0;
    int problems = 0; // applications and rules not valid
    std::vector<Diagnostic> diagnostics;

    int Count(const char *level) const {
        return static_cast<int>(std::count_if(diagnostics.begin(), diagnostics.end(),
                                              [&](const Diagnostic &d) { return d.level == level; }));
    }
};

// Validates one rule through the library; answers whether it is valid.
bool CheckRule(ostak::Rule rule, Reporter &reporter, const std::string &path, const std::string &appl) {
    reporter.SetSubject(path, appl + "/" + Shown(rule.name()));
    try {
        rule.finalize();
        return true;
    } catch (const ostak::Error &) {
        return false;
    }
}

// Validates an application and every rule of it; answers the number of problems.
int CheckApplication(ostak::Application appl, Reporter &reporter, const std::string &path) {
    const std::string name = Shown(appl.name());
    ostak::Rule failing;
    reporter.SetSubject(path, name);
    reporter.Hold();
    bool valid = true;
    try {
        appl.finalize(&failing);
    } catch (const ostak::Error &) {
        valid = false;
    }
    reporter.Release(path, failing ? name + "/" + Shown(failing.name()) : name);
    if (valid) {
        return 0;
    }
    // The application stops at its first problem: go on with the rules after
    // the failing one (those before it passed), or all of them.
    const std::vector<ostak::Rule> rules(appl.rules().begin(), appl.rules().end());
    auto next = failing ? std::find(rules.begin(), rules.end(), failing) + 1 : rules.begin();
    int problems = 1;
    for (; next < rules.end(); ++next) {
        problems += CheckRule(*next, reporter, path, name) ? 0 : 1;
    }
    return problems;
}

// Loading meets a problem of the file itself (1), or cannot read it (2).
bool ProblemOfTheFile(int32_t code) {
    switch (code) {
    case OSTAK_E_DUPLICATE_NAME:
    case OSTAK_E_INVALID_NAME:
    case OSTAK_E_LINE_BREAK:
    case OSTAK_E_FILE_EMPTY:
    case OSTAK_E_INVALID_DOCUMENT:
        return true;
    default:
        return false;
    }
}

void AddValueWarnings(FileReport &report, const std::string &bytes, const std::string &root) {
    const std::string dtd = (std::filesystem::path(root) / "dat" / "OstakDtd.xml").string();
    for (ValueWarning &warning : ScanValues(bytes, dtd)) {
        Diagnostic diagnostic;
        diagnostic.level = "warning";
        diagnostic.file = report.file;
        diagnostic.line = warning.line;
        diagnostic.column = warning.column;
        diagnostic.element = std::move(warning.element);
        diagnostic.text = std::move(warning.text);
        diagnostic.fix = std::move(warning.fix);
        report.diagnostics.push_back(std::move(diagnostic));
    }
}

FileReport CheckFile(Context &context, const std::string &arg) {
    const InputFile input = OpenInput(context, arg, ostak::FileKind::Source);
    FileReport report;
    report.file = input.shown;
    Session session(context, SessionSetup{input.load});
    Reporter &reporter = session.reporter();
    reporter.Alias(input.load, input.shown);
    reporter.Capture(&report.diagnostics);
    int32_t code = OSTAK_OK;
    {
        // The model is gone before the file's bytes are read for the value
        // scan, so that the two never take memory at the same time.
        ostak::RuleFile file(ostak::FileKind::Source, input.load);
        code = LoadReporting(file, reporter, input.shown);
        if (code != OSTAK_OK && !ProblemOfTheFile(code)) {
            report.status = "not-loaded";
            report.cause = ostak::ResultName(code);
            return report;
        }
        // What loaded is validated too, unless the load stopped part-way (an
        // invalid document) or holds repeated names (reported by the load already).
        if (code == OSTAK_OK || code == OSTAK_E_INVALID_NAME) {
            const std::vector<ostak::Application> all(file.applications().begin(),
                                                      file.applications().end());
            for (const ostak::Application &appl : all) {
                report.problems += CheckApplication(appl, reporter, input.shown);
                report.rules +=
                    static_cast<std::size_t>(std::distance(appl.rules().begin(), appl.rules().end()));
            }
            report.applications = all.size();
        }
    }
    reporter.SetSubject("");
    reporter.Capture(nullptr);
    AddValueWarnings(report, ReadWholeFile(input.load).first, context.root);
    report.status = code == OSTAK_OK && report.problems == 0 ? "ok" : "not-valid";
    report.cause = code == OSTAK_OK ? "" : ostak::ResultName(code);
    // Messages with a position in the file first, in the file's order.
    std::stable_sort(report.diagnostics.begin(), report.diagnostics.end(),
                     [&](const Diagnostic &a, const Diagnostic &b) {
                         const auto key = [&](const Diagnostic &d) {
                             return d.line > 0 && d.file == report.file ? std::pair(d.line, d.column)
                                                                        : std::pair(INT_MAX, 0);
                         };
                         return key(a) < key(b);
                     });
    return report;
}

int ExitOf(const FileReport &report, bool strict) {
    if (report.status == "not-loaded") {
        return kExitError;
    }
    if (report.status == "not-valid" || (strict && report.Count("warning") != 0)) {
        return kExitFound;
    }
    return kExitOk;
}

std::string Summary(const FileReport &report) {
    const int warnings = report.Count("warning");
    const std::string warned =
        warnings == 0 ? "" : ", " + Counted(static_cast<std::size_t>(warnings), "warning");
    if (report.status == "not-loaded") {
        return report.file + ": not loaded (" + report.cause + ")";
    }
    if (report.status == "ok") {
        return report.file + ": ok (" + Counted(report.applications, "application") + ", " +
               Counted(report.rules, "rule") + ")" + warned;
    }
    std::string what = report.cause;
    if (report.problems != 0) {
        what += (what.empty() ? "" : ", ") + Counted(static_cast<std::size_t>(report.problems), "problem");
    }
    return report.file + ": not valid (" + what + ")" + warned;
}

void WriteText(const Context &context, const FileReport &report) {
    for (const Diagnostic &diagnostic : report.diagnostics) {
        if (diagnostic.level == "warning" && context.quiet) {
            continue;
        }
        *context.err << FormatDiagnostic(diagnostic, context.verbose) << '\n';
    }
    if (!context.quiet) {
        *context.out << Printable(Summary(report)) << '\n';
    }
}

void WriteJson(std::ostream &out, const std::vector<FileReport> &reports, bool strict, int exitCode) {
    JsonWriter json(out);
    json.BeginObject();
    json.Key("format");
    json.String("ostak-check");
    json.Key("version");
    json.Number(1);
    json.Key("strict");
    json.Bool(strict);
    json.Key("exitCode");
    json.Number(exitCode);
    json.Key("files");
    json.BeginArray();
    for (const FileReport &report : reports) {
        json.BeginObject();
        json.Key("file");
        json.String(ToUtf8(report.file));
        json.Key("status");
        json.String(report.status);
        json.Key("cause");
        report.cause.empty() ? json.Null() : json.String(report.cause);
        json.Key("applications");
        json.Number(static_cast<int64_t>(report.applications));
        json.Key("rules");
        json.Number(static_cast<int64_t>(report.rules));
        json.Key("errors");
        json.Number(report.Count("error"));
        json.Key("warnings");
        json.Number(report.Count("warning"));
        json.Key("messages");
        json.BeginArray();
        for (const Diagnostic &diagnostic : report.diagnostics) {
            json.BeginObject();
            json.Key("level");
            json.String(diagnostic.level);
            json.Key("file");
            json.String(ToUtf8(diagnostic.file));
            json.Key("line");
            diagnostic.line > 0 ? json.Number(diagnostic.line) : json.Null();
            json.Key("column");
            diagnostic.line > 0 ? json.Number(diagnostic.column) : json.Null();
            json.Key("element");
            diagnostic.element.empty() ? json.Null() : json.String(ToUtf8(diagnostic.element));
            json.Key("text");
            json.String(ToUtf8(diagnostic.text));
            json.Key("number");
            diagnostic.number != 0 ? json.Number(diagnostic.number) : json.Null();
            json.Key("fix");
            diagnostic.fix.empty() ? json.Null() : json.String(ToUtf8(diagnostic.fix));
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    json.Finish();
}

int RunCheck(Context &context, const ParsedArgs &args) {
    if (args.positionals.empty()) {
        throw UsageError("expected FILE...");
    }
    const bool strict = args.Has("strict");
    const bool json = args.Has("json");
    std::vector<FileReport> reports;
    int worst = kExitOk;
    for (const std::string &path : args.positionals) {
        try {
            reports.push_back(CheckFile(context, path));
        } catch (const Failure &failure) {
            // Said on stderr already; the document still lists the file.
            worst = std::max(worst, failure.exitCode());
            FileReport unread;
            unread.file = path == "-" ? kStdinName : path;
            unread.status = "not-loaded";
            reports.push_back(std::move(unread));
            continue;
        }
        worst = std::max(worst, ExitOf(reports.back(), strict));
        if (!json) {
            WriteText(context, reports.back());
        }
    }
    if (json) {
        WriteJson(*context.out, reports, strict, worst);
    }
    return worst;
}

} // namespace

Command CheckCommand() {
    return Command{"check",
                   "check [OPTIONS] FILE... [--strict] [--json]",
                   "load each file and report every problem and misleading value",
                   "Loads each FILE (\"-\": standard input) as a rule file and reports on stderr\n"
                   "every problem: what loading meets (a document that is not a valid rule file,\n"
                   "an invalid name or value, a repeated name), and for a file that loads, every\n"
                   "application and rule that is not valid (an empty name, a missing text, prefix\n"
                   "or suffix). Then one line a file on stdout: ok, not valid, or not loaded.\n"
                   "\n"
                   "It also warns, with the fix, about every value the library reads as something\n"
                   "other than it looks: an Enabled, MatchCase, UseText, FailIfNotFound or Saved\n"
                   "other than exactly \"true\" or \"false\" (it reads as false), a Level other than\n"
                   "\"error\" or \"disabled\" (it reads as \"error\"), text that looks like UTF-8 read\n"
                   "as ISO-8859-1 (an e acute shown as two characters, as an editor saving UTF-8\n"
                   "into an ISO-8859-1 file leaves it) or ISO-8859-1 text in a file that declares\n"
                   "UTF-8, and a file without the document type head.\n"
                   "\n"
                   "  --strict  warnings count as problems (exit 1), for CI\n"
                   "  --json    one JSON document on stdout instead (README.md, \"JSON output\")\n"
                   "\n"
                   "check only reads: no FILE is ever written. Exit 1 when a file is not valid\n"
                   "(or, with --strict, has warnings); 2 when one cannot be read.\n",
                   {{"strict", 0, false}, {"json", 0, false}},
                   RunCheck};
}

} // namespace ostak_tool
