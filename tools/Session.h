// One initialisation of the library for a command: the library's messages go
// to stderr as "level number: text" (behind the name of the file or element
// being worked on), and the merge and configuration questions to the
// command's deciders.
#pragma once

#include "include/ostak.hpp"
#include "tools/Cli.h"

#include <optional>
#include <string>
#include <vector>

namespace ostak_tool {

class Decider;
class Confirmer;

// Prints the library's messages; trace lines only when verbose, warnings not when quiet.
class Reporter {
  public:
    explicit Reporter(const Context &context) : context_(context) {}
    void Report(const ostak::Message &message);
    // What the messages are about from now on ("a.xml", "a.xml: Mail/R1"); empty for nothing.
    void SetSubject(std::string subject) { subject_ = std::move(subject); }
    // Keeps the messages from now on until Release prints them under `subject`
    // (for when the subject is known only after the call).
    void Hold() { holding_ = true; }
    void Release(const std::string &subject);
    // Names `shown` wherever a message names `actual` (a private copy's path).
    void Alias(std::string actual, std::string shown) {
        if (actual != shown) {
            aliases_.emplace_back(std::move(actual), std::move(shown));
        }
    }
    // Messages of level error or fatal reported so far.
    int errors() const { return errors_; }

  private:
    struct Held {
        int32_t number;
        std::string text;
        std::string function;
        int32_t line;
        int32_t level;
    };
    void Print(const std::string &subject, const Held &message);
    std::string Unaliased(std::string text) const;

    const Context &context_;
    std::string subject_;
    bool holding_ = false;
    std::vector<Held> held_;
    std::vector<std::pair<std::string, std::string>> aliases_;
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
