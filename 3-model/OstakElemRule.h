// One rule: a text, or a prefix and a suffix, with its flags, level and type.
#pragma once

#include "3-model/OstakElem.h"

namespace ostak {

class OstakElemRule final : public OstakElem {
  public:
    // Level values.
    static constexpr int32_t kLevelDisabled = 0;
    static constexpr int32_t kLevelError = 1;
    // Type values (no validation applies to the type).
    static constexpr int32_t kTypeStd = 0;
    static constexpr int32_t kTypeAlert = 1;

    // A new unlinked rule with the defaults (empty texts, level 1, type 0,
    // MatchCase and UseText true, FailIfNotFound false); null when no memory.
    static OstakElemRule *Create() noexcept;
    ~OstakElemRule() override;

    // A new unlinked rule holding this rule's values, or null.
    OstakElemRule *Clone() const noexcept;

    OstakElemRule *NextRule() const noexcept { return static_cast<OstakElemRule *>(Next()); }

    const char *Text() const noexcept { return text_.psz; }
    const char *Prefix() const noexcept { return prefix_.psz; }
    const char *Suffix() const noexcept { return suffix_.psz; }
    int32_t Level() const noexcept { return level_; }
    int32_t Type() const noexcept { return type_; }
    uint8_t MatchCase() const noexcept { return matchCase_; }
    uint8_t UseText() const noexcept { return useText_; }
    uint8_t FailIfNotFound() const noexcept { return failIfNotFound_; }

    // The text setters: 0, 4 (null), 18 (a line feed, carriage return or tab)
    // or 7 (no memory); the field is unchanged unless 0. Nothing is trimmed.
    int32_t SetText(const char *chars) noexcept;
    int32_t SetPrefix(const char *chars) noexcept;
    int32_t SetSuffix(const char *chars) noexcept;
    void SetLevel(int32_t value) noexcept { level_ = value; }
    void SetType(int32_t value) noexcept { type_ = value; }
    // Bools keep the byte they are given.
    void SetMatchCase(uint8_t value) noexcept { matchCase_ = value; }
    void SetUseText(uint8_t value) noexcept { useText_ = value; }
    void SetFailIfNotFound(uint8_t value) noexcept { failIfNotFound_ = value; }

    // 0, or 8 (empty name), 10 (UseText and empty Text), 11 / 12 (prefix and
    // suffix used, one of them empty) or 13 (Level outside 0 to 1).
    int32_t Validate() const noexcept;

    // Name, Text, Prefix, Suffix byte for byte, then Level, MatchCase,
    // UseText, FailIfNotFound and Type; links and list do not count.
    bool Equals(const OstakElemRule &other) const noexcept;

    // Takes the source's name, texts, level, type and flags; links, list and
    // place stay. 0, or 7 with nothing changed when a string cannot be copied.
    int32_t CopyValuesFrom(const OstakElemRule &source) noexcept;

  private:
    OstakElemRule() noexcept;

    // Checks `chars` and makes them the field's value: 0, 4, 18 or 7 as for SetText.
    int32_t SetCheckedText(OsStr *field, const char *chars) noexcept;
    // Makes `count` characters the field's value: in the record's buffer when
    // they fit and no other field holds it (cannot fail), else in a new
    // string; false when no memory (the field unchanged). `chars` may point
    // into the field's own value.
    bool StoreText(OsStr *field, const char *chars, int32_t count) noexcept;
    // Releases the field's value unless it lives in the record; the field is empty afterwards.
    void ReleaseText(OsStr *field) noexcept;
    bool HoldsBuffer(const OsStr &field) const noexcept { return field.psz == inlineText_.text; }
    bool BufferFree() const noexcept {
        return !HoldsBuffer(text_) && !HoldsBuffer(prefix_) && !HoldsBuffer(suffix_);
    }
    static bool FitsBuffer(int32_t count) noexcept { return count > 0 && count <= kInlineTextChars; }

    OsStr text_;
    OsStr prefix_;
    OsStr suffix_;
    // One short Text, Prefix or Suffix lives here, laid out as a string block
    // like the inline name, so that most rules need no memory beside their record.
    static constexpr int32_t kInlineTextChars = 23;
    struct InlineText {
        int32_t length;
        char text[kInlineTextChars + 1];
    } inlineText_;
    int32_t level_ = kLevelError;
    int32_t type_ = kTypeStd;
    uint8_t matchCase_ = 1;
    uint8_t useText_ = 1;
    uint8_t failIfNotFound_ = 0;
};

} // namespace ostak
