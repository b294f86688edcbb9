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
    OSTAK_E_REMOVE_FILE = 39          /* removing the file of an emptied rule-file object failed */
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

/* Asked with 0 when a script's rule file could take in a changed installation
 * file; only the answer 2 lets that merge go ahead. */
typedef int32_t (*ostak_conf_callback)(int32_t question);

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
