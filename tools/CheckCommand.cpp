// ostak check FILE...: loads each file and reports every problem.
#include "tools/Commands.h"

#include "tools/Session.h"

#include <algorithm>
#include <ostream>
#include <vector>

namespace ostak_tool {

namespace {

std::string Shown(const std::string &name) {
    return name.empty() ? "(no name)" : name;
}

// Validates one rule through the library; answers whether it is valid.
bool CheckRule(ostak::Rule rule, Reporter &reporter, const std::string &subject) {
    reporter.SetSubject(subject + "/" + Shown(rule.name()));
    try {
        rule.finalize();
        return true;
    } catch (const ostak::Error &) {
        return false;
    }
}

// Validates an application and every rule of it; answers the number of problems.
int CheckApplication(ostak::Application appl, Reporter &reporter, const std::string &path) {
    const std::string subject = path + ": " + Shown(appl.name());
    ostak::Rule failing;
    reporter.Hold();
    bool valid = true;
    try {
        appl.finalize(&failing);
    } catch (const ostak::Error &) {
        valid = false;
    }
    reporter.Release(failing ? subject + "/" + Shown(failing.name()) : subject);
    if (valid) {
        return 0;
    }
    // The application stops at its first problem: go on with the rules after
    // the failing one (those before it passed), or all of them.
    const std::vector<ostak::Rule> rules(appl.rules().begin(), appl.rules().end());
    auto next = failing ? std::find(rules.begin(), rules.end(), failing) + 1 : rules.begin();
    int problems = 1;
    for (; next < rules.end(); ++next) {
        problems += CheckRule(*next, reporter, subject) ? 0 : 1;
    }
    return problems;
}

int CheckFile(Context &context, const std::string &path) {
    RequireRegularFile(context, path);
    Session session(context, SessionSetup{path});
    Reporter &reporter = session.reporter();
    ostak::RuleFile file(ostak::FileKind::Source, path);
    const int32_t code = LoadReporting(file, reporter);
    const int loadExit = ExitCodeOfLoad(code);
    if (loadExit == kExitError) {
        if (!context.quiet) {
            *context.out << path << ": not loaded (" << ostak::ResultName(code) << ")\n";
        }
        return loadExit;
    }
    // What loaded is validated too, unless the load stopped part-way (an
    // invalid document) or holds repeated names (reported by the load already).
    int problems = 0;
    std::size_t appls = 0;
    std::size_t rules = 0;
    if (code == OSTAK_OK || code == OSTAK_E_INVALID_NAME) {
        const std::vector<ostak::Application> all(file.applications().begin(), file.applications().end());
        for (const ostak::Application &appl : all) {
            problems += CheckApplication(appl, reporter, path);
            rules += static_cast<std::size_t>(std::distance(appl.rules().begin(), appl.rules().end()));
        }
        appls = all.size();
    }
    reporter.SetSubject("");
    if (code == OSTAK_OK && problems == 0) {
        if (!context.quiet) {
            *context.out << path << ": ok (" << appls << " applications, " << rules << " rules)\n";
        }
        return kExitOk;
    }
    if (!context.quiet) {
        std::string what = code != OSTAK_OK ? ostak::ResultName(code) : "";
        if (problems != 0) {
            what += (what.empty() ? "" : ", ") + std::to_string(problems) +
                    (problems == 1 ? " problem" : " problems");
        }
        *context.out << path << ": not valid (" << what << ")\n";
    }
    return kExitFound;
}

int RunCheck(Context &context, const ParsedArgs &args) {
    if (args.positionals.empty()) {
        throw UsageError("expected FILE...");
    }
    int worst = kExitOk;
    for (const std::string &path : args.positionals) {
        int exitCode = kExitOk;
        try {
            exitCode = CheckFile(context, path);
        } catch (const Failure &failure) {
            exitCode = failure.exitCode();
        }
        worst = std::max(worst, exitCode);
    }
    return worst;
}

} // namespace

Command CheckCommand() {
    return Command{"check",
                   "check [OPTIONS] FILE...",
                   "load each file and report every problem",
                   "Loads each FILE as a rule file and reports every problem on stderr: what\n"
                   "loading meets (a document that is not a valid rule file, an invalid name or\n"
                   "value, a repeated name), and for a file that loads, every application and rule\n"
                   "that is not valid (an empty name, a missing text, prefix or suffix). Each\n"
                   "message names the file, application and rule it is about. check only\n"
                   "reads: no FILE is ever written.\n"
                   "\n"
                   "Exit status: 0 when every file loads cleanly, 1 when a file is not valid,\n"
                   "2 when a file cannot be read.\n",
                   {},
                   RunCheck};
}

} // namespace ostak_tool
