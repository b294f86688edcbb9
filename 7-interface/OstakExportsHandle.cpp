// Exports that walk and edit application lists, applications and rules by handle.
//
// Each runs the common frame (RunExport: clear the issue-once flag, preset the
// places it only writes, refuse with OSTAK_E_NOT_INITIALISED before
// initialisation), refuses with OSTAK_E_INVALID_ARGUMENT for a null handle or
// place or an unknown attribute identifier (3-model/OstakFields.h), does the
// work in the model classes, and issues the message of a failure once.
#include "2-core/ExportFrame.h"
#include "2-core/OstakContext.h"
#include "include/ostak.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "3-model/OstakFields.h"
#include "7-interface/OstakHandles.h"
#include "3-model/OstakList.h"

#include <new>

using namespace ostak;

namespace {

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

} // namespace

extern "C" {

OSTAK_API int32_t xfeOstakListApplClone(OstakListApplHandle *mpListApplSource,
                                        OstakListApplHandle **mppListApplNew) noexcept {
    const auto presets = Presets(mppListApplNew, nullptr);
    return RunExport("xfeOstakListApplClone", presets, kRequireInit, [&]() -> int32_t {
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
    return RunExport("xfeOstakListApplDestroy", Presets(), kRequireInit, [&]() -> int32_t {
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
    const auto presets = Presets(mppElemAppl, nullptr);
    return RunExport("xfeOstakElemApplAddEmpty", presets, kRequireInit, [&]() -> int32_t {
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
    return RunExport("xfeOstakElemApplDelete", Presets(), kRequireInit, [&]() -> int32_t {
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
    const auto presets = Presets(mppElemAppl, nullptr);
    return RunExport("xfeOstakElemApplIterateFirst", presets, kRequireInit, [&]() -> int32_t {
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
    // No preset: refused for an element of another list, the place keeps what it held.
    return RunExport("xfeOstakElemApplIterateNext", Presets(), kRequireInit, [&]() -> int32_t {
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
    const auto presets = Presets(mppElemRuleFailing, nullptr, mpbValid, 0);
    return RunExport("xfeOstakFinalizeElemAppl", presets, kRequireInit, [&]() -> int32_t {
        if (mpListAppl == nullptr || mpElemAppl == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        OstakElemAppl *appl = FromHandle(mpElemAppl);
        int32_t rc = FromHandle(mpListAppl)->Resort(appl);
        if (rc == OSTAK_OK) {
            OstakElemRule *failing = nullptr;
            rc = appl->Validate(&failing);
            StoreIfPlace(mppElemRuleFailing, ToHandle(failing));
        }
        return ReportValidity(rc, mpbValid);
    });
}

OSTAK_API int32_t xfeOstakElemApplSetAttrChar(OstakListApplHandle *mpListAppl,
                                              OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              const char *mpszValue) noexcept {
    return RunExport("xfeOstakElemApplSetAttrChar", Presets(), kRequireInit, [&]() -> int32_t {
        const ApplTextField *field = FindField(kApplTextFields, miAttrId);
        if (mpListAppl == nullptr || mpElemAppl == nullptr || mpszValue == nullptr || field == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return field->Set(*FromHandle(mpElemAppl), mpszValue);
    });
}

OSTAK_API int32_t xfeOstakElemApplGetAttrChar(OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              const char **mppszValue) noexcept {
    const auto presets = Presets(mppszValue, EmptyText());
    return RunExport("xfeOstakElemApplGetAttrChar", presets, kRequireInit, [&]() -> int32_t {
        const ApplTextField *field = FindField(kApplTextFields, miAttrId);
        if (mpElemAppl == nullptr || mppszValue == nullptr || field == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mppszValue = field->Get(*FromHandle(mpElemAppl));
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemApplSetAttrBool(OstakListApplHandle *mpListAppl,
                                              OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              int32_t mbValue) noexcept {
    return RunExport("xfeOstakElemApplSetAttrBool", Presets(), kRequireInit, [&]() -> int32_t {
        const ApplFlagField *field = FindField(kApplFlagFields, miAttrId);
        if (mpListAppl == nullptr || mpElemAppl == nullptr || field == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        field->Set(*FromHandle(mpElemAppl), LowByte(mbValue));
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemApplGetAttrBool(OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              uint8_t *mpbValue) noexcept {
    const auto presets = Presets(mpbValue, 0);
    return RunExport("xfeOstakElemApplGetAttrBool", presets, kRequireInit, [&]() -> int32_t {
        const ApplFlagField *field = FindField(kApplFlagFields, miAttrId);
        if (mpElemAppl == nullptr || mpbValue == nullptr || field == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mpbValue = field->Get(*FromHandle(mpElemAppl));
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemApplSetAttrLong(OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              int32_t miValue) noexcept {
    return RunExport("xfeOstakElemApplSetAttrLong", Presets(), kRequireInit, [&]() -> int32_t {
        const ApplNumberField *field = FindField(kApplNumberFields, miAttrId);
        if (mpElemAppl == nullptr || field == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        field->Set(*FromHandle(mpElemAppl), miValue);
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemApplGetAttrLong(OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              int32_t *mpiValue) noexcept {
    const auto presets = Presets(mpiValue, 0);
    return RunExport("xfeOstakElemApplGetAttrLong", presets, kRequireInit, [&]() -> int32_t {
        const ApplNumberField *field = FindField(kApplNumberFields, miAttrId);
        if (mpElemAppl == nullptr || mpiValue == nullptr || field == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mpiValue = field->Get(*FromHandle(mpElemAppl));
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemRuleAddEmpty(OstakElemApplHandle *mpElemAppl,
                                           OstakElemRuleHandle **mppElemRule) noexcept {
    const auto presets = Presets(mppElemRule, nullptr);
    return RunExport("xfeOstakElemRuleAddEmpty", presets, kRequireInit, [&]() -> int32_t {
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
    return RunExport("xfeOstakElemRuleDelete", Presets(), kRequireInit, [&]() -> int32_t {
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
    const auto presets = Presets(mppElemRule, nullptr);
    return RunExport("xfeOstakElemRuleIterateFirst", presets, kRequireInit, [&]() -> int32_t {
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
    // No preset: refused for a rule of another application, the place keeps what it held.
    return RunExport("xfeOstakElemRuleIterateNext", Presets(), kRequireInit, [&]() -> int32_t {
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
    const auto presets = Presets(mpbValid, 0);
    return RunExport("xfeOstakFinalizeElemRule", presets, kRequireInit, [&]() -> int32_t {
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
    return RunExport("xfeOstakElemRuleSetAttrChar", Presets(), kRequireInit, [&]() -> int32_t {
        const RuleTextField *field = FindField(kRuleTextFields, miAttrId);
        if (mpElemAppl == nullptr || mpElemRule == nullptr || mpszValue == nullptr || field == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return field->Set(*FromHandle(mpElemRule), mpszValue);
    });
}

OSTAK_API int32_t xfeOstakElemRuleGetAttrChar(OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              const char **mppszValue) noexcept {
    const auto presets = Presets(mppszValue, EmptyText());
    return RunExport("xfeOstakElemRuleGetAttrChar", presets, kRequireInit, [&]() -> int32_t {
        const RuleTextField *field = FindField(kRuleTextFields, miAttrId);
        if (mpElemRule == nullptr || mppszValue == nullptr || field == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mppszValue = field->Get(*FromHandle(mpElemRule));
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemRuleSetAttrBool(OstakElemApplHandle *mpElemAppl,
                                              OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              int32_t mbValue) noexcept {
    return RunExport("xfeOstakElemRuleSetAttrBool", Presets(), kRequireInit, [&]() -> int32_t {
        const RuleFlagField *field = FindField(kRuleFlagFields, miAttrId);
        if (mpElemAppl == nullptr || mpElemRule == nullptr || field == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        field->Set(*FromHandle(mpElemRule), LowByte(mbValue));
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemRuleGetAttrBool(OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              uint8_t *mpbValue) noexcept {
    const auto presets = Presets(mpbValue, 0);
    return RunExport("xfeOstakElemRuleGetAttrBool", presets, kRequireInit, [&]() -> int32_t {
        const RuleFlagField *field = FindField(kRuleFlagFields, miAttrId);
        if (mpElemRule == nullptr || mpbValue == nullptr || field == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mpbValue = field->Get(*FromHandle(mpElemRule));
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemRuleSetAttrLong(OstakElemApplHandle *mpElemAppl,
                                              OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              int32_t miValue) noexcept {
    return RunExport("xfeOstakElemRuleSetAttrLong", Presets(), kRequireInit, [&]() -> int32_t {
        const RuleNumberField *field = FindField(kRuleNumberFields, miAttrId);
        if (mpElemAppl == nullptr || mpElemRule == nullptr || field == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        field->Set(*FromHandle(mpElemRule), miValue);
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemRuleGetAttrLong(OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              int32_t *mpiValue) noexcept {
    const auto presets = Presets(mpiValue, 0);
    return RunExport("xfeOstakElemRuleGetAttrLong", presets, kRequireInit, [&]() -> int32_t {
        const RuleNumberField *field = FindField(kRuleNumberFields, miAttrId);
        if (mpElemRule == nullptr || mpiValue == nullptr || field == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mpiValue = field->Get(*FromHandle(mpElemRule));
        return OSTAK_OK;
    });
}

} // extern "C"
