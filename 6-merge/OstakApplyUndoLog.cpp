#include "6-merge/OstakApplyUndoLog.h"

#include "1-platform/Alloc.h"
#include "include/ostak.h"

#include <cstring>
#include <new>

namespace ostak {

namespace {

constexpr std::size_t kFirstCapacity = 16;

} // namespace

OstakApplyUndoLog::~OstakApplyUndoLog() {
    Commit();
    Release();
}

int32_t OstakApplyUndoLog::Reserve() noexcept {
    if (count_ < capacity_) {
        return OSTAK_OK;
    }
    const std::size_t capacity = capacity_ == 0 ? kFirstCapacity : capacity_ * 2;
    auto *grown = static_cast<Entry *>(AllocRaw(capacity * sizeof(Entry)));
    if (grown == nullptr) {
        return OSTAK_E_NO_MEMORY;
    }
    if (count_ != 0) {
        std::memcpy(static_cast<void *>(grown), entries_, count_ * sizeof(Entry));
    }
    FreeRaw(entries_);
    entries_ = grown;
    capacity_ = capacity;
    return OSTAK_OK;
}

void OstakApplyUndoLog::Push(const Entry &entry) noexcept {
    entries_[count_++] = entry;
    ++recorded_;
}

int32_t OstakApplyUndoLog::SetEnabled(OstakElemAppl &appl, uint8_t value) noexcept {
    if (appl.Enabled() == value) {
        return OSTAK_OK;
    }
    if (Reserve() != OSTAK_OK) {
        return OSTAK_E_NO_MEMORY;
    }
    Entry entry{};
    entry.kind = Kind::Enabled;
    entry.enabled = appl.Enabled();
    entry.appl = &appl;
    appl.SetEnabled(value);
    Push(entry);
    return OSTAK_OK;
}

int32_t OstakApplyUndoLog::SetStamp(OstakElemAppl &appl, const char *host, int32_t time) noexcept {
    if (Reserve() != OSTAK_OK) {
        return OSTAK_E_NO_MEMORY;
    }
    const char *text = host != nullptr ? host : "";
    OsStr value;
    if (!xfvOsStrConstructFromCharArrayIgnoringNulls(&value, text, static_cast<int32_t>(std::strlen(text)))) {
        return OSTAK_E_NO_MEMORY;
    }
    ExchangeStamp(appl, value, time);
    return OSTAK_OK;
}

int32_t OstakApplyUndoLog::CopyStamp(OstakElemAppl &appl, const OstakElemAppl &from) noexcept {
    if (Reserve() != OSTAK_OK) {
        return OSTAK_E_NO_MEMORY;
    }
    OsStr value;
    if (!xfvOsStrConstructByStrDataIgnoringNulls(&value, from.StampHostStr())) {
        return OSTAK_E_NO_MEMORY;
    }
    ExchangeStamp(appl, value, from.StampTime());
    return OSTAK_OK;
}

void OstakApplyUndoLog::ExchangeStamp(OstakElemAppl &appl, OsStr host, int32_t time) noexcept {
    appl.ExchangeStamp(host, time);
    Entry entry{};
    entry.kind = Kind::Stamp;
    entry.time = time;
    entry.appl = &appl;
    entry.host = host.psz;
    Push(entry);
}

int32_t OstakApplyUndoLog::ReplaceRules(OstakElemAppl &appl, OstakListRule &fresh) noexcept {
    if (Reserve() != OSTAK_OK) {
        return OSTAK_E_NO_MEMORY;
    }
    OstakListRule *former = new (std::nothrow) OstakListRule();
    if (former == nullptr) {
        return OSTAK_E_NO_MEMORY;
    }
    former->SwapElements(fresh);
    appl.Rules()->SwapElements(*former);
    Entry entry{};
    entry.kind = Kind::Rules;
    entry.appl = &appl;
    entry.rules = former;
    Push(entry);
    return OSTAK_OK;
}

void OstakApplyUndoLog::Inserted(OstakList &list, OstakElemAppl &appl) noexcept {
    Entry entry{};
    entry.kind = Kind::Inserted;
    entry.appl = &appl;
    entry.list = &list;
    Push(entry);
}

void OstakApplyUndoLog::Undo() noexcept {
    while (count_ != 0) {
        Entry &entry = entries_[--count_];
        switch (entry.kind) {
        case Kind::Enabled:
            entry.appl->SetEnabled(entry.enabled);
            break;
        case Kind::Stamp: {
            OsStr host{entry.host};
            entry.appl->ExchangeStamp(host, entry.time);
            xfvOsStrDestruct(&host);
            break;
        }
        case Kind::Rules:
            entry.appl->Rules()->SwapElements(*entry.rules);
            delete entry.rules;
            break;
        case Kind::Inserted:
            entry.list->DeleteElem(entry.appl);
            break;
        }
    }
}

void OstakApplyUndoLog::Commit() noexcept {
    for (std::size_t i = 0; i < count_; ++i) {
        Entry &entry = entries_[i];
        if (entry.kind == Kind::Stamp) {
            OsStr host{entry.host};
            xfvOsStrDestruct(&host);
        } else if (entry.kind == Kind::Rules) {
            delete entry.rules;
        }
    }
    count_ = 0;
}

void OstakApplyUndoLog::Release() noexcept {
    FreeRaw(entries_);
    entries_ = nullptr;
    capacity_ = 0;
}

} // namespace ostak
