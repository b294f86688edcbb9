// One application: its name, stamp, difference mark, enabled flag and rules.
#pragma once

#include "2-core/OstakContext.h"
#include "3-model/OstakElem.h"
#include "3-model/OstakList.h"

namespace ostak {

class OstakElemAppl final : public OstakElem {
  public:
    // A new unlinked application with an empty rule list, DiffMark 0 and
    // Enabled false, stamped with the context's host and the current time
    // (unless the context stamps no new applications: an empty host and
    // time 0). Null when the record, its rule list or its stamp cannot be
    // allocated.
    static OstakElemAppl *Create(const OstakContext &context) noexcept;
    // Destroys the rules, then releases the stamp host and the name.
    ~OstakElemAppl() override;

    // A new unlinked application, made as Create makes one, then given this
    // one's name, stamp, DiffMark, Enabled and a copy of every rule; null
    // (nothing left behind) when any part cannot be copied.
    OstakElemAppl *Clone(const OstakContext &context) const noexcept;

    OstakElemAppl *NextAppl() const noexcept { return static_cast<OstakElemAppl *>(Next()); }

    const char *StampHost() const noexcept { return stampHost_.psz; }
    const OsStr &StampHostStr() const noexcept { return stampHost_; }
    int32_t StampTime() const noexcept { return stampTime_; }
    int32_t DiffMark() const noexcept { return diffMark_; }
    // Never null: the list lives inside the record.
    OstakListRule *Rules() const noexcept { return const_cast<OstakListRule *>(&rules_); }
    uint8_t Enabled() const noexcept { return enabled_; }

    // Sets the stamp: 0, or 7 with the stamp unchanged. A null host counts as empty.
    int32_t SetStamp(const char *host, int32_t time) noexcept;
    // Sets the stamp's time alone, keeping its host: cannot fail.
    void SetStampTime(int32_t time) noexcept { stampTime_ = time; }
    // Takes over another application's stamp: 0 or 7 as above.
    int32_t CopyStampFrom(const OstakElemAppl &source) noexcept;
    // Exchanges the stamp with the host string and time given (the string
    // is taken over, the former one handed back): cannot fail.
    void ExchangeStamp(OsStr &host, int32_t &time) noexcept;
    void SetDiffMark(int32_t value) noexcept { diffMark_ = value; }
    // Keeps the byte it is given.
    void SetEnabled(uint8_t value) noexcept { enabled_ = value; }

    // 0, or 8 when the name is empty (no rule reported), or the result of
    // the first rule, in list order, that does not validate; that rule goes
    // to `failing` when given (null otherwise).
    int32_t Validate(OstakElemRule **failing) const noexcept;

    // The current time as seconds since 1970, truncated to 32 bits.
    static int32_t CurrentTime() noexcept;

  private:
    OstakElemAppl() noexcept;

    // Lists of applications are long: each record carries its node of the
    // list's search structures, next to the links and the name.
    OstakListNode treeNode_{};
    OsStr stampHost_;
    int32_t stampTime_ = 0;
    int32_t diffMark_ = 0;
    uint8_t enabled_ = 0;
    // The rules, inside the record: a walk over the applications and their
    // first rules reads one record less each, and a new application needs
    // one allocation less.
    OstakListRule rules_;
};

} // namespace ostak
