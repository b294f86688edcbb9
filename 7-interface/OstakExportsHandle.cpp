// Exports that walk and edit application lists, applications and rules by handle.
//
// Each runs the common frame: preset the places it only writes, clear the
// issue-once flag (RunExport), refuse with 38 before initialisation and with
// 3 for a null handle or place or an unknown attribute identifier, do the
// work in the model classes, and issue the message of a failure once.
#include "2-core/ExportFrame.h"
#include "2-core/OstakContext.h"
#include "2-core/OstakGlobals.h"
#include "include/ostak.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "7-interface/OstakHandles.h"
#include "3-model/OstakList.h"

#include <new>

using namespace ostak;

namespace {

bool Initialised() noexcept {
    return Globals().initialised;
}

template <class T> void Preset(T *place, T value) noexcept {
    if (place != nullptr) {
        *place = value;
    }
}

const char *EmptyText() noexcept {
    return xtOsStrCommonEmptyStr.psz;
}

uint8_t LowByte(int32_t value) noexcept {
    return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu);
}

// The finalising step's last part: the valid flag is true exactly when the
// step succeeded; without a place for it, success is reported as 3.
int32_t ReportValidity(int32_t rc, uint8_t *valid) noexcept {
    if (valid != nullptr) {
        *valid = rc == OSTAK_OK ? 1 : 0;
        return rc;
    }
    return rc == OSTAK_OK ? OSTAK_E_INVALID_ARGUMENT : rc;
}

// Rule attributes by identifier: the field's text, or null for an unknown id.
const char *RuleChar(const OstakElemRule &rule, int32_t id) noexcept {
    switch (id) {
    case OSTAK_RULE_CHAR_NAME:
        return rule.Name();
    case OSTAK_RULE_CHAR_TEXT:
        return rule.Text();
    case OSTAK_RULE_CHAR_PREFIX:
        return rule.Prefix();
    case OSTAK_RULE_CHAR_SUFFIX:
        return rule.Suffix();
    default:
        return nullptr;
    }
}

int32_t SetRuleChar(OstakElemRule &rule, int32_t id, const char *value) noexcept {
    switch (id) {
    case OSTAK_RULE_CHAR_NAME:
        return rule.SetName(value);
    case OSTAK_RULE_CHAR_TEXT:
        return rule.SetText(value);
    case OSTAK_RULE_CHAR_PREFIX:
        return rule.SetPrefix(value);
    case OSTAK_RULE_CHAR_SUFFIX:
        return rule.SetSuffix(value);
    default:
        return OSTAK_E_INVALID_ARGUMENT;
    }
}

int32_t GetRuleBool(const OstakElemRule &rule, int32_t id, uint8_t *value) noexcept {
    switch (id) {
    case OSTAK_RULE_BOOL_MATCH_CASE:
        *value = rule.MatchCase();
        return OSTAK_OK;
    case OSTAK_RULE_BOOL_USE_TEXT:
        *value = rule.UseText();
        return OSTAK_OK;
    case OSTAK_RULE_BOOL_FAIL_IF_NOT_FOUND:
        *value = rule.FailIfNotFound();
        return OSTAK_OK;
    default:
        return OSTAK_E_INVALID_ARGUMENT;
    }
}

int32_t SetRuleBool(OstakElemRule &rule, int32_t id, uint8_t value) noexcept {
    switch (id) {
    case OSTAK_RULE_BOOL_MATCH_CASE:
        rule.SetMatchCase(value);
        return OSTAK_OK;
    case OSTAK_RULE_BOOL_USE_TEXT:
        rule.SetUseText(value);
        return OSTAK_OK;
    case OSTAK_RULE_BOOL_FAIL_IF_NOT_FOUND:
        rule.SetFailIfNotFound(value);
        return OSTAK_OK;
    default:
        return OSTAK_E_INVALID_ARGUMENT;
    }
}

int32_t GetRuleLong(const OstakElemRule &rule, int32_t id, int32_t *value) noexcept {
    switch (id) {
    case OSTAK_RULE_LONG_LEVEL:
        *value = rule.Level();
        return OSTAK_OK;
    case OSTAK_RULE_LONG_TYPE:
        *value = rule.Type();
        return OSTAK_OK;
    default:
        return OSTAK_E_INVALID_ARGUMENT;
    }
}

int32_t SetRuleLong(OstakElemRule &rule, int32_t id, int32_t value) noexcept {
    switch (id) {
    case OSTAK_RULE_LONG_LEVEL:
        rule.SetLevel(value);
        return OSTAK_OK;
    case OSTAK_RULE_LONG_TYPE:
        rule.SetType(value);
        return OSTAK_OK;
    default:
        return OSTAK_E_INVALID_ARGUMENT;
    }
}

} // namespace

extern "C" {

OSTAK_API int32_t xfeOstakListApplClone(OstakListApplHandle *mpListApplSource,
                                        OstakListApplHandle **mppListApplNew) noexcept {
    return RunExport("xfeOstakListApplClone", [&]() -> int32_t {
        Preset<OstakListApplHandle *>(mppListApplNew, nullptr);
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mppListApplNew == nullptr || mpListApplSource == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        OstakListAppl *copy = new (std::nothrow) OstakListAppl();
        if (copy == nullptr) {
            return OSTAK_E_NO_MEMORY;
        }
        // A copy that lacks some applications is worth nothing to the caller.
        if (copy->CopyFrom(FromHandle(mpListApplSource), OstakContext::FromGlobals()) != OSTAK_OK) {
            delete copy;
            return OSTAK_E_NO_MEMORY;
        }
        *mppListApplNew = ToHandle(copy);
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakListApplDestroy(OstakListApplHandle **mppListAppl) noexcept {
    return RunExport("xfeOstakListApplDestroy", [&]() -> int32_t {
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mppListAppl == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        // A rule file's own list goes with its rule file, never on its own.
        if (*mppListAppl != nullptr && FromHandle(*mppListAppl)->HeldByFile()) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        delete FromHandle(*mppListAppl);
        *mppListAppl = nullptr;
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemApplAddEmpty(OstakListApplHandle *mpListAppl,
                                           OstakElemApplHandle **mppElemAppl) noexcept {
    return RunExport("xfeOstakElemApplAddEmpty", [&]() -> int32_t {
        Preset<OstakElemApplHandle *>(mppElemAppl, nullptr);
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mppElemAppl == nullptr || mpListAppl == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        OstakElemAppl *appl = nullptr;
        const int32_t rc = FromHandle(mpListAppl)->AddEmpty(&appl, OstakContext::FromGlobals());
        *mppElemAppl = ToHandle(appl);
        return rc;
    });
}

OSTAK_API int32_t xfeOstakElemApplDelete(OstakListApplHandle *mpListAppl,
                                         OstakElemApplHandle **mppElemAppl) noexcept {
    return RunExport("xfeOstakElemApplDelete", [&]() -> int32_t {
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mppElemAppl == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        OstakElemAppl *appl = FromHandle(*mppElemAppl);
        *mppElemAppl = nullptr;
        if (mpListAppl == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return FromHandle(mpListAppl)->DeleteElem(appl);
    });
}

OSTAK_API int32_t xfeOstakElemApplIterateFirst(OstakListApplHandle *mpListAppl,
                                               OstakElemApplHandle **mppElemAppl) noexcept {
    return RunExport("xfeOstakElemApplIterateFirst", [&]() -> int32_t {
        Preset<OstakElemApplHandle *>(mppElemAppl, nullptr);
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mppElemAppl == nullptr || mpListAppl == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mppElemAppl = ToHandle(FromHandle(mpListAppl)->FirstAppl());
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemApplIterateNext(OstakListApplHandle *mpListAppl,
                                              OstakElemApplHandle *mpElemAppl,
                                              OstakElemApplHandle **mppElemApplNext) noexcept {
    return RunExport("xfeOstakElemApplIterateNext", [&]() -> int32_t {
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mppElemApplNext == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        if (mpListAppl == nullptr || mpElemAppl == nullptr) {
            *mppElemApplNext = nullptr;
            return OSTAK_E_INVALID_ARGUMENT;
        }
        const OstakElemAppl *current = FromHandle(mpElemAppl);
        if (current->List() != FromHandle(mpListAppl)) {
            return OSTAK_E_NOT_IN_LIST;
        }
        *mppElemApplNext = ToHandle(current->NextAppl());
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakFinalizeElemAppl(OstakListApplHandle *mpListAppl, OstakElemApplHandle *mpElemAppl,
                                           OstakElemRuleHandle **mppElemRuleFailing,
                                           uint8_t *mpbValid) noexcept {
    return RunExport("xfeOstakFinalizeElemAppl", [&]() -> int32_t {
        Preset<OstakElemRuleHandle *>(mppElemRuleFailing, nullptr);
        Preset<uint8_t>(mpbValid, 0);
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpListAppl == nullptr || mpElemAppl == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        OstakElemAppl *appl = FromHandle(mpElemAppl);
        int32_t rc = FromHandle(mpListAppl)->Resort(appl);
        if (rc == OSTAK_OK) {
            OstakElemRule *failing = nullptr;
            rc = appl->Validate(&failing);
            Preset(mppElemRuleFailing, ToHandle(failing));
        }
        return ReportValidity(rc, mpbValid);
    });
}

OSTAK_API int32_t xfeOstakElemApplSetAttrChar(OstakListApplHandle *mpListAppl,
                                              OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              const char *mpszValue) noexcept {
    return RunExport("xfeOstakElemApplSetAttrChar", [&]() -> int32_t {
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpListAppl == nullptr || mpElemAppl == nullptr || mpszValue == nullptr ||
            miAttrId != OSTAK_APPL_CHAR_NAME) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return FromHandle(mpElemAppl)->SetName(mpszValue);
    });
}

OSTAK_API int32_t xfeOstakElemApplGetAttrChar(OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              const char **mppszValue) noexcept {
    return RunExport("xfeOstakElemApplGetAttrChar", [&]() -> int32_t {
        Preset(mppszValue, EmptyText());
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpElemAppl == nullptr || mppszValue == nullptr || miAttrId != OSTAK_APPL_CHAR_NAME) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mppszValue = FromHandle(mpElemAppl)->Name();
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemApplSetAttrBool(OstakListApplHandle *mpListAppl,
                                              OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              int32_t mbValue) noexcept {
    return RunExport("xfeOstakElemApplSetAttrBool", [&]() -> int32_t {
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpListAppl == nullptr || mpElemAppl == nullptr || miAttrId != OSTAK_APPL_BOOL_ENABLED) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        FromHandle(mpElemAppl)->SetEnabled(LowByte(mbValue));
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemApplGetAttrBool(OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              uint8_t *mpbValue) noexcept {
    return RunExport("xfeOstakElemApplGetAttrBool", [&]() -> int32_t {
        Preset<uint8_t>(mpbValue, 0);
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpElemAppl == nullptr || mpbValue == nullptr || miAttrId != OSTAK_APPL_BOOL_ENABLED) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mpbValue = FromHandle(mpElemAppl)->Enabled();
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemApplSetAttrLong(OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              int32_t miValue) noexcept {
    return RunExport("xfeOstakElemApplSetAttrLong", [&]() -> int32_t {
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpElemAppl == nullptr || miAttrId != OSTAK_APPL_LONG_DIFF_MARK) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        FromHandle(mpElemAppl)->SetDiffMark(miValue);
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemApplGetAttrLong(OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              int32_t *mpiValue) noexcept {
    return RunExport("xfeOstakElemApplGetAttrLong", [&]() -> int32_t {
        Preset<int32_t>(mpiValue, 0);
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpElemAppl == nullptr || mpiValue == nullptr || miAttrId != OSTAK_APPL_LONG_DIFF_MARK) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mpiValue = FromHandle(mpElemAppl)->DiffMark();
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemRuleAddEmpty(OstakElemApplHandle *mpElemAppl,
                                           OstakElemRuleHandle **mppElemRule) noexcept {
    return RunExport("xfeOstakElemRuleAddEmpty", [&]() -> int32_t {
        Preset<OstakElemRuleHandle *>(mppElemRule, nullptr);
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mppElemRule == nullptr || mpElemAppl == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        OstakElemRule *rule = nullptr;
        const int32_t rc = FromHandle(mpElemAppl)->Rules()->AddEmpty(&rule);
        *mppElemRule = ToHandle(rule);
        return rc;
    });
}

OSTAK_API int32_t xfeOstakElemRuleDelete(OstakElemApplHandle *mpElemAppl,
                                         OstakElemRuleHandle **mppElemRule) noexcept {
    return RunExport("xfeOstakElemRuleDelete", [&]() -> int32_t {
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mppElemRule == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        OstakElemRule *rule = FromHandle(*mppElemRule);
        *mppElemRule = nullptr;
        if (mpElemAppl == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return FromHandle(mpElemAppl)->Rules()->DeleteElem(rule);
    });
}

OSTAK_API int32_t xfeOstakElemRuleIterateFirst(OstakElemApplHandle *mpElemAppl,
                                               OstakElemRuleHandle **mppElemRule) noexcept {
    return RunExport("xfeOstakElemRuleIterateFirst", [&]() -> int32_t {
        Preset<OstakElemRuleHandle *>(mppElemRule, nullptr);
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mppElemRule == nullptr || mpElemAppl == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mppElemRule = ToHandle(FromHandle(mpElemAppl)->Rules()->FirstRule());
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemRuleIterateNext(OstakElemApplHandle *mpElemAppl,
                                              OstakElemRuleHandle *mpElemRule,
                                              OstakElemRuleHandle **mppElemRuleNext) noexcept {
    return RunExport("xfeOstakElemRuleIterateNext", [&]() -> int32_t {
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mppElemRuleNext == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        if (mpElemAppl == nullptr || mpElemRule == nullptr) {
            *mppElemRuleNext = nullptr;
            return OSTAK_E_INVALID_ARGUMENT;
        }
        const OstakElemRule *current = FromHandle(mpElemRule);
        if (current->List() != FromHandle(mpElemAppl)->Rules()) {
            return OSTAK_E_NOT_IN_LIST;
        }
        *mppElemRuleNext = ToHandle(current->NextRule());
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakFinalizeElemRule(OstakElemApplHandle *mpElemAppl, OstakElemRuleHandle *mpElemRule,
                                           uint8_t *mpbValid) noexcept {
    return RunExport("xfeOstakFinalizeElemRule", [&]() -> int32_t {
        Preset<uint8_t>(mpbValid, 0);
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpElemAppl == nullptr || mpElemRule == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        OstakElemRule *rule = FromHandle(mpElemRule);
        int32_t rc = FromHandle(mpElemAppl)->Rules()->Resort(rule);
        if (rc == OSTAK_OK) {
            rc = rule->Validate();
        }
        return ReportValidity(rc, mpbValid);
    });
}

OSTAK_API int32_t xfeOstakElemRuleSetAttrChar(OstakElemApplHandle *mpElemAppl,
                                              OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              const char *mpszValue) noexcept {
    return RunExport("xfeOstakElemRuleSetAttrChar", [&]() -> int32_t {
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpElemAppl == nullptr || mpElemRule == nullptr || mpszValue == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return SetRuleChar(*FromHandle(mpElemRule), miAttrId, mpszValue);
    });
}

OSTAK_API int32_t xfeOstakElemRuleGetAttrChar(OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              const char **mppszValue) noexcept {
    return RunExport("xfeOstakElemRuleGetAttrChar", [&]() -> int32_t {
        Preset(mppszValue, EmptyText());
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpElemRule == nullptr || mppszValue == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        const char *value = RuleChar(*FromHandle(mpElemRule), miAttrId);
        if (value == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mppszValue = value;
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemRuleSetAttrBool(OstakElemApplHandle *mpElemAppl,
                                              OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              int32_t mbValue) noexcept {
    return RunExport("xfeOstakElemRuleSetAttrBool", [&]() -> int32_t {
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpElemAppl == nullptr || mpElemRule == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return SetRuleBool(*FromHandle(mpElemRule), miAttrId, LowByte(mbValue));
    });
}

OSTAK_API int32_t xfeOstakElemRuleGetAttrBool(OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              uint8_t *mpbValue) noexcept {
    return RunExport("xfeOstakElemRuleGetAttrBool", [&]() -> int32_t {
        Preset<uint8_t>(mpbValue, 0);
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpElemRule == nullptr || mpbValue == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return GetRuleBool(*FromHandle(mpElemRule), miAttrId, mpbValue);
    });
}

OSTAK_API int32_t xfeOstakElemRuleSetAttrLong(OstakElemApplHandle *mpElemAppl,
                                              OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              int32_t miValue) noexcept {
    return RunExport("xfeOstakElemRuleSetAttrLong", [&]() -> int32_t {
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpElemAppl == nullptr || mpElemRule == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return SetRuleLong(*FromHandle(mpElemRule), miAttrId, miValue);
    });
}

OSTAK_API int32_t xfeOstakElemRuleGetAttrLong(OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              int32_t *mpiValue) noexcept {
    return RunExport("xfeOstakElemRuleGetAttrLong", [&]() -> int32_t {
        Preset<int32_t>(mpiValue, 0);
        if (!Initialised()) {
            return OSTAK_E_NOT_INITIALISED;
        }
        if (mpElemRule == nullptr || mpiValue == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return GetRuleLong(*FromHandle(mpElemRule), miAttrId, mpiValue);
    });
}

} // extern "C"
