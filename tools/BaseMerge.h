// A merge decided three-way from a base file, the common ancestor of the
// source and the target: what one side alone changed is taken without
// asking; only what both changed differently (a conflict) goes on to the
// Decider (--prefer, or asked), and is listed.
//
// The library settles the rule questions of the merge callback from the base.
// Around the merge itself, Prepare settles what the library does not ask
// about: applications only one side holds (left out when the target deleted
// them, deleted when the source did), rules only the target holds where the
// direction keeps them without asking, and the Enabled flags; Finish sets
// those flags once the merge is done.
//
// A script's load merges the installation file in by itself, asking about
// no application; SettleApplications settles them afterwards on the merged
// file, the same way.
#pragma once

#include "include/ostak.hpp"
#include "tools/Decider.h"

#include <map>
#include <string>
#include <vector>

namespace ostak_tool {

// A difference that the base did not settle.
struct Conflict {
    std::string application;
    std::string rule;         // empty: the application itself, or its Enabled flag
    std::string what;         // "changed on both sides", ...
    std::string proposedName; // a rule changed on both sides: the name the source's rule gets to keep both
};

class BaseMerge {
  public:
    // Settles the decider's questions from the base once one is set.
    explicit BaseMerge(Decider &decider);
    BaseMerge(const BaseMerge &) = delete;
    BaseMerge &operator=(const BaseMerge &) = delete;

    // The base to decide from (null: none, every question goes on as without a base).
    void SetBase(const ostak::RuleFile *base) { base_ = base; }
    bool HasBase() const { return base_ != nullptr; }

    // Before applying the source's applications marked Apply (after marking
    // and choosing): leaves out what the target deleted, deletes from the
    // target what the source deleted (applications only with `all`), and
    // notes the Enabled flag each application both hold is to get. False
    // when a question passed on was answered cancel.
    bool Prepare(ostak::RuleFile &source, ostak::RuleFile &target, bool all);
    // After a successful apply: the Enabled flags noted by Prepare.
    void Finish(ostak::RuleFile &target);

    // After a script's load merged `installation` (the source) into
    // `merged`, which held `before`'s applications until then: removes from
    // `merged` an application its owner deleted (the load brought it back)
    // and one the installation file deleted, and gives an application the
    // installation file's Enabled flag where only that side switched it, and
    // removes the rules the installation file dropped that the owner never
    // changed. Conflicts keep what `merged` holds. Answers how many applications changed.
    int SettleApplications(const ostak::RuleFile &installation, const ostak::RuleFile &before,
                           ostak::RuleFile &merged);

    // Questions the base settled, and the conflicts that went on, in order.
    int settled() const { return settled_; }
    const std::vector<Conflict> &conflicts() const { return conflicts_; }

  private:
    std::optional<ostak::MergeAnswer> Settle(const ostak::MergeQuestion &question);
    // After a script's load: removes from `merged` the rules the installation
    // file dropped that its owner never changed (the load keeps every rule only
    // the script's file holds); a rule the owner changed is a conflict, kept.
    // Answers how many applications changed.
    int SettleRulesDropped(const ostak::ThreeWay &threeWay, const ostak::RuleFile &installation,
                           ostak::RuleFile &merged, const std::vector<std::string> &gone);
    bool PrepareRulesOnlyInTarget(ostak::Application source, ostak::Application target,
                                  ostak::FileKind sourceKind, ostak::FileKind targetKind);

    Decider &decider_;
    const ostak::RuleFile *base_ = nullptr;
    int settled_ = 0;
    std::vector<Conflict> conflicts_;
    std::map<std::string, bool> enabled_; // application name -> the flag it is to get
};

} // namespace ostak_tool
