#include "tools/BaseMerge.h"

#include <algorithm>
#include <set>

namespace ostak_tool {

namespace {

// Whether applying in this direction asks about rules only the target holds:
// only between a plain file and a script's rule file; otherwise it keeps them.
bool AsksAboutTargetRules(ostak::FileKind sourceKind, ostak::FileKind targetKind) {
    return (sourceKind == ostak::FileKind::Plain && targetKind == ostak::FileKind::Script) ||
           (sourceKind == ostak::FileKind::Script && targetKind == ostak::FileKind::Plain);
}

std::string WhatConflicts(ostak::MergeEvent event) {
    switch (event) {
    case ostak::MergeEvent::RuleOnlyInSource:
        return "deleted in the target, changed in the source";
    case ostak::MergeEvent::RuleOnlyInTarget:
        return "deleted in the source, changed in the target";
    case ostak::MergeEvent::RuleConflict:
        break;
    }
    return "changed on both sides";
}

std::map<std::string, ostak::Application> ByName(const ostak::RuleFile &file) {
    std::map<std::string, ostak::Application> names;
    for (ostak::Application appl : file.applications()) {
        names.emplace(appl.name(), appl);
    }
    return names;
}

} // namespace

BaseMerge::BaseMerge(Decider &decider) : decider_(decider) {
    decider_.SettleFirst([this](const ostak::MergeQuestion &question) { return Settle(question); });
}

std::optional<ostak::MergeAnswer> BaseMerge::Settle(const ostak::MergeQuestion &question) {
    if (base_ == nullptr) {
        return std::nullopt;
    }
    if (const std::optional<ostak::MergeAnswer> answer = ostak::ThreeWay(*base_).decide(question)) {
        ++settled_;
        return answer;
    }
    const bool both = question.event == ostak::MergeEvent::RuleConflict;
    conflicts_.push_back(Conflict{question.application.name(), question.rule.name(),
                                  WhatConflicts(question.event), both ? question.proposedName : ""});
    return std::nullopt;
}

bool BaseMerge::Prepare(ostak::RuleFile &source, ostak::RuleFile &target, bool all) {
    enabled_.clear();
    if (base_ == nullptr) {
        return true;
    }
    const ostak::ThreeWay threeWay(*base_);
    std::map<std::string, ostak::Application> targets = ByName(target);
    std::set<std::string> inSource;
    for (ostak::Application appl : source.applications()) {
        const std::string name = appl.name();
        inSource.insert(name);
        if (appl.diffMark() != ostak::DiffMark::Apply) {
            continue;
        }
        const auto found = targets.find(name);
        if (found == targets.end()) {
            const std::optional<ostak::MergeAnswer> answer = threeWay.decideSourceOnly(appl);
            if (!answer) {
                conflicts_.push_back(
                    Conflict{name, "", "deleted in the target, changed in the source; kept", ""});
            } else if (++settled_; *answer == ostak::MergeAnswer::TakeTarget) {
                appl.setDiffMark(ostak::DiffMark::Skip);
            }
            continue;
        }
        const ostak::Application other = found->second;
        const std::optional<ostak::MergeAnswer> flag = threeWay.decideEnabled(appl, other);
        if (!flag) {
            conflicts_.push_back(Conflict{
                name, "", "enabled on one side only, and not in the base; the target's flag kept", ""});
        } else if (appl.enabled() != other.enabled()) {
            ++settled_;
        }
        enabled_[name] = flag == ostak::MergeAnswer::TakeSource ? appl.enabled() : other.enabled();
        if (!AsksAboutTargetRules(source.kind(), target.kind()) &&
            !PrepareRulesOnlyInTarget(appl, other, source.kind(), target.kind())) {
            return false;
        }
    }
    if (!all) {
        return true;
    }
    for (auto &[name, appl] : targets) {
        if (inSource.count(name) != 0) {
            continue;
        }
        const std::optional<ostak::MergeAnswer> answer = threeWay.decideTargetOnly(appl);
        if (!answer) {
            conflicts_.push_back(
                Conflict{name, "", "deleted in the source, changed in the target; kept", ""});
        } else if (++settled_; *answer == ostak::MergeAnswer::TakeSource) {
            target.applications().remove(appl);
        }
    }
    return true;
}

// A rule only the target holds is kept by such a direction without asking:
// the question is put here, to the base first and then to the decider.
bool BaseMerge::PrepareRulesOnlyInTarget(ostak::Application source, ostak::Application target,
                                         ostak::FileKind sourceKind, ostak::FileKind targetKind) {
    std::set<std::string> sourceRules;
    for (ostak::Rule rule : source.rules()) {
        sourceRules.insert(rule.name());
    }
    std::vector<ostak::Rule> dropped;
    for (ostak::Rule rule : target.rules()) {
        if (sourceRules.count(rule.name()) != 0) {
            continue;
        }
        const ostak::MergeQuestion question{ostak::MergeEvent::RuleOnlyInTarget,
                                            sourceKind,
                                            targetKind,
                                            target,
                                            rule,
                                            ostak::Application(),
                                            ostak::Rule(),
                                            ""};
        const ostak::MergeAnswer answer = decider_.Decide(question);
        if (answer == ostak::MergeAnswer::Cancel) {
            return false;
        }
        if (answer == ostak::MergeAnswer::TakeSource) {
            dropped.push_back(rule);
        }
    }
    for (ostak::Rule &rule : dropped) {
        target.removeRule(rule);
    }
    return true;
}

int BaseMerge::SettleRulesDropped(const ostak::ThreeWay &threeWay, const ostak::RuleFile &installation,
                                  ostak::RuleFile &merged, const std::vector<std::string> &gone) {
    int changed = 0;
    for (ostak::Application source : installation.applications()) {
        const std::string name = source.name();
        std::optional<ostak::Application> target = merged.findApplication(name);
        if (!target || std::find(gone.begin(), gone.end(), name) != gone.end()) {
            continue;
        }
        std::vector<ostak::Rule> dropped;
        for (ostak::Rule rule : target->rules()) {
            if (source.findRule(rule.name())) {
                continue;
            }
            const ostak::MergeQuestion question{ostak::MergeEvent::RuleOnlyInTarget,
                                                ostak::FileKind::Installation,
                                                ostak::FileKind::Script,
                                                *target,
                                                rule,
                                                ostak::Application(),
                                                ostak::Rule(),
                                                ""};
            const std::optional<ostak::MergeAnswer> answer = threeWay.decide(question);
            if (!answer) {
                conflicts_.push_back(Conflict{name, rule.name(), "deleted in the source, changed in the target; kept", ""});
            } else if (*answer == ostak::MergeAnswer::TakeSource) {
                dropped.push_back(rule);
            }
        }
        for (ostak::Rule &rule : dropped) {
            target->removeRule(rule);
        }
        if (!dropped.empty()) {
            target->finalize();
            ++changed;
        }
    }
    return changed;
}

int BaseMerge::SettleApplications(const ostak::RuleFile &installation, const ostak::RuleFile &before,
                                  ostak::RuleFile &merged) {
    if (base_ == nullptr) {
        return 0;
    }
    const ostak::ThreeWay threeWay(*base_);
    const std::map<std::string, ostak::Application> held = ByName(before);
    std::set<std::string> inInstallation;
    std::vector<std::string> gone;
    std::map<std::string, bool> flags;
    for (ostak::Application appl : installation.applications()) {
        const std::string name = appl.name();
        inInstallation.insert(name);
        const auto found = held.find(name);
        if (found == held.end()) {
            const std::optional<ostak::MergeAnswer> answer = threeWay.decideSourceOnly(appl);
            if (!answer) {
                conflicts_.push_back(
                    Conflict{name, "", "deleted in the target, changed in the source; kept", ""});
            } else if (*answer == ostak::MergeAnswer::TakeTarget) {
                gone.push_back(name);
            }
            continue;
        }
        const std::optional<ostak::MergeAnswer> flag = threeWay.decideEnabled(appl, found->second);
        if (!flag) {
            conflicts_.push_back(Conflict{
                name, "", "enabled on one side only, and not in the base; the target's flag kept", ""});
        } else if (*flag == ostak::MergeAnswer::TakeSource) {
            flags[name] = appl.enabled();
        }
    }
    for (const auto &[name, appl] : held) {
        if (inInstallation.count(name) != 0) {
            continue;
        }
        const std::optional<ostak::MergeAnswer> answer = threeWay.decideTargetOnly(appl);
        if (!answer) {
            conflicts_.push_back(
                Conflict{name, "", "deleted in the source, changed in the target; kept", ""});
        } else if (*answer == ostak::MergeAnswer::TakeSource) {
            gone.push_back(name);
        }
    }
    int changed = SettleRulesDropped(threeWay, installation, merged, gone);
    for (const std::string &name : gone) {
        if (std::optional<ostak::Application> appl = merged.findApplication(name)) {
            merged.applications().remove(*appl);
            ++changed;
        }
    }
    for (const auto &[name, enabled] : flags) {
        std::optional<ostak::Application> appl = merged.findApplication(name);
        if (appl && appl->enabled() != enabled) {
            appl->setEnabled(enabled);
            appl->finalize();
            ++changed;
        }
    }
    return changed;
}

void BaseMerge::Finish(ostak::RuleFile &target) {
    for (ostak::Application appl : target.applications()) {
        const auto found = enabled_.find(appl.name());
        if (found != enabled_.end() && appl.enabled() != found->second) {
            appl.setEnabled(found->second);
        }
    }
}

} // namespace ostak_tool
