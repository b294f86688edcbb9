// Answers to the library's questions during a merge: the merge callback
// (rule by rule, by --prefer or asked on the terminal) and the configuration
// callback (--yes, --no, or asked).
#pragma once

#include "include/ostak.hpp"
#include "tools/Cli.h"

#include <functional>
#include <optional>
#include <string>

namespace ostak_tool {

enum class Prefer { Unset, Source, Target, Both };

// --prefer source|target|both (Unset when not given); throws UsageError for another value.
Prefer PreferOption(const ParsedArgs &args);

class Decider {
  public:
    // Interactive: ask on stdout and read the answers from stdin.
    Decider(const Context &context, Prefer prefer, bool interactive);
    ostak::MergeAnswer Decide(const ostak::MergeQuestion &question);

    // Settles questions before they are counted and decided here (from a
    // three-way base); std::nullopt hands the question on.
    using Settle = std::function<std::optional<ostak::MergeAnswer>(const ostak::MergeQuestion &)>;
    void SettleFirst(Settle settle) { settle_ = std::move(settle); }

    int questions() const { return questions_; }
    // The merge was cancelled by an answer (or the end of the input).
    bool cancelled() const { return cancelled_; }
    // A question came with no way to answer it (no --prefer, not interactive).
    bool undecided() const { return undecided_; }

  private:
    ostak::MergeAnswer ByPreference(ostak::MergeEvent event) const;
    ostak::MergeAnswer Ask(const ostak::MergeQuestion &question);

    const Context &context_;
    Prefer prefer_;
    bool interactive_;
    Settle settle_;
    int questions_ = 0;
    bool cancelled_ = false;
    bool undecided_ = false;
};

enum class Confirm { Unset, Yes, No };

class Confirmer {
  public:
    Confirmer(const Context &context, Confirm confirm, bool interactive, std::string scriptPath);
    bool Answer(int32_t question);

    bool asked() const { return asked_; }
    bool answeredYes() const { return yes_; }
    bool undecided() const { return undecided_; }

  private:
    const Context &context_;
    Confirm confirm_;
    bool interactive_;
    std::string scriptPath_;
    bool asked_ = false;
    bool yes_ = false;
    bool undecided_ = false;
};

// How the merge answers are chosen, for --help.
extern const char *const kPreferHelp;

} // namespace ostak_tool
