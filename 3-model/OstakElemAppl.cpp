#include "3-model/OstakElemAppl.h"

#include "include/ostak.h"

#include <cstring>
#include <ctime>
#include <new>
#include <utility>

namespace ostak {

OstakElemAppl::OstakElemAppl() noexcept : stampHost_(xtOsStrCommonEmptyStr) {
    EmbedNode(&treeNode_);
}

OstakElemAppl *OstakElemAppl::Create(const OstakContext &context) noexcept {
    OstakElemAppl *appl = new (std::nothrow) OstakElemAppl();
    if (appl == nullptr) {
        return nullptr;
    }
    if (context.stampNewApplications && appl->SetStamp(context.stampHost, CurrentTime()) != OSTAK_OK) {
        delete appl;
        return nullptr;
    }
    return appl;
}

OstakElemAppl::~OstakElemAppl() {
    xfvOsStrDestruct(&stampHost_);
}

OstakElemAppl *OstakElemAppl::Clone(const OstakContext &context) const noexcept {
    OstakElemAppl *copy = Create(context);
    if (copy == nullptr) {
        return nullptr;
    }
    if (copy->AssignName(NameStr()) != OSTAK_OK || copy->CopyStampFrom(*this) != OSTAK_OK ||
        copy->rules_.CopyFrom(&rules_) != OSTAK_OK) {
        delete copy;
        return nullptr;
    }
    copy->diffMark_ = diffMark_;
    copy->enabled_ = enabled_;
    return copy;
}

int32_t OstakElemAppl::SetStamp(const char *host, int32_t time) noexcept {
    const char *text = host != nullptr ? host : "";
    if (!xfvOsStrAssignFromCharArrayIgnoringNulls(&stampHost_, text,
                                                  static_cast<int32_t>(std::strlen(text)))) {
        return OSTAK_E_NO_MEMORY;
    }
    stampTime_ = time;
    return OSTAK_OK;
}

int32_t OstakElemAppl::CopyStampFrom(const OstakElemAppl &source) noexcept {
    if (!xfvOsStrAssignByStrDataIgnoringNulls(&stampHost_, source.stampHost_)) {
        return OSTAK_E_NO_MEMORY;
    }
    stampTime_ = source.stampTime_;
    return OSTAK_OK;
}

void OstakElemAppl::ExchangeStamp(OsStr &host, int32_t &time) noexcept {
    std::swap(stampHost_, host);
    std::swap(stampTime_, time);
}

int32_t OstakElemAppl::Validate(OstakElemRule **failing) const noexcept {
    if (failing != nullptr) {
        *failing = nullptr;
    }
    if (OsStrIsEmpty(NameStr())) {
        return OSTAK_E_INVALID_NAME;
    }
    for (OstakElemRule *rule = rules_.FirstRule(); rule != nullptr; rule = rule->NextRule()) {
        const int32_t rc = rule->Validate();
        if (rc != OSTAK_OK) {
            if (failing != nullptr) {
                *failing = rule;
            }
            return rc;
        }
    }
    return OSTAK_OK;
}

int32_t OstakElemAppl::CurrentTime() noexcept {
    return static_cast<int32_t>(static_cast<uint32_t>(std::time(nullptr)));
}

} // namespace ostak
