/*
 * Ostak for C++17: a header-only convenience layer over the C interface of
 * ostak.h. It adds no behaviour of its own; every call below is one call of
 * the C interface.
 *
 *   ostak::Library        initialises the library for its lifetime (one at a time)
 *   ostak::RuleFile       owns a rule-file object: destroyed on scope exit, movable
 *   ostak::ApplicationList, ostak::Application, ostak::Rule
 *                         handles with typed getters and setters; lists and an
 *                         application's rules are ranges usable in range-for
 *   ostak::ApplicationListCopy
 *                         owns a free-standing copy of an application list
 *   ostak::FileLock       holds a rule file's lock for its lifetime
 *   ostak::ThreeWay       decides differences from a common base (three-way merging)
 *   ostak::Error          thrown for every result code other than OSTAK_OK
 *   ostak::Version()      the version of the header ("1.0.0", OSTAK_VERSION)
 *
 * Errors: every function that calls the library throws ostak::Error when the
 * result is not OSTAK_OK (the library has then already handed its message to
 * the log callback). The Error carries that message too: its text, number,
 * and the file, line and column it names; what() reads "FILE:LINE:COL: TEXT
 * [NUMBER]". An exception thrown by one of the caller's callbacks is
 * kept, the library is answered "cancel" (merge) or "no" (configuration), and
 * the exception is rethrown when the library call returns.
 *
 * Callbacks are std::function objects, held process-wide for the life of the
 * Library object. Like the C interface, use the library from one thread at a
 * time.
 */
#ifndef OSTAK_HPP
#define OSTAK_HPP

#include "ostak.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace ostak {

/* The version of this header and of the C interface it wraps (OSTAK_VERSION). */
inline const char *Version() noexcept {
    return OSTAK_VERSION;
}

/* Kinds of rule-file objects (see ostak.h). */
enum class FileKind : uint32_t {
    Plain = OSTAK_FILE_KIND_PLAIN,
    Script = OSTAK_FILE_KIND_SCRIPT,
    Installation = OSTAK_FILE_KIND_INSTALLATION,
    Source = OSTAK_FILE_KIND_SOURCE
};

/* Values of an application's DiffMark: the caller's decisions and the marks. */
enum class DiffMark : int32_t {
    Skip = OstakDiffSkip,
    Apply = OstakDiffApply,
    Absent = OstakDiffAbsent,
    SameRules = OstakDiffSameRules,
    SameStamp = OstakDiffSameStamp,
    Changed = OstakDiffChanged
};

enum class MergeEvent : int32_t {
    RuleOnlyInSource = OstakMergeRuleOnlyInSource,
    RuleOnlyInTarget = OstakMergeRuleOnlyInTarget,
    RuleConflict = OstakMergeRuleConflict
};

enum class MergeAnswer : uint32_t {
    Cancel = OstakMergeCancel,
    TakeSource = OstakMergeTakeSource,
    TakeTarget = OstakMergeTakeTarget,
    TakeBoth = OstakMergeTakeBoth
};

enum class Level : int32_t { Disabled = OSTAK_RULE_LEVEL_DISABLED, Error = OSTAK_RULE_LEVEL_ERROR };
enum class RuleType : int32_t { Std = OSTAK_RULE_TYPE_STD, Alert = OSTAK_RULE_TYPE_ALERT };

/* The symbolic name of a result code ("OSTAK_E_INVALID_DOCUMENT"), or "OSTAK_E_UNKNOWN". */
inline const char *ResultName(int32_t code) noexcept {
    switch (code) {
    case OSTAK_OK:
        return "OSTAK_OK";
    case OSTAK_E_MSG_HANDLER_INIT:
        return "OSTAK_E_MSG_HANDLER_INIT";
    case OSTAK_E_RESOURCE_FILE:
        return "OSTAK_E_RESOURCE_FILE";
    case OSTAK_E_INVALID_ARGUMENT:
        return "OSTAK_E_INVALID_ARGUMENT";
    case OSTAK_E_INTERNAL_ARGUMENT:
        return "OSTAK_E_INTERNAL_ARGUMENT";
    case OSTAK_E_DUPLICATE_NAME:
        return "OSTAK_E_DUPLICATE_NAME";
    case OSTAK_E_ORDER:
        return "OSTAK_E_ORDER";
    case OSTAK_E_NO_MEMORY:
        return "OSTAK_E_NO_MEMORY";
    case OSTAK_E_INVALID_NAME:
        return "OSTAK_E_INVALID_NAME";
    case OSTAK_E_NOT_IN_LIST:
        return "OSTAK_E_NOT_IN_LIST";
    case OSTAK_E_EMPTY_TEXT:
        return "OSTAK_E_EMPTY_TEXT";
    case OSTAK_E_EMPTY_PREFIX:
        return "OSTAK_E_EMPTY_PREFIX";
    case OSTAK_E_EMPTY_SUFFIX:
        return "OSTAK_E_EMPTY_SUFFIX";
    case OSTAK_E_INVALID_LEVEL:
        return "OSTAK_E_INVALID_LEVEL";
    case OSTAK_E_CANCELLED:
        return "OSTAK_E_CANCELLED";
    case OSTAK_E_BAD_ANSWER:
        return "OSTAK_E_BAD_ANSWER";
    case OSTAK_E_NO_MERGE_CALLBACK:
        return "OSTAK_E_NO_MERGE_CALLBACK";
    case OSTAK_E_LINE_BREAK:
        return "OSTAK_E_LINE_BREAK";
    case OSTAK_E_FILE_STAT:
        return "OSTAK_E_FILE_STAT";
    case OSTAK_E_NOT_REGULAR_FILE:
        return "OSTAK_E_NOT_REGULAR_FILE";
    case OSTAK_E_FILE_EMPTY:
        return "OSTAK_E_FILE_EMPTY";
    case OSTAK_E_INVALID_DOCUMENT:
        return "OSTAK_E_INVALID_DOCUMENT";
    case OSTAK_E_FILE_MISSING:
        return "OSTAK_E_FILE_MISSING";
    case OSTAK_E_INSTALLATION_LOAD:
        return "OSTAK_E_INSTALLATION_LOAD";
    case OSTAK_E_TAKEOVER_SAVE:
        return "OSTAK_E_TAKEOVER_SAVE";
    case OSTAK_E_MERGE:
        return "OSTAK_E_MERGE";
    case OSTAK_E_MERGE_SAVE:
        return "OSTAK_E_MERGE_SAVE";
    case OSTAK_E_NO_HOST_NAME:
        return "OSTAK_E_NO_HOST_NAME";
    case OSTAK_E_WRITE:
        return "OSTAK_E_WRITE";
    case OSTAK_E_NOT_INITIALISED:
        return "OSTAK_E_NOT_INITIALISED";
    case OSTAK_E_REMOVE_FILE:
        return "OSTAK_E_REMOVE_FILE";
    case OSTAK_E_LOCKED:
        return "OSTAK_E_LOCKED";
    default:
        return "OSTAK_E_UNKNOWN";
    }
}

/* Where a message of the library points, taken out of its text: the text
 * without the position, and the file, line and column it names. */
struct MessagePlace {
    std::string text;   /* the message without the position */
    std::string file;   /* the file it names; empty when none */
    int32_t line = 0;   /* 0 when it names none */
    int32_t column = 0; /* 0 when it names none */
};

namespace detail {

inline bool ReadNumber(std::string_view text, std::size_t &at, int32_t &value) noexcept {
    const std::size_t start = at;
    int64_t number = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && number <= INT32_MAX) {
        number = number * 10 + (text[at] - '0');
        ++at;
    }
    if (at == start || number > INT32_MAX) {
        return false;
    }
    value = static_cast<int32_t>(number);
    return true;
}

inline bool Skip(std::string_view text, std::size_t &at, std::string_view word) noexcept {
    if (text.substr(at, word.size()) != word) {
        return false;
    }
    at += word.size();
    return true;
}

} // namespace detail

/* Splits the position off a message text that ends in one: ... at line L,
 * column C of file "F"; ... (line L, column C of file "F"); ... in file "F".
 * A text without one comes back whole, with no file. */
inline MessagePlace SplitMessagePlace(std::string_view text) {
    struct Form {
        std::string_view lead;
        bool position;
        std::string_view tail;
    };
    static constexpr Form kForms[] = {
        {" at line ", true, "\""}, {" (line ", true, "\")"}, {" in file \"", false, "\""}};
    for (const Form &form : kForms) {
        if (text.size() < form.tail.size() || text.substr(text.size() - form.tail.size()) != form.tail) {
            continue;
        }
        const std::size_t end = text.size() - form.tail.size();
        for (std::size_t start = text.rfind(form.lead); start != std::string_view::npos;
             start = start == 0 ? std::string_view::npos : text.rfind(form.lead, start - 1)) {
            std::size_t at = start + form.lead.size();
            MessagePlace place;
            if (form.position &&
                !(detail::ReadNumber(text, at, place.line) && detail::Skip(text, at, ", column ") &&
                  detail::ReadNumber(text, at, place.column) && detail::Skip(text, at, " of file \""))) {
                continue;
            }
            if (at > end) {
                continue;
            }
            place.file = std::string(text.substr(at, end - at));
            place.text = std::string(text.substr(0, start));
            return place;
        }
    }
    MessagePlace whole;
    whole.text = std::string(text);
    return whole;
}

/* A library function returned a result code other than OSTAK_OK. It carries
 * the library's message issued during that call (its first error, else its
 * first warning), when there was one. */
class Error : public std::runtime_error {
  public:
    Error(int32_t code, const char *function) : Error(code, function, 0, MessagePlace{}) {}
    Error(int32_t code, const char *function, int32_t messageNumber, MessagePlace message)
        : std::runtime_error(Describe(code, function, messageNumber, message)), code_(code),
          function_(function), messageNumber_(messageNumber), message_(std::move(message)) {}
    /* The result code (OSTAK_E_...). */
    int32_t code() const noexcept { return code_; }
    /* The name of the C function that returned it ("xfeOstakLoad"). */
    const char *function() const noexcept { return function_; }
    /* The message's catalogue number (0 for a text the library composed, or no message). */
    int32_t messageNumber() const noexcept { return messageNumber_; }
    /* The message's text without its position; empty when no message was issued. */
    const std::string &messageText() const noexcept { return message_.text; }
    /* The file, line and column the message names (empty and 0 when it names none). */
    const std::string &file() const noexcept { return message_.file; }
    int32_t line() const noexcept { return message_.line; }
    int32_t column() const noexcept { return message_.column; }

  private:
    /* "FILE:LINE:COL: TEXT [NUMBER]", as much as is known; without a
     * message, the function and the code. */
    static std::string Describe(int32_t code, const char *function, int32_t number,
                                const MessagePlace &message) {
        if (message.text.empty()) {
            return std::string(function) + " failed: " + ResultName(code) + " (" + std::to_string(code) + ")";
        }
        std::string out;
        if (!message.file.empty()) {
            out = message.file;
            if (message.line > 0) {
                out += ":" + std::to_string(message.line) + ":" + std::to_string(message.column);
            }
            out += ": ";
        }
        out += message.text;
        if (number != 0) {
            out += " [" + std::to_string(number) + "]";
        }
        return out;
    }

    int32_t code_;
    const char *function_;
    int32_t messageNumber_;
    MessagePlace message_;
};

class Application;
class Rule;

/* One message handed to the log callback; the views are valid during the call only. */
struct Message {
    int32_t number;            /* catalogue number, or 0 for a text the library composed */
    std::string_view text;     /* the message text */
    std::string_view function; /* the issuing function */
    int32_t line;              /* its source line */
    int32_t level;             /* OSTAK_LEVEL_TRACE, _WARNING, _ERROR or _FATAL */
};

struct MergeQuestion;

namespace detail {

struct State {
    std::function<void(const Message &)> log;
    std::function<MergeAnswer(const MergeQuestion &)> merge;
    std::function<bool(int32_t)> confirm;
    std::exception_ptr pending; /* the first exception a callback threw during the current call */
    bool active = false;        /* a Library object exists */
    /* The message an Error of the current call carries: its level (0: none yet), number and text. */
    int32_t messageLevel = 0;
    int32_t messageNumber = 0;
    std::string messageText;
};

inline State &GetState() noexcept {
    static State state;
    return state;
}

inline void KeepPending() noexcept {
    State &state = GetState();
    if (!state.pending) {
        state.pending = std::current_exception();
    }
}

/* Keeps the first error of a call, else its first warning (trace lines never). */
inline void NoteMessage(int32_t number, const char *text, int32_t level) {
    State &state = GetState();
    const bool better = level >= OSTAK_LEVEL_ERROR ? state.messageLevel < OSTAK_LEVEL_ERROR
                                                   : level >= OSTAK_LEVEL_WARNING && state.messageLevel == 0;
    if (better) {
        state.messageLevel = level;
        state.messageNumber = number;
        state.messageText = text != nullptr ? text : "";
    }
}

/* Forgets the message kept for the current call. */
inline void ForgetMessage() noexcept {
    State &state = GetState();
    state.messageLevel = 0;
    state.messageNumber = 0;
    state.messageText.clear();
}

/* Rethrows what a callback threw during the call, else throws Error for a
 * failure code with the message the call issued. Every call of the C
 * interface is followed by Check (or ForgetMessage), so the kept message is
 * always the current call's. */
inline void Check(int32_t code, const char *function) {
    State &state = GetState();
    if (state.pending) {
        ForgetMessage();
        std::exception_ptr pending = std::exchange(state.pending, nullptr);
        std::rethrow_exception(pending);
    }
    if (code == OSTAK_OK) {
        ForgetMessage();
        return;
    }
    const int32_t number = state.messageNumber;
    MessagePlace message = SplitMessagePlace(state.messageText);
    ForgetMessage();
    throw Error(code, function, number, std::move(message));
}

inline uint32_t Length(const std::string &text) {
    if (text.size() > UINT32_MAX) {
        throw std::length_error("ostak: text too long");
    }
    return static_cast<uint32_t>(text.size());
}

} // namespace detail

/* A rule of an application. Getters need only the rule; setters and
 * finalize also use the application it belongs to. */
class Rule {
  public:
    Rule() = default;
    Rule(OstakElemApplHandle *application, OstakElemRuleHandle *rule) noexcept
        : application_(application), rule_(rule) {}

    OstakElemRuleHandle *handle() const noexcept { return rule_; }
    OstakElemApplHandle *applicationHandle() const noexcept { return application_; }
    explicit operator bool() const noexcept { return rule_ != nullptr; }
    friend bool operator==(const Rule &a, const Rule &b) noexcept { return a.rule_ == b.rule_; }
    friend bool operator!=(const Rule &a, const Rule &b) noexcept { return a.rule_ != b.rule_; }

    std::string name() const { return getChar(OSTAK_RULE_CHAR_NAME); }
    std::string text() const { return getChar(OSTAK_RULE_CHAR_TEXT); }
    std::string prefix() const { return getChar(OSTAK_RULE_CHAR_PREFIX); }
    std::string suffix() const { return getChar(OSTAK_RULE_CHAR_SUFFIX); }
    bool matchCase() const { return getBool(OSTAK_RULE_BOOL_MATCH_CASE); }
    bool useText() const { return getBool(OSTAK_RULE_BOOL_USE_TEXT); }
    bool failIfNotFound() const { return getBool(OSTAK_RULE_BOOL_FAIL_IF_NOT_FOUND); }
    Level level() const { return static_cast<Level>(getLong(OSTAK_RULE_LONG_LEVEL)); }
    RuleType type() const { return static_cast<RuleType>(getLong(OSTAK_RULE_LONG_TYPE)); }

    void setName(const std::string &value) { setChar(OSTAK_RULE_CHAR_NAME, value); }
    void setText(const std::string &value) { setChar(OSTAK_RULE_CHAR_TEXT, value); }
    void setPrefix(const std::string &value) { setChar(OSTAK_RULE_CHAR_PREFIX, value); }
    void setSuffix(const std::string &value) { setChar(OSTAK_RULE_CHAR_SUFFIX, value); }
    void setMatchCase(bool value) { setBool(OSTAK_RULE_BOOL_MATCH_CASE, value); }
    void setUseText(bool value) { setBool(OSTAK_RULE_BOOL_USE_TEXT, value); }
    void setFailIfNotFound(bool value) { setBool(OSTAK_RULE_BOOL_FAIL_IF_NOT_FOUND, value); }
    void setLevel(Level value) { setLong(OSTAK_RULE_LONG_LEVEL, static_cast<int32_t>(value)); }
    void setType(RuleType value) { setLong(OSTAK_RULE_LONG_TYPE, static_cast<int32_t>(value)); }

    /* Puts the rule back in name order and validates it; throws Error when it is not valid. */
    void finalize() {
        uint8_t valid = 0;
        detail::Check(xfeOstakFinalizeElemRule(application_, rule_, &valid), "xfeOstakFinalizeElemRule");
    }

  private:
    std::string getChar(int32_t id) const {
        const char *value = nullptr;
        detail::Check(xfeOstakElemRuleGetAttrChar(rule_, id, &value), "xfeOstakElemRuleGetAttrChar");
        return value;
    }
    bool getBool(int32_t id) const {
        uint8_t value = 0;
        detail::Check(xfeOstakElemRuleGetAttrBool(rule_, id, &value), "xfeOstakElemRuleGetAttrBool");
        return value != 0;
    }
    int32_t getLong(int32_t id) const {
        int32_t value = 0;
        detail::Check(xfeOstakElemRuleGetAttrLong(rule_, id, &value), "xfeOstakElemRuleGetAttrLong");
        return value;
    }
    void setChar(int32_t id, const std::string &value) {
        detail::Check(xfeOstakElemRuleSetAttrChar(application_, rule_, id, value.c_str()),
                      "xfeOstakElemRuleSetAttrChar");
    }
    void setBool(int32_t id, bool value) {
        detail::Check(xfeOstakElemRuleSetAttrBool(application_, rule_, id, value ? 1 : 0),
                      "xfeOstakElemRuleSetAttrBool");
    }
    void setLong(int32_t id, int32_t value) {
        detail::Check(xfeOstakElemRuleSetAttrLong(application_, rule_, id, value),
                      "xfeOstakElemRuleSetAttrLong");
    }

    OstakElemApplHandle *application_ = nullptr;
    OstakElemRuleHandle *rule_ = nullptr;
};

/* Iteration by IterateFirst/IterateNext. Element is Application or
 * Rule; Owner the list handle (application list or application). Fetch the
 * next element before deleting the current one. */
template <typename Element, typename Owner, typename Handle, int32_t (*First)(Owner *, Handle **) noexcept,
          int32_t (*Next)(Owner *, Handle *, Handle **) noexcept>
class HandleIterator {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Element;
    using difference_type = std::ptrdiff_t;
    using pointer = const Element *;
    using reference = Element;

    HandleIterator() = default;
    HandleIterator(Owner *owner, Handle *current) noexcept : owner_(owner), current_(current) {}

    Element operator*() const { return Element(owner_, current_); }
    HandleIterator &operator++() {
        Handle *next = nullptr;
        detail::Check(Next(owner_, current_, &next), NextName());
        current_ = next;
        return *this;
    }
    HandleIterator operator++(int) {
        HandleIterator before = *this;
        ++*this;
        return before;
    }
    friend bool operator==(const HandleIterator &a, const HandleIterator &b) noexcept {
        return a.current_ == b.current_;
    }
    friend bool operator!=(const HandleIterator &a, const HandleIterator &b) noexcept {
        return a.current_ != b.current_;
    }

    static HandleIterator Begin(Owner *owner) {
        Handle *first = nullptr;
        detail::Check(First(owner, &first), FirstName());
        return HandleIterator(owner, first);
    }

  private:
    static constexpr bool kApplications = std::is_same_v<Handle, OstakElemApplHandle>;
    static const char *FirstName() noexcept {
        return kApplications ? "xfeOstakElemApplIterateFirst" : "xfeOstakElemRuleIterateFirst";
    }
    static const char *NextName() noexcept {
        return kApplications ? "xfeOstakElemApplIterateNext" : "xfeOstakElemRuleIterateNext";
    }

    Owner *owner_ = nullptr;
    Handle *current_ = nullptr;
};

using RuleIterator = HandleIterator<Rule, OstakElemApplHandle, OstakElemRuleHandle,
                                    xfeOstakElemRuleIterateFirst, xfeOstakElemRuleIterateNext>;

/* The rules of one application, in list order. */
class RuleRange {
  public:
    explicit RuleRange(OstakElemApplHandle *application) noexcept : application_(application) {}
    RuleIterator begin() const { return RuleIterator::Begin(application_); }
    RuleIterator end() const noexcept { return RuleIterator(application_, nullptr); }

  private:
    OstakElemApplHandle *application_;
};

/* An application of a list. Getters need only the application; setters,
 * finalize and the rule functions also use the list it belongs to. */
class Application {
  public:
    Application() = default;
    Application(OstakListApplHandle *list, OstakElemApplHandle *application) noexcept
        : list_(list), application_(application) {}

    OstakElemApplHandle *handle() const noexcept { return application_; }
    OstakListApplHandle *listHandle() const noexcept { return list_; }
    explicit operator bool() const noexcept { return application_ != nullptr; }
    friend bool operator==(const Application &a, const Application &b) noexcept {
        return a.application_ == b.application_;
    }
    friend bool operator!=(const Application &a, const Application &b) noexcept {
        return a.application_ != b.application_;
    }

    std::string name() const {
        const char *value = nullptr;
        detail::Check(xfeOstakElemApplGetAttrChar(application_, OSTAK_APPL_CHAR_NAME, &value),
                      "xfeOstakElemApplGetAttrChar");
        return value;
    }
    bool enabled() const {
        uint8_t value = 0;
        detail::Check(xfeOstakElemApplGetAttrBool(application_, OSTAK_APPL_BOOL_ENABLED, &value),
                      "xfeOstakElemApplGetAttrBool");
        return value != 0;
    }
    DiffMark diffMark() const {
        int32_t value = 0;
        detail::Check(xfeOstakElemApplGetAttrLong(application_, OSTAK_APPL_LONG_DIFF_MARK, &value),
                      "xfeOstakElemApplGetAttrLong");
        return static_cast<DiffMark>(value);
    }
    void setName(const std::string &value) {
        detail::Check(xfeOstakElemApplSetAttrChar(list_, application_, OSTAK_APPL_CHAR_NAME, value.c_str()),
                      "xfeOstakElemApplSetAttrChar");
    }
    void setEnabled(bool value) {
        detail::Check(
            xfeOstakElemApplSetAttrBool(list_, application_, OSTAK_APPL_BOOL_ENABLED, value ? 1 : 0),
            "xfeOstakElemApplSetAttrBool");
    }
    void setDiffMark(DiffMark value) {
        detail::Check(
            xfeOstakElemApplSetAttrLong(application_, OSTAK_APPL_LONG_DIFF_MARK, static_cast<int32_t>(value)),
            "xfeOstakElemApplSetAttrLong");
    }

    /* Where and when the application was made or last changed. */
    struct Stamp {
        std::string host;
        int64_t time; /* seconds since 1970-01-01 00:00 UTC */
    };
    Stamp stamp() const {
        const char *host = nullptr;
        int32_t time = 0;
        detail::Check(xfeOstakElemApplGetStamp(application_, &host, &time), "xfeOstakElemApplGetStamp");
        return Stamp{host, static_cast<int64_t>(static_cast<uint32_t>(time))};
    }
    /* Stamps the application with this host and the current time: after changing it. */
    void renewStamp() {
        detail::Check(xfeOstakElemApplRenewStamp(list_, application_), "xfeOstakElemApplRenewStamp");
    }

    RuleRange rules() const noexcept { return RuleRange(application_); }
    /* The rule of that name, or an empty optional (a walk over the rules). */
    std::optional<Rule> findRule(const std::string &name) const {
        for (Rule rule : rules()) {
            if (rule.name() == name) {
                return rule;
            }
        }
        return std::nullopt;
    }
    /* Adds an empty rule at the head of the rules; set its fields, then finalize it. */
    Rule addRule() {
        OstakElemRuleHandle *rule = nullptr;
        detail::Check(xfeOstakElemRuleAddEmpty(application_, &rule), "xfeOstakElemRuleAddEmpty");
        return Rule(application_, rule);
    }
    /* Deletes the rule (when it is one of this application's) and empties the handle. */
    void removeRule(Rule &rule) {
        OstakElemRuleHandle *handle = rule.handle();
        const int32_t code = xfeOstakElemRuleDelete(application_, &handle);
        rule = Rule();
        detail::Check(code, "xfeOstakElemRuleDelete");
    }

    /* Puts the application back in name order and validates it with its
     * rules; throws Error when it is not valid, after storing the first
     * failing rule (if any) in *failingRule when that is given. */
    void finalize(Rule *failingRule = nullptr) {
        OstakElemRuleHandle *failing = nullptr;
        uint8_t valid = 0;
        const int32_t code = xfeOstakFinalizeElemAppl(list_, application_, &failing, &valid);
        if (failingRule != nullptr) {
            *failingRule = Rule(application_, failing);
        }
        detail::Check(code, "xfeOstakFinalizeElemAppl");
    }

  private:
    OstakListApplHandle *list_ = nullptr;
    OstakElemApplHandle *application_ = nullptr;
};

using ApplicationIterator = HandleIterator<Application, OstakListApplHandle, OstakElemApplHandle,
                                           xfeOstakElemApplIterateFirst, xfeOstakElemApplIterateNext>;

class ApplicationListCopy;

/* An application list (a rule file's, or a copy's), not owned. */
class ApplicationList {
  public:
    ApplicationList() = default;
    explicit ApplicationList(OstakListApplHandle *list) noexcept : list_(list) {}

    OstakListApplHandle *handle() const noexcept { return list_; }
    ApplicationIterator begin() const { return ApplicationIterator::Begin(list_); }
    ApplicationIterator end() const noexcept { return ApplicationIterator(list_, nullptr); }
    bool empty() const { return begin() == end(); }
    /* The application of that name, or an empty optional (a walk over the list). */
    inline std::optional<Application> find(const std::string &name) const;

    /* Adds an empty application at the head; set its fields, then finalize it. */
    Application add() {
        OstakElemApplHandle *application = nullptr;
        detail::Check(xfeOstakElemApplAddEmpty(list_, &application), "xfeOstakElemApplAddEmpty");
        return Application(list_, application);
    }
    /* Deletes the application (when it is one of this list's) and empties the handle. */
    void remove(Application &application) {
        OstakElemApplHandle *handle = application.handle();
        const int32_t code = xfeOstakElemApplDelete(list_, &handle);
        application = Application();
        detail::Check(code, "xfeOstakElemApplDelete");
    }
    /* A deep copy that belongs to the caller. */
    inline ApplicationListCopy clone() const;

  private:
    OstakListApplHandle *list_ = nullptr;
};

inline std::optional<Application> ApplicationList::find(const std::string &name) const {
    for (Application application : *this) {
        if (application.name() == name) {
            return application;
        }
    }
    return std::nullopt;
}

/* Owns a list made by ApplicationList::clone; destroyed on scope exit. */
class ApplicationListCopy {
  public:
    explicit ApplicationListCopy(OstakListApplHandle *list) noexcept : list_(list) {}
    ApplicationListCopy(ApplicationListCopy &&other) noexcept : list_(std::exchange(other.list_, nullptr)) {}
    ApplicationListCopy &operator=(ApplicationListCopy &&other) noexcept {
        if (this != &other) {
            reset();
            list_ = std::exchange(other.list_, nullptr);
        }
        return *this;
    }
    ApplicationListCopy(const ApplicationListCopy &) = delete;
    ApplicationListCopy &operator=(const ApplicationListCopy &) = delete;
    ~ApplicationListCopy() { reset(); }

    ApplicationList list() const noexcept { return ApplicationList(list_); }
    ApplicationIterator begin() const { return list().begin(); }
    ApplicationIterator end() const noexcept { return list().end(); }

  private:
    void reset() noexcept {
        if (list_ != nullptr) {
            xfeOstakListApplDestroy(&list_);
            detail::ForgetMessage();
        }
    }
    OstakListApplHandle *list_ = nullptr;
};

inline ApplicationListCopy ApplicationList::clone() const {
    OstakListApplHandle *copy = nullptr;
    detail::Check(xfeOstakListApplClone(list_, &copy), "xfeOstakListApplClone");
    return ApplicationListCopy(copy);
}

/* A question of the merge callback (see ostak.h). For RuleOnlyInSource and
 * RuleConflict, application and rule are the source's; for RuleOnlyInTarget
 * the target's. For RuleConflict, targetApplication and targetRule are the
 * target's and proposedName is the name the source's rule gets on TakeBoth.
 * Everything is valid during the call only and must not be changed. */
struct MergeQuestion {
    MergeEvent event;
    FileKind sourceKind;
    FileKind targetKind;
    Application application;       /* source's (RuleOnlyInSource, RuleConflict) or target's */
    Rule rule;                     /* likewise */
    Application targetApplication; /* RuleConflict only */
    Rule targetRule;               /* RuleConflict only */
    std::string proposedName;      /* RuleConflict only: the name of the source's rule on TakeBoth */
};

/* Options of a Library. */
struct Options {
    std::string root;             /* the folder holding dat/ */
    std::string scriptDirectory;  /* directory of the script's rule file */
    std::string scriptName;       /* its file name */
    bool readOnly = false;        /* read-only mode: kind Plain only, disabled entries left out */
    bool converterSwitch = false; /* ICU conversion and UTF-8 output */
    /* Receives every message. Required. */
    std::function<void(const Message &)> log;
    /* Decides each rule of a merge. Required in full mode, unused in read-only mode. */
    std::function<MergeAnswer(const MergeQuestion &)> merge;
    /* Asked (with 0) whether a changed installation file may be merged into a
     * script's rule file; true lets the merge go ahead. Required in full mode. */
    std::function<bool(int32_t question)> confirm;
};

namespace detail {

inline void LogTrampoline(int32_t number, const char *text, const char *function, int32_t line,
                          int32_t level) {
    try {
        State &state = GetState();
        if (state.log) {
            NoteMessage(number, text, level);
            state.log(Message{number, text != nullptr ? text : "", function != nullptr ? function : "", line,
                              level});
        }
    } catch (...) {
        KeepPending();
    }
}

inline int32_t ConfTrampoline(int32_t question) {
    try {
        State &state = GetState();
        return state.confirm && state.confirm(question) ? 2 : 0;
    } catch (...) {
        KeepPending();
        return 0;
    }
}

inline uint32_t MergeTrampoline(int32_t event, int32_t sourceKind, int32_t targetKind, void *appl, void *rule,
                                void *appl2, void *rule2, const char *proposedName) {
    try {
        State &state = GetState();
        if (!state.merge) {
            return OstakMergeCancel;
        }
        auto *application = static_cast<OstakElemApplHandle *>(appl);
        auto *application2 = static_cast<OstakElemApplHandle *>(appl2);
        const MergeQuestion question{static_cast<MergeEvent>(event),
                                     static_cast<FileKind>(sourceKind),
                                     static_cast<FileKind>(targetKind),
                                     Application(nullptr, application),
                                     Rule(application, static_cast<OstakElemRuleHandle *>(rule)),
                                     Application(nullptr, application2),
                                     Rule(application2, static_cast<OstakElemRuleHandle *>(rule2)),
                                     proposedName != nullptr ? proposedName : ""};
        return static_cast<uint32_t>(state.merge(question));
    } catch (...) {
        KeepPending();
        return OstakMergeCancel;
    }
}

} // namespace detail

/* Initialises the library for the lifetime of the object and terminates it
 * at the end. One Library object may exist at a time. */
class Library {
  public:
    explicit Library(Options options) {
        detail::State &state = detail::GetState();
        if (state.active) {
            throw std::logic_error("ostak::Library: the library is already initialised by another Library");
        }
        const uint32_t rootLength = detail::Length(options.root);
        const uint32_t directoryLength = detail::Length(options.scriptDirectory);
        const uint32_t nameLength = detail::Length(options.scriptName);
        state.log = std::move(options.log);
        state.merge = std::move(options.merge);
        state.confirm = std::move(options.confirm);
        state.pending = nullptr;
        detail::ForgetMessage();
        const int32_t code = xfeOstakGlobalInit(
            options.readOnly ? 1 : 0, state.log ? detail::LogTrampoline : nullptr,
            state.merge ? detail::MergeTrampoline : nullptr, state.confirm ? detail::ConfTrampoline : nullptr,
            options.root.data(), rootLength, options.scriptDirectory.data(), directoryLength,
            options.scriptName.data(), nameLength, options.converterSwitch ? 1 : 0);
        try {
            detail::Check(code, "xfeOstakGlobalInit");
        } catch (...) {
            Forget();
            throw;
        }
        state.active = true;
    }
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;
    Library(Library &&) = delete;
    Library &operator=(Library &&) = delete;
    /* Terminates the library; destroy every RuleFile first. */
    ~Library() {
        xfeOstakGlobalTerm();
        Forget();
        detail::ForgetMessage();
    }

    /* The stored full paths of the three rule files. */
    static std::string scriptFilePath() {
        return std::string(xfpszOstakFileFullPathScriptStr(), xfnOstakFileFullPathScriptLen());
    }
    static std::string installationFilePath() {
        return std::string(xfpszOstakFileFullPathInstallationStr(), xfnOstakFileFullPathInstallationLen());
    }
    static std::string defaultsFilePath() {
        return std::string(xfpszOstakFileFullPathDefaultsStr(), xfnOstakFileFullPathDefaultsLen());
    }

  private:
    static void Forget() noexcept {
        detail::State &state = detail::GetState();
        state.log = nullptr;
        state.merge = nullptr;
        state.confirm = nullptr;
        state.pending = nullptr;
        state.active = false;
    }
};

/* Owns a rule-file object: made on construction, destroyed on scope exit. */
class RuleFile {
  public:
    RuleFile(FileKind kind, std::string path) : kind_(kind), path_(std::move(path)) {
        OstakListApplHandle *list = nullptr;
        detail::Check(xfeOstakFileInMemCreate(static_cast<uint32_t>(kind), path_.data(),
                                              detail::Length(path_), &file_, &list),
                      "xfeOstakFileInMemCreate");
        list_ = list;
    }
    RuleFile(RuleFile &&other) noexcept
        : kind_(other.kind_), path_(std::move(other.path_)), file_(std::exchange(other.file_, nullptr)),
          list_(std::exchange(other.list_, nullptr)) {}
    RuleFile &operator=(RuleFile &&other) noexcept {
        if (this != &other) {
            reset();
            kind_ = other.kind_;
            path_ = std::move(other.path_);
            file_ = std::exchange(other.file_, nullptr);
            list_ = std::exchange(other.list_, nullptr);
        }
        return *this;
    }
    RuleFile(const RuleFile &) = delete;
    RuleFile &operator=(const RuleFile &) = delete;
    ~RuleFile() { reset(); }

    OstakFileInMemHandle *handle() const noexcept { return file_; }
    FileKind kind() const noexcept { return kind_; }
    const std::string &path() const noexcept { return path_; }
    ApplicationList applications() const noexcept { return ApplicationList(list_); }
    /* The application of that name, or an empty optional. */
    std::optional<Application> findApplication(const std::string &name) const {
        return applications().find(name);
    }

    /* Loads the file into the object (adding to what it holds). A Script
     * file is kept in step with the installation file on the way. */
    void load() { detail::Check(xfeOstakLoad(file_), "xfeOstakLoad"); }
    /* Writes the object to its own path (markedOnly: only applications marked Apply). */
    void save(bool markedOnly = false) {
        detail::Check(xfeOstakSave(file_, markedOnly ? 1 : 0, nullptr, 0), "xfeOstakSave");
    }
    /* Writes the object to another path. */
    void saveAs(const std::string &path, bool markedOnly = false) {
        if (path.empty() || path.size() > INT32_MAX) {
            throw std::invalid_argument("ostak::RuleFile::saveAs: path empty or too long");
        }
        detail::Check(
            xfeOstakSave(file_, markedOnly ? 1 : 0, path.c_str(), static_cast<int32_t>(path.size())),
            "xfeOstakSave");
    }
    /* The saved flag: read from the file, or set by the last save. */
    bool saved() const {
        uint8_t value = 0;
        detail::Check(xfeOstakFileInMemGetAttrBool(file_, OSTAK_FILE_BOOL_SAVED, &value),
                      "xfeOstakFileInMemGetAttrBool");
        return value != 0;
    }
    /* Takes the file's lock for this object, waiting up to `wait` for another
     * process to let it go (throws Error with OSTAK_E_LOCKED when it does
     * not); held until unlock() or the object's end. Nothing when already held. */
    void lock(std::chrono::milliseconds wait) {
        using Rep = std::chrono::milliseconds::rep;
        const Rep count = std::clamp<Rep>(wait.count(), 0, UINT32_MAX);
        detail::Check(xfeOstakFileInMemLock(file_, static_cast<uint32_t>(count)), "xfeOstakFileInMemLock");
    }
    /* Lets the lock go (nothing when none is held). */
    void unlock() { detail::Check(xfeOstakFileInMemUnlock(file_), "xfeOstakFileInMemUnlock"); }
    /* The installation-file version the file carries (FileVersionInstallation), 0 when none. */
    int32_t installationVersion() const {
        int32_t value = 0;
        detail::Check(xfeOstakFileInMemGetAttrLong(file_, OSTAK_FILE_LONG_INSTALLATION_VERSION, &value),
                      "xfeOstakFileInMemGetAttrLong");
        return value;
    }
    /* Marks each application of this file against its namesake in other. */
    void markDifferences(const RuleFile &other) {
        detail::Check(xfeOstakMarkDifferencesInSource(file_, other.file_), "xfeOstakMarkDifferencesInSource");
    }

  private:
    void reset() noexcept {
        if (file_ != nullptr) {
            xfeOstakFileInMemDestroy(&file_);
            detail::ForgetMessage();
        }
        list_ = nullptr;
    }

    FileKind kind_;
    std::string path_;
    OstakFileInMemHandle *file_ = nullptr;
    OstakListApplHandle *list_ = nullptr;
};

/* Holds a rule file's lock from construction (waiting up to `wait`; throws
 * Error with OSTAK_E_LOCKED when another process keeps it) to scope exit.
 * Releases the file's lock at the end even if it was held before. Destroy
 * the guard before the file. */
class FileLock {
  public:
    FileLock(RuleFile &file, std::chrono::milliseconds wait) : file_(&file) { file.lock(wait); }
    ~FileLock() {
        xfeOstakFileInMemUnlock(file_->handle());
        detail::ForgetMessage();
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

  private:
    RuleFile *file_;
};

/* Carries the source's applications marked Apply into the target (see
 * ostak.h): rules decided by the merge callback, or replaced when replace is
 * true. All or nothing; after a failure every handle into either file is stale. */
inline void ApplyDifferences(RuleFile &source, RuleFile &target, bool replace = false) {
    detail::Check(
        xfeOstakHandleDifferencesInTargetBySourceMark(source.handle(), target.handle(), replace ? 1 : 0),
        "xfeOstakHandleDifferencesInTargetBySourceMark");
}

/* Three-way decisions from a base: a rule file that is the common ancestor
 * of the source and the target of a merge (see ostak.h). Each answer is
 * MergeAnswer::TakeSource or TakeTarget when the base settles the question,
 * std::nullopt for a conflict: changed on both sides differently, for the
 * caller to decide. The base must outlive the object and not change meanwhile. */
class ThreeWay {
  public:
    explicit ThreeWay(const RuleFile &base) noexcept : base_(base.handle()) {}

    /* Answers a question of the merge callback. */
    std::optional<MergeAnswer> decide(const MergeQuestion &question) const {
        const bool conflict = question.event == MergeEvent::RuleConflict;
        uint32_t answer = OstakThreeWayConflict;
        detail::Check(xfeOstakThreeWayAnswerMerge(base_, static_cast<int32_t>(question.event),
                                                  question.application.handle(), question.rule.handle(),
                                                  conflict ? question.targetApplication.handle() : nullptr,
                                                  conflict ? question.targetRule.handle() : nullptr, &answer),
                      "xfeOstakThreeWayAnswerMerge");
        return Decided(answer);
    }
    /* An application only the source holds: TakeSource carries it over,
     * TakeTarget leaves it out (the target deleted it). */
    std::optional<MergeAnswer> decideSourceOnly(const Application &source) const {
        return DecideApplication(source.handle(), nullptr);
    }
    /* An application only the target holds: TakeSource deletes it (the
     * source deleted it), TakeTarget keeps it. */
    std::optional<MergeAnswer> decideTargetOnly(const Application &target) const {
        return DecideApplication(nullptr, target.handle());
    }
    /* The enabled flag of an application both hold: whose flag it gets. */
    std::optional<MergeAnswer> decideEnabled(const Application &source, const Application &target) const {
        uint32_t answer = OstakThreeWayConflict;
        detail::Check(xfeOstakThreeWayAnswerEnabled(base_, source.handle(), target.handle(), &answer),
                      "xfeOstakThreeWayAnswerEnabled");
        return Decided(answer);
    }

  private:
    std::optional<MergeAnswer> DecideApplication(OstakElemApplHandle *source,
                                                 OstakElemApplHandle *target) const {
        uint32_t answer = OstakThreeWayConflict;
        detail::Check(xfeOstakThreeWayAnswerAppl(base_, source, target, &answer),
                      "xfeOstakThreeWayAnswerAppl");
        return Decided(answer);
    }
    static std::optional<MergeAnswer> Decided(uint32_t answer) noexcept {
        if (answer == OstakThreeWayConflict) {
            return std::nullopt;
        }
        return static_cast<MergeAnswer>(answer);
    }

    OstakFileInMemHandle *base_;
};

/* A merge callback for Options::merge that answers from `base` and hands
 * only the conflicts to `onConflict` (none: cancel). `base` is read at each
 * question, so that it can be loaded once the Library exists; while it is
 * empty, every question goes to `onConflict`. It must outlive the Library.
 *     std::optional<ostak::RuleFile> base;
 *     options.merge = ostak::ThreeWayMerge(base, askThePerson);
 *     ostak::Library library(std::move(options));
 *     base.emplace(ostak::FileKind::Plain, "rules.base.xml");
 *     base->load(); */
inline std::function<MergeAnswer(const MergeQuestion &)>
ThreeWayMerge(const std::optional<RuleFile> &base,
              std::function<MergeAnswer(const MergeQuestion &)> onConflict) {
    return [&base, onConflict = std::move(onConflict)](const MergeQuestion &question) {
        if (base) {
            if (const std::optional<MergeAnswer> answer = ThreeWay(*base).decide(question)) {
                return *answer;
            }
        }
        return onConflict ? onConflict(question) : MergeAnswer::Cancel;
    };
}

} // namespace ostak

#endif /* OSTAK_HPP */
