/*
 * Ostak: keeps the rule files of a script-driven tool (XML documents listing
 * applications, each with a name-ordered list of text-matching rules).
 *
 * The public C interface. Every function returns a result code (OSTAK_OK on
 * success) and hands the message of every failure, once, to the log callback
 * registered by xfeOstakGlobalInit. Strings are NUL-terminated 8-bit text in
 * the process code page. Call the library from one thread at a time.
 */
#ifndef OSTAK_H
#define OSTAK_H

#include <stdint.h>

/* The version of this interface, the same as the library's release. */
#define OSTAK_VERSION_MAJOR 1
#define OSTAK_VERSION_MINOR 0
#define OSTAK_VERSION_PATCH 0
#define OSTAK_VERSION "1.0.0"

#if defined(OSTAK_BUILDING_LIBRARY)
#define OSTAK_API __attribute__((visibility("default")))
#else
#define OSTAK_API
#endif

#ifdef __cplusplus
#define OSTAK_NOEXCEPT noexcept
extern "C" {
#else
#define OSTAK_NOEXCEPT
#endif

/* Result codes. */
enum {
    OSTAK_OK = 0,
    OSTAK_E_MSG_HANDLER_INIT = 1,     /* the message handler could not be initialised */
    OSTAK_E_RESOURCE_FILE = 2,        /* the message resource file could not be added or removed */
    OSTAK_E_INVALID_ARGUMENT = 3,     /* a handle, pointer, place, length, kind or identifier is invalid */
    OSTAK_E_INTERNAL_ARGUMENT = 4,    /* an internal operation got a null element or invalid lists */
    OSTAK_E_DUPLICATE_NAME = 5,       /* an element of that name is already in the list */
    OSTAK_E_ORDER = 6,                /* the insertion position breaks the order of names */
    OSTAK_E_NO_MEMORY = 7,            /* no memory for a new object */
    OSTAK_E_INVALID_NAME = 8,         /* a name is empty or holds a character outside the name set */
    OSTAK_E_NOT_IN_LIST = 9,          /* the element does not belong to the list or application given */
    OSTAK_E_EMPTY_TEXT = 10,          /* a rule using its text has an empty Text */
    OSTAK_E_EMPTY_PREFIX = 11,        /* a rule using prefix and suffix has an empty Prefix */
    OSTAK_E_EMPTY_SUFFIX = 12,        /* a rule using prefix and suffix has an empty Suffix */
    OSTAK_E_INVALID_LEVEL = 13,       /* a rule's Level is neither 0 nor 1 */
    OSTAK_E_CANCELLED = 14,           /* the merge callback answered cancel */
    OSTAK_E_BAD_ANSWER = 15,          /* the merge callback answered out of range */
    OSTAK_E_NO_MERGE_CALLBACK = 17,   /* a rule merge is needed and no merge callback is registered */
    OSTAK_E_LINE_BREAK = 18,          /* a Text, Prefix or Suffix holds a line feed, carriage return or tab */
    OSTAK_E_FILE_STAT = 20,           /* the file's status could not be read */
    OSTAK_E_NOT_REGULAR_FILE = 21,    /* the path names something other than a regular file */
    OSTAK_E_FILE_EMPTY = 22,          /* the file is empty */
    OSTAK_E_INVALID_DOCUMENT = 23,    /* the file is not a valid rule-file document */
    OSTAK_E_FILE_MISSING = 24,        /* the file does not exist */
    OSTAK_E_INSTALLATION_LOAD = 25,   /* loading the installation file failed */
    OSTAK_E_TAKEOVER_SAVE = 29,       /* saving a script's file after a take-over failed */
    OSTAK_E_MERGE = 31,               /* merging the installation file in failed */
    OSTAK_E_MERGE_SAVE = 34,          /* saving a script's file after the merge failed */
    OSTAK_E_NO_HOST_NAME = 36,        /* no host name could be obtained */
    OSTAK_E_WRITE = 37,               /* writing a rule file failed */
    OSTAK_E_NOT_INITIALISED = 38,     /* the library is not initialised */
    OSTAK_E_REMOVE_FILE = 39,         /* removing the file of an emptied rule-file object failed */
    OSTAK_E_LOCKED = 40               /* the rule file is locked by another process */
};

/* Levels passed to the log callback. */
enum {
    OSTAK_LEVEL_TRACE = 1,
    OSTAK_LEVEL_WARNING = 5,
    OSTAK_LEVEL_ERROR = 6,
    OSTAK_LEVEL_FATAL = 7
};

/* Receives every message: the catalogue number (0 for texts the library
 * composes itself), the text (valid during the call only), the name of the
 * issuing function, its source line and the level. */
typedef void (*ostak_log_callback)(int32_t msgNumber, const char *text, const char *funcName, int32_t line,
                                   int32_t level);

/* Decides, rule by rule, how marked applications are merged. */
typedef uint32_t (*ostak_merge_callback)(int32_t event, int32_t sourceKind, int32_t targetKind, void *appl,
                                         void *rule, void *appl2, void *rule2, const char *proposedName);

/* Difference marks: an application's DiffMark (Long attribute 0). Marking
 * writes 1001 to 1004; before applying, the caller replaces every mark by its
 * decision, 0 or 1. */
enum {
    OstakDiffSkip = 0,         /* applying leaves this application alone */
    OstakDiffApply = 1,        /* applying carries this application over */
    OstakDiffAbsent = 1001,    /* the other file has no application of this name */
    OstakDiffSameRules = 1002, /* the other file's namesake has equal rules */
    OstakDiffSameStamp = 1003, /* rules differ; files of kinds 0 and 1 and the stamps are equal */
    OstakDiffChanged = 1004    /* rules differ otherwise */
};

/* Events of the merge callback. Event 4 and 6 pass the source application and
 * rule as appl and rule, event 5 the target's; event 6 also passes the target
 * application and rule as appl2 and rule2 and a proposed name for a second
 * copy. Handles and name are valid during the call only; the callback must not
 * change either file. */
enum {
    OstakMergeRuleOnlyInSource = 4, /* a source rule has no namesake in the target */
    OstakMergeRuleOnlyInTarget = 5, /* a target rule has no namesake in the source */
    OstakMergeRuleConflict = 6      /* both hold the rule, with different values */
};

/* Answers of the merge callback. */
enum {
    OstakMergeCancel = 0,     /* cancel: the whole call fails with OSTAK_E_CANCELLED */
    OstakMergeTakeSource = 1, /* the source's side: its rule enters (4, 6), the target's is left out (5) */
    OstakMergeTakeTarget = 2, /* the target's side: its rule enters (5, 6), the source's is left out (4) */
    OstakMergeTakeBoth = 3    /* event 6 only: the target's rule, and the source's under the proposed name */
};

/* Asked with 0 when a script's rule file could take in a changed installation
 * file; only the answer 2 lets that merge go ahead. */
typedef int32_t (*ostak_conf_callback)(int32_t question);

/* Opaque handles: a rule file held in memory, a list of applications, an
 * application and a rule. Handles stay valid until their object is deleted,
 * its list destroyed or its rule file destroyed; the library tests them only
 * for null and, where an element and its list are both given, for membership. */
typedef struct OstakFileInMem_ OstakFileInMemHandle;
typedef struct OstakListAppl_ OstakListApplHandle;
typedef struct OstakElemAppl_ OstakElemApplHandle;
typedef struct OstakElemRule_ OstakElemRuleHandle;

/* Kinds of rule-file objects. */
enum {
    OSTAK_FILE_KIND_PLAIN = 0,        /* the only kind allowed in read-only mode */
    OSTAK_FILE_KIND_SCRIPT = 1,       /* a script's rule file */
    OSTAK_FILE_KIND_INSTALLATION = 2, /* the installation file */
    OSTAK_FILE_KIND_SOURCE = 3        /* a source of differences to apply */
};

/* Attribute identifiers, by element and value kind (Char, Bool, Long). */
enum {
    OSTAK_FILE_BOOL_SAVED = 0,             /* rule-file object: saved flag */
    OSTAK_FILE_LONG_INSTALLATION_VERSION = 0, /* rule-file object: FileVersionInstallation (0 when absent) */
    OSTAK_APPL_CHAR_NAME = 0,              /* application: Name */
    OSTAK_APPL_BOOL_ENABLED = 0,           /* application: Enabled */
    OSTAK_APPL_LONG_DIFF_MARK = 0,         /* application: DiffMark */
    OSTAK_RULE_CHAR_NAME = 0,              /* rule: Name */
    OSTAK_RULE_CHAR_TEXT = 1,              /* rule: Text */
    OSTAK_RULE_CHAR_PREFIX = 2,            /* rule: Prefix */
    OSTAK_RULE_CHAR_SUFFIX = 3,            /* rule: Suffix */
    OSTAK_RULE_BOOL_MATCH_CASE = 0,        /* rule: MatchCase */
    OSTAK_RULE_BOOL_USE_TEXT = 1,          /* rule: UseText (Text, or else Prefix and Suffix) */
    OSTAK_RULE_BOOL_FAIL_IF_NOT_FOUND = 2, /* rule: FailIfNotFound */
    OSTAK_RULE_LONG_LEVEL = 0,             /* rule: Level */
    OSTAK_RULE_LONG_TYPE = 1               /* rule: Type */
};

/* Values of a rule's Level and Type. */
enum {
    OSTAK_RULE_LEVEL_DISABLED = 0,
    OSTAK_RULE_LEVEL_ERROR = 1,
    OSTAK_RULE_TYPE_STD = 0,
    OSTAK_RULE_TYPE_ALERT = 1
};

/* Initialises the library. mbReadOnlyMode: 0 full mode, nonzero read-only.
 * The log callback is always required; the merge and configuration callbacks
 * in full mode only. The root directory (1 to 2030 characters, need not be
 * NUL-terminated) holds dat/; the script's rule file is directory + name.
 * mbConverterSwitch forces the ICU conversion path and UTF-8 output.
 * Returns 0 at once when already initialised. */
OSTAK_API int32_t xfeOstakGlobalInit(uint8_t mbReadOnlyMode, ostak_log_callback mpfeLogCallback,
                                     ostak_merge_callback mpfeMergeCallback, ostak_conf_callback mpfeConfCallback,
                                     const char *mpszTqRootDirStr, uint32_t mnTqRootDirLen,
                                     const char *mpszAedFileDirScriptStr, uint32_t mnAedFileDirScriptLen,
                                     const char *mpszAedFileNameScriptStr, uint32_t mnAedFileNameScriptLen,
                                     uint8_t mbConverterSwitch) OSTAK_NOEXCEPT;

/* Terminates the library (0, or 2 when the resource file cannot be removed).
 * Rule-file objects are not destroyed: that is the caller's job. */
OSTAK_API int32_t xfeOstakGlobalTerm(void) OSTAK_NOEXCEPT;

/* The stored paths and their lengths; valid for the life of the library, the
 * text changes at the next initialisation. They test nothing. */
OSTAK_API const char *xfpszOstakFileFullPathScriptStr(void) OSTAK_NOEXCEPT;
OSTAK_API uint32_t xfnOstakFileFullPathScriptLen(void) OSTAK_NOEXCEPT;
OSTAK_API const char *xfpszOstakFileFullPathDefaultsStr(void) OSTAK_NOEXCEPT;
OSTAK_API uint32_t xfnOstakFileFullPathDefaultsLen(void) OSTAK_NOEXCEPT;
OSTAK_API const char *xfpszOstakFileFullPathInstallationStr(void) OSTAK_NOEXCEPT;
OSTAK_API uint32_t xfnOstakFileFullPathInstallationLen(void) OSTAK_NOEXCEPT;

/* Rule-file objects.
 * Every function below refuses with OSTAK_E_NOT_INITIALISED before
 * initialisation (except xfeOstakFileInMemDestroy) and with
 * OSTAK_E_INVALID_ARGUMENT for a null handle or place or an identifier
 * outside the table above. Places that a function only writes are preset
 * (null, 0, or an empty string) before anything is tested; places holding a
 * handle to act on, and the place of an IterateNext, are not. */

/* Creates an empty rule-file object of kind mnFileKind (0 to 3; only 0 in
 * read-only mode) on the path's mnFileFullPathLen characters (1 or more, need
 * not be NUL-terminated); stores the object and its application list. */
OSTAK_API int32_t xfeOstakFileInMemCreate(uint32_t mnFileKind, const char *mpszFileFullPathStr,
                                          uint32_t mnFileFullPathLen, OstakFileInMemHandle **mppFileInMem,
                                          OstakListApplHandle **mppListAppl) OSTAK_NOEXCEPT;
/* Destroys the object in the place (if any) with all it holds, releasing a
 * lock it holds (xfeOstakFileInMemLock), and nulls the place. Works also
 * before initialisation. */
OSTAK_API int32_t xfeOstakFileInMemDestroy(OstakFileInMemHandle **mppFileInMem) OSTAK_NOEXCEPT;
/* Reads the saved flag (identifier OSTAK_FILE_BOOL_SAVED) as 1 or 0. */
OSTAK_API int32_t xfeOstakFileInMemGetAttrBool(OstakFileInMemHandle *mpFileInMem, int32_t miAttrId,
                                               uint8_t *mpbValue) OSTAK_NOEXCEPT;
/* Reads the installation-file version (identifier
 * OSTAK_FILE_LONG_INSTALLATION_VERSION): the FileVersionInstallation the file
 * was loaded with or will be saved with, 0 when it has none. */
OSTAK_API int32_t xfeOstakFileInMemGetAttrLong(OstakFileInMemHandle *mpFileInMem, int32_t miAttrId,
                                               int32_t *mpiValue) OSTAK_NOEXCEPT;

/* Takes the lock of the object's own file for the caller, who holds it until
 * xfeOstakFileInMemUnlock or the object's destruction: other processes that
 * load a script's rule file, save or lock the same file (links followed) wait
 * until it is let go. Waits up to mnWaitMilliseconds (0: one try) for another
 * process to let it go; OSTAK_E_LOCKED when it does not. An object that holds
 * its lock, and a file whose folder cannot be written (nothing to keep safe),
 * give OSTAK_OK. The library's own saves and loads inside this process go on
 * at once. See README.md, "Locking". */
OSTAK_API int32_t xfeOstakFileInMemLock(OstakFileInMemHandle *mpFileInMem,
                                        uint32_t mnWaitMilliseconds) OSTAK_NOEXCEPT;
/* Lets the object's lock go (OSTAK_OK also when it held none). */
OSTAK_API int32_t xfeOstakFileInMemUnlock(OstakFileInMemHandle *mpFileInMem) OSTAK_NOEXCEPT;

/* Application lists. */

/* Stores a new list holding a deep copy of every application and rule of the
 * source; it belongs to the caller until xfeOstakListApplDestroy. On failure
 * the place holds null. */
OSTAK_API int32_t xfeOstakListApplClone(OstakListApplHandle *mpListApplSource,
                                        OstakListApplHandle **mppListApplNew) OSTAK_NOEXCEPT;
/* Destroys a list made by xfeOstakListApplClone with all it holds and nulls
 * the place (a place holding null: nothing to do). The list of a rule-file
 * object is refused with OSTAK_E_INVALID_ARGUMENT: it goes with its object. */
OSTAK_API int32_t xfeOstakListApplDestroy(OstakListApplHandle **mppListAppl) OSTAK_NOEXCEPT;

/* Applications. Setters take the list first (except the Long setter), getters
 * only the application. Char getters hand out a pointer into the application,
 * valid until that field is set again or the application is destroyed. Bool
 * setters store the low byte of the value as it is. An edited application is
 * put back in order and validated by xfeOstakFinalizeElemAppl. */

/* Adds a new empty application (stamped, disabled, no rules) at the head of the list. */
OSTAK_API int32_t xfeOstakElemApplAddEmpty(OstakListApplHandle *mpListAppl,
                                           OstakElemApplHandle **mppElemAppl) OSTAK_NOEXCEPT;
/* Deletes the application in the place, with its rules, when it belongs to
 * the list; nulls the place either way. */
OSTAK_API int32_t xfeOstakElemApplDelete(OstakListApplHandle *mpListAppl,
                                         OstakElemApplHandle **mppElemAppl) OSTAK_NOEXCEPT;
/* Stores the list's first application (null when the list is empty). */
OSTAK_API int32_t xfeOstakElemApplIterateFirst(OstakListApplHandle *mpListAppl,
                                               OstakElemApplHandle **mppElemAppl) OSTAK_NOEXCEPT;
/* Stores the application after the current one (null after the last);
 * OSTAK_E_NOT_IN_LIST, with the place untouched, when the current one is not in the list. */
OSTAK_API int32_t xfeOstakElemApplIterateNext(OstakListApplHandle *mpListAppl, OstakElemApplHandle *mpElemAppl,
                                              OstakElemApplHandle **mppElemApplNext) OSTAK_NOEXCEPT;
/* Puts the application back in name order and validates it with its rules.
 * The valid flag becomes 1 exactly when the result is OSTAK_OK; the first
 * failing rule goes to mppElemRuleFailing (optional). Without a place for the
 * valid flag a successful step gives OSTAK_E_INVALID_ARGUMENT. */
OSTAK_API int32_t xfeOstakFinalizeElemAppl(OstakListApplHandle *mpListAppl, OstakElemApplHandle *mpElemAppl,
                                           OstakElemRuleHandle **mppElemRuleFailing,
                                           uint8_t *mpbValid) OSTAK_NOEXCEPT;
/* Sets the Name (OSTAK_APPL_CHAR_NAME); the characters are copied. */
OSTAK_API int32_t xfeOstakElemApplSetAttrChar(OstakListApplHandle *mpListAppl, OstakElemApplHandle *mpElemAppl,
                                              int32_t miAttrId, const char *mpszValue) OSTAK_NOEXCEPT;
OSTAK_API int32_t xfeOstakElemApplGetAttrChar(OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              const char **mppszValue) OSTAK_NOEXCEPT;
/* Sets Enabled (OSTAK_APPL_BOOL_ENABLED) to the low byte of mbValue. */
OSTAK_API int32_t xfeOstakElemApplSetAttrBool(OstakListApplHandle *mpListAppl, OstakElemApplHandle *mpElemAppl,
                                              int32_t miAttrId, int32_t mbValue) OSTAK_NOEXCEPT;
OSTAK_API int32_t xfeOstakElemApplGetAttrBool(OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              uint8_t *mpbValue) OSTAK_NOEXCEPT;
/* Sets DiffMark (OSTAK_APPL_LONG_DIFF_MARK). */
OSTAK_API int32_t xfeOstakElemApplSetAttrLong(OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              int32_t miValue) OSTAK_NOEXCEPT;
OSTAK_API int32_t xfeOstakElemApplGetAttrLong(OstakElemApplHandle *mpElemAppl, int32_t miAttrId,
                                              int32_t *mpiValue) OSTAK_NOEXCEPT;
/* Stores the application's stamp: the host on which it was made or last
 * changed (valid until the stamp is renewed or the application destroyed)
 * and the time, in seconds since 1970-01-01 00:00 UTC. */
OSTAK_API int32_t xfeOstakElemApplGetStamp(OstakElemApplHandle *mpElemAppl, const char **mppszHost,
                                           int32_t *mpiTime) OSTAK_NOEXCEPT;
/* Stamps the application with the host name taken at initialisation and the
 * current time, as a merge stamps the applications it changes: for callers
 * that change an application by handle. Read-only mode leaves the stamp as it
 * is. OSTAK_E_NOT_IN_LIST when the application is not in the list. */
OSTAK_API int32_t xfeOstakElemApplRenewStamp(OstakListApplHandle *mpListAppl,
                                             OstakElemApplHandle *mpElemAppl) OSTAK_NOEXCEPT;

/* Rules, with the application standing in the place of the list. */

/* Adds a new empty rule at the head of the application's rules. */
OSTAK_API int32_t xfeOstakElemRuleAddEmpty(OstakElemApplHandle *mpElemAppl,
                                           OstakElemRuleHandle **mppElemRule) OSTAK_NOEXCEPT;
/* Deletes the rule in the place when it belongs to the application; nulls the place either way. */
OSTAK_API int32_t xfeOstakElemRuleDelete(OstakElemApplHandle *mpElemAppl,
                                         OstakElemRuleHandle **mppElemRule) OSTAK_NOEXCEPT;
OSTAK_API int32_t xfeOstakElemRuleIterateFirst(OstakElemApplHandle *mpElemAppl,
                                               OstakElemRuleHandle **mppElemRule) OSTAK_NOEXCEPT;
OSTAK_API int32_t xfeOstakElemRuleIterateNext(OstakElemApplHandle *mpElemAppl, OstakElemRuleHandle *mpElemRule,
                                              OstakElemRuleHandle **mppElemRuleNext) OSTAK_NOEXCEPT;
/* Puts the rule back in name order among the application's rules and validates it. */
OSTAK_API int32_t xfeOstakFinalizeElemRule(OstakElemApplHandle *mpElemAppl, OstakElemRuleHandle *mpElemRule,
                                           uint8_t *mpbValid) OSTAK_NOEXCEPT;
/* Sets Name, Text, Prefix or Suffix (OSTAK_RULE_CHAR_*); the characters are copied. */
OSTAK_API int32_t xfeOstakElemRuleSetAttrChar(OstakElemApplHandle *mpElemAppl, OstakElemRuleHandle *mpElemRule,
                                              int32_t miAttrId, const char *mpszValue) OSTAK_NOEXCEPT;
OSTAK_API int32_t xfeOstakElemRuleGetAttrChar(OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              const char **mppszValue) OSTAK_NOEXCEPT;
/* Sets MatchCase, UseText or FailIfNotFound (OSTAK_RULE_BOOL_*) to the low byte of mbValue. */
OSTAK_API int32_t xfeOstakElemRuleSetAttrBool(OstakElemApplHandle *mpElemAppl, OstakElemRuleHandle *mpElemRule,
                                              int32_t miAttrId, int32_t mbValue) OSTAK_NOEXCEPT;
OSTAK_API int32_t xfeOstakElemRuleGetAttrBool(OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              uint8_t *mpbValue) OSTAK_NOEXCEPT;
/* Sets Level or Type (OSTAK_RULE_LONG_*); Level is checked by finalising. */
OSTAK_API int32_t xfeOstakElemRuleSetAttrLong(OstakElemApplHandle *mpElemAppl, OstakElemRuleHandle *mpElemRule,
                                              int32_t miAttrId, int32_t miValue) OSTAK_NOEXCEPT;
OSTAK_API int32_t xfeOstakElemRuleGetAttrLong(OstakElemRuleHandle *mpElemRule, int32_t miAttrId,
                                              int32_t *mpiValue) OSTAK_NOEXCEPT;

/* Merging. */

/* Marks every application of the source file against its namesake in the
 * other file (not changed): OstakDiffAbsent, OstakDiffSameRules,
 * OstakDiffSameStamp or OstakDiffChanged goes into its DiffMark. Any two
 * files may be compared. */
OSTAK_API int32_t xfeOstakMarkDifferencesInSource(OstakFileInMemHandle *mpFileInMemSource,
                                                  OstakFileInMemHandle *mpFileInMemOther) OSTAK_NOEXCEPT;

/* Carries the source's applications marked OstakDiffApply into the target,
 * merging the rules of applications that both hold through the merge callback
 * (or, with mbReplace nonzero, replacing the target's differing rules by the
 * source's without asking). Source and target kinds: 0 into 1, 1 into 0,
 * 3 into 0, 2 or 3 into 1; other pairs give OSTAK_E_INVALID_ARGUMENT. Every
 * mark must be OstakDiffSkip or OstakDiffApply. All or nothing: after a
 * failure both files hold what they held before, as new objects, so every
 * application and rule handle into either file is stale. After success, the
 * rule handles of merged or replaced applications are stale. */
OSTAK_API int32_t xfeOstakHandleDifferencesInTargetBySourceMark(OstakFileInMemHandle *mpFileInMemSource,
                                                                OstakFileInMemHandle *mpFileInMemTarget,
                                                                uint8_t mbReplace) OSTAK_NOEXCEPT;

/* Three-way merging: deciding a difference between a source and a target
 * from a common ancestor of both, the base (a rule file the caller loaded,
 * of any kind). A change made on one side only is taken without asking; a
 * change made on both sides differently is a conflict, for the caller.
 *
 * Each function stores in *mpnAnswer OstakMergeTakeSource (the source's
 * side), OstakMergeTakeTarget (the target's side) or OstakThreeWayConflict.
 * The last equals OstakMergeCancel: a merge callback that hands it on
 * unawares cancels the merge. The base's application is the one of the same
 * name; its rule the one of the same name in it. Rules are equal when every
 * value is (Name, Text, Prefix, Suffix, Level, MatchCase, UseText,
 * FailIfNotFound, Type); applications when their rule lists are equal and
 * their Enabled flags are the same (stamps take no part). Nothing is changed.
 * A null handle or place, or another event, gives OSTAK_E_INVALID_ARGUMENT. */
enum {
    OstakThreeWayConflict = 0 /* changed on both sides differently: the caller decides */
};

/* Answers one event of the merge callback from the base; pass the callback's
 * event and handles as they came:
 *  - a rule only in the source (event 4): absent in the base, it was added:
 *    take it (OstakMergeTakeSource); equal to the base's, the target deleted
 *    it: leave it out (OstakMergeTakeTarget); else a conflict;
 *  - a rule only in the target (event 5): the mirror image;
 *  - a rule on both sides with different values (event 6; mpAppl2 and
 *    mpRule2 required): the target's equal to the base's, the source changed
 *    it: OstakMergeTakeSource; the source's equal to the base's:
 *    OstakMergeTakeTarget; else (also without a base rule) a conflict.
 * Typical use, in the caller's merge callback:
 *    if (xfeOstakThreeWayAnswerMerge(base, event, appl, rule, appl2, rule2, &answer) == OSTAK_OK &&
 *        answer != OstakThreeWayConflict) return answer;
 *    ...ask the person... */
OSTAK_API int32_t xfeOstakThreeWayAnswerMerge(OstakFileInMemHandle *mpFileInMemBase, int32_t miEvent,
                                              void *mpAppl, void *mpRule, void *mpAppl2, void *mpRule2,
                                              uint32_t *mpnAnswer) OSTAK_NOEXCEPT;

/* Decides an application that only one side holds; give exactly one of the
 * two. Only in the source: absent in the base, take it (OstakMergeTakeSource:
 * mark it OstakDiffApply); equal to the base's, the target deleted it
 * (OstakMergeTakeTarget: mark it OstakDiffSkip); else a conflict. Only in the
 * target: absent in the base, keep it (OstakMergeTakeTarget); equal to the
 * base's, the source deleted it (OstakMergeTakeSource: delete it from the
 * target); else a conflict. */
OSTAK_API int32_t xfeOstakThreeWayAnswerAppl(OstakFileInMemHandle *mpFileInMemBase,
                                             OstakElemApplHandle *mpElemApplSource,
                                             OstakElemApplHandle *mpElemApplTarget,
                                             uint32_t *mpnAnswer) OSTAK_NOEXCEPT;

/* Decides the Enabled flag of an application both hold: the same on both
 * sides, OstakMergeTakeTarget; else the side that differs from the base's
 * application wins; a conflict when the base has no such application. */
OSTAK_API int32_t xfeOstakThreeWayAnswerEnabled(OstakFileInMemHandle *mpFileInMemBase,
                                                OstakElemApplHandle *mpElemApplSource,
                                                OstakElemApplHandle *mpElemApplTarget,
                                                uint32_t *mpnAnswer) OSTAK_NOEXCEPT;

/* Loading and saving rule files. */

/* Loads the object's file into its application list, adding to what the list
 * holds. In read-only mode disabled applications and rules stay out, and a
 * missing or empty file (or none checked at initialisation) loads nothing with
 * OSTAK_OK. Otherwise a missing or empty file gives OSTAK_OK for kind 0 and
 * OSTAK_E_FILE_MISSING or OSTAK_E_FILE_EMPTY for the other kinds. A document
 * that is not a valid rule file gives OSTAK_E_INVALID_DOCUMENT (what was read
 * before the problem stays); each problem met is reported as it is found. A
 * root element other than AED leaves the whole document out; a character that
 * a rule file cannot carry, or, without conversion through ICU, a character
 * beyond ISO-8859-1, leaves out the value that holds it (with its application
 * or rule when it is an attribute's), and gives OSTAK_E_INVALID_DOCUMENT with
 * one message for the first such character.
 * In full mode a script's rule file is loaded, kept in step and written back
 * under the file's lock: OSTAK_E_LOCKED, with nothing read, when another
 * process holds it for the library's whole wait (10 seconds). */
OSTAK_API int32_t xfeOstakLoad(OstakFileInMemHandle *mpFileInMem) OSTAK_NOEXCEPT;

/* Writes the object's applications (with mbMarkedOnly's low byte nonzero,
 * only those whose DiffMark is OstakDiffApply) to the NUL-terminated path
 * when mnFileFullPathLen is not 0, else to the object's own path, and sets its
 * saved flag; a script's rule file carries Saved="true". An object other than
 * a script's rule file with no applications removes its file instead. A save
 * that fails leaves the former file as it was: OSTAK_E_WRITE, or
 * OSTAK_E_REMOVE_FILE when the file could not be removed. A null path with a
 * nonzero length gives OSTAK_E_INVALID_ARGUMENT. Only a regular file or a
 * path that names nothing (symbolic links followed) is written or removed;
 * anything else (a folder, a FIFO, a socket, a device) is left alone with
 * OSTAK_E_WRITE or OSTAK_E_REMOVE_FILE. The save runs under the file's lock:
 * OSTAK_E_LOCKED, with nothing written, when another process holds it for
 * the library's whole wait (10 seconds). An interrupted save leaves no
 * temporary file behind. */
OSTAK_API int32_t xfeOstakSave(OstakFileInMemHandle *mpFileInMem, int32_t mbMarkedOnly,
                               const char *mpszFileFullPathStr, int32_t mnFileFullPathLen) OSTAK_NOEXCEPT;

#ifdef __cplusplus
} /* extern "C" */

/* Abstract base of exceptions offered to callers; the library never throws one. */
class OSTAK_API CTqBaseException {
  public:
    CTqBaseException();
    CTqBaseException(const CTqBaseException &other);
    CTqBaseException &operator=(const CTqBaseException &other);
    virtual ~CTqBaseException();
    /* The exception's text. */
    virtual char *GetMessageText() = 0;
    /* What GetMessageText returns. */
    char *operator*();
};
#endif

#endif /* OSTAK_H */
