// One initialisation of the library for a command: the library's messages go
// to stderr as "FILE:LINE:COL: LEVEL: TEXT [NUMBER]" (the file being worked on
// when the message names none), and the merge and configuration questions to
// the command's deciders.
#pragma once

#include "include/ostak.hpp"
#include "tools/Cli.h"

#include <optional>
#include <string>
#include <vector>

namespace ostak_tool {

class Decider;
class Confirmer;

// One message as the tool shows it: "FILE:LINE:COL: LEVEL: ELEMENT: TEXT [NUMBER]".
struct Diagnostic {
    std::string level; // "error", "warning", "note" (a trace line)
    std::string file;  // the file it is about; empty: none
    int32_t line = 0;  // 0: no position
    int32_t column = 0;
    std::string element; // the application or rule it is about ("Mail/R1"); may be empty
    std::string text;
    int32_t number = 0; // the library's message number; 0: none
    std::string fix;    // how to mend it (check's warnings); may be empty
    std::string origin; // the library function and source line (shown when verbose)
};

// The line of a diagnostic, without the line end.
std::string FormatDiagnostic(const Diagnostic &diagnostic, bool verbose);

// Prints the library's messages, one line each, with the position the library
// wrote into the text taken out into the prefix; trace lines only when
// verbose, warnings not when quiet. Or keeps them (Capture) for a document.
class Reporter {
  public:
    explicit Reporter(const Context &context) : context_(context) {}
    void Report(const ostak::Message &message);
    // What the messages are about from now on: a file (empty for none) and
    // within it an application or rule ("Mail/R1").
    void SetSubject(std::string file, std::string element = "") {
        file_ = std::move(file);
        element_ = std::move(element);
    }
    // Keeps the messages from now on until Release prints them as about
    // `file` and `element` (for when the subject is known only after the call).
    void Hold() { holding_ = true; }
    void Release(const std::string &file, const std::string &element = "");
    // Ends holding and answers the held messages instead of printing them.
    std::vector<Diagnostic> TakeHeld();
    // Names `shown` wherever a message names `actual` (a private copy's path).
    void Alias(std::string actual, std::string shown) {
        if (!actual.empty() && actual != shown) {
            aliases_.emplace_back(std::move(actual), std::move(shown));
        }
    }
    // Adds every message from now on to `sink` instead of printing it (null: print again).
    void Capture(std::vector<Diagnostic> *sink) { sink_ = sink; }
    // Messages of level error or fatal reported so far.
    int errors() const { return errors_; }

  private:
    void Emit(Diagnostic diagnostic, int32_t level);
    std::string Unaliased(std::string text) const;
    Diagnostic Describe(const ostak::Message &message, const std::string &file,
                        const std::string &element) const;

    const Context &context_;
    std::string file_;
    std::string element_;
    bool holding_ = false;
    std::vector<std::pair<Diagnostic, int32_t>> held_;
    std::vector<std::pair<std::string, std::string>> aliases_;
    std::vector<Diagnostic> *sink_ = nullptr;
    int errors_ = 0;
};

struct SessionSetup {
    std::string scriptPath;     // the script's rule file given to the library (split into folder and name)
    bool readOnly = false;      // read-only mode
    Decider *decider = nullptr; // answers the merge callback; none: every question is cancelled
    Confirmer *confirmer = nullptr; // answers the configuration callback; none: "no", with a hint to sync
};

class Session {
  public:
    // Initialises over the root of `context`; on failure reports and throws Failure(2).
    Session(const Context &context, const SessionSetup &setup);
    Reporter &reporter() { return reporter_; }

  private:
    Reporter reporter_;
    std::optional<ostak::Library> library_;
};

} // namespace ostak_tool
