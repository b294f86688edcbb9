// Writing a rule-file object as a rule-file document.
//
// The document is the head (the document type file, copied) followed by the
// body. It is written to a new file next to the target, which replaces the
// target only when everything was written: a failed save leaves the former
// file as it was. The whole save runs under the rule file's lock, and writes
// (or removes) only a regular file or a path that names nothing.
#include "1-platform/OstakFileLock.h"
#include "1-platform/OstakPath.h"
#include "1-platform/Seams.h"
#include "1-platform/basekit32.h"
#include "2-core/ExportFrame.h"
#include "2-core/MsgIssue.h"
#include "2-core/OstakGlobals.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "3-model/OstakFileInMem.h"
#include "5-format/OstakFormatVocabulary.h"
#include "5-format/OstakHeadEncoding.h"
#include "5-format/OstakReplacingFile.h"
#include "5-format/OstakXMLFileWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace ostak {

namespace {

constexpr const char *kSaveFunc = "OstakFileInMem::Save";
constexpr const char *kHeadFile = "dat/OstakDtd.xml";
constexpr const char *kFormatVersion = "7.6";
constexpr std::size_t kCopyBlock = 4096;
// Room for two paths of any length the system accepts and the words around them.
constexpr std::size_t kFailureTextSize = 2 * kResolvedPathCapacity + 512;

// Closes the head file on every path.
struct HeadFile {
    std::FILE *stream = nullptr;
    ~HeadFile() {
        if (stream != nullptr) {
            std::fclose(stream);
        }
    }
};

template <class... Args> void IssueFailureText(int32_t line, const char *format, Args... args) noexcept {
    char text[kFailureTextSize];
    std::snprintf(text, sizeof text, format, args...);
    MsgFormatAndIssue(kMsgText, kSaveFunc, line, kLevelError, {MsgArg::Str(text)});
}

// Reports that `target` ("Writing" or "Removing file" it, by `action`) is,
// or leads through symbolic links to `resolved`, which is of `mode`, not a regular file.
void IssueNotRegular(int32_t line, const char *action, const char *target, const char *resolved,
                     mode_t mode) noexcept {
    if (std::strcmp(target, resolved) == 0) {
        IssueFailureText(line, "%s \"%s\" failed: it is %s, not a regular file", action, target,
                         FileTypeName(mode));
    } else {
        IssueFailureText(line, "%s \"%s\" failed: it leads to \"%s\", %s, not a regular file", action, target,
                         resolved, FileTypeName(mode));
    }
}

// The body is UTF-8 when the model's text is converted through ICU, else ISO-8859-1.
BodyEncoding BodyEncodingFor(bool icuPath) noexcept {
    return icuPath ? BodyEncoding::kUtf8 : BodyEncoding::kLatin1;
}

const char *BoolText(uint8_t value) noexcept {
    return value != 0 ? kValueTrue : kValueFalse;
}

// Copies the head, its encoding label made to name the body's encoding.
// False when the head cannot be read (message issued).
bool CopyHead(std::FILE *head, const char *headPath, OstakXMLFileWriter &writer,
              BodyEncoding encoding) noexcept {
    char block[kCopyBlock];
    char relabelled[kCopyBlock + kHeadRelabelSlack];
    bool first = true;
    for (;;) {
        const std::size_t got = std::fread(block, 1, sizeof block, head);
        if (got == 0) {
            break;
        }
        if (first) {
            writer.WriteRaw(relabelled, RelabelHead(block, got, encoding, relabelled));
            first = false;
        } else {
            writer.WriteRaw(block, got);
        }
    }
    if (std::ferror(head)) {
        const int error = errno;
        IssueFailureText(__LINE__, "Reading the document type file \"%s\" failed: %s (errno %d)", headPath,
                         std::strerror(error), error);
        return false;
    }
    return true;
}

// Issues the messages of one rule's Type and Level that cannot be written
// as they are, and writes the rule.
void WriteRule(OstakXMLFileWriter &writer, const OstakElemRule &rule) {
    writer.WriteTagStart(kElemRule);
    writer.WriteAttribute(kAttrName, rule.Name());
    for (const FormatName<RuleFlagField> &flag : kRuleFlagAttributes) {
        writer.WriteAttribute(flag.name, BoolText(flag.field->Get(rule)));
    }
    if (rule.Type() == OstakElemRule::kTypeAlert) {
        writer.WriteAttribute(kAttrType, kValueTypeAlert);
    } else if (rule.Type() != OstakElemRule::kTypeStd) {
        MsgFormatAndIssue(kMsgText, kSaveFunc, __LINE__, kLevelWarning,
                          {MsgArg::Str("Rule \"RuleType\" attribute is neither \"std\" nor \"alert\"")});
    }
    if (rule.Level() == OstakElemRule::kLevelDisabled) {
        writer.WriteAttribute(kAttrLevel, kValueLevelDisabled);
    } else {
        if (rule.Level() != OstakElemRule::kLevelError) {
            MsgFormatAndIssue(
                kMsgText, kSaveFunc, __LINE__, kLevelWarning,
                {MsgArg::Str("Rule \"Level\" attribute is neither \"error\" nor \"disabled\"")});
        }
        writer.WriteAttribute(kAttrLevel, kValueLevelError);
    }
    writer.WriteStartTagEnd();
    for (const FormatName<RuleTextField> &text : kRuleTextElements) {
        const char *value = text.field->Get(rule);
        if (value[0] != '\0') {
            writer.WriteTextElement(text.name, value);
        }
    }
    writer.WriteTagEnd(kElemRule, true);
}

void WriteApplication(OstakXMLFileWriter &writer, const OstakElemAppl &appl) {
    writer.WriteTagStart(kElemApplication);
    writer.WriteAttribute(kAttrName, appl.Name());
    writer.WriteAttribute(kAttrEnabled, BoolText(appl.Enabled()));
    writer.WriteAttributeLong(kAttrStampTime, appl.StampTime());
    writer.WriteAttribute(kAttrStampHost, appl.StampHost());
    writer.WriteStartTagEnd();
    for (const OstakElemRule *rule = appl.Rules()->FirstRule(); rule != nullptr; rule = rule->NextRule()) {
        WriteRule(writer, *rule);
    }
    writer.WriteTagEnd(kElemApplication, true);
}

// Whether the writer met a value it could not write; issues its message.
bool ReportUnwritable(const OstakXMLFileWriter &writer, const char *target,
                      const OstakElemAppl *appl) noexcept {
    const char *owner = writer.UnwritableValueOf();
    if (owner == nullptr) {
        return false;
    }
    const char *applName = appl != nullptr ? appl->Name() : "";
    if (writer.UnwritableCharacter() == 0) {
        IssueFailureText(__LINE__,
                         "Writing \"%s\" failed: \"%s\" of application \"%s\" could not be converted", target,
                         owner, applName);
    } else {
        IssueFailureText(__LINE__,
                         "Writing \"%s\" failed: \"%s\" of application \"%s\" holds the character U+%04X, "
                         "which a rule file cannot carry",
                         target, owner, applName, static_cast<unsigned>(writer.UnwritableCharacter()));
    }
    return true;
}

// Outcome of writing the body.
enum class BodyOutcome { kWritten, kFailed, kNoMemory };

// The tests' look into the middle of a save: the first application's bytes are in the file.
void MidBodySeam(OstakXMLFileWriter &writer, std::FILE *out) noexcept {
    if (Seams().saveMidBody != nullptr) {
        writer.Flush();
        std::fflush(out);
        Seams().saveMidBody();
    }
}

// Writes the body; `rc` becomes 37 for a difference mark out of range.
BodyOutcome WriteBody(OstakXMLFileWriter &writer, std::FILE *out, const OstakFileInMem &file, bool markedOnly,
                      bool saved, const char *target, int32_t &rc) {
    writer.WriteTagStart(kElemAed);
    writer.WriteAttribute(kAttrTqVersion, kFormatVersion);
    if (file.InstallationVersion() != 0) {
        writer.WriteAttributeLong(kAttrFileVersionInstallation, file.InstallationVersion());
    }
    if (saved && file.Kind() == OstakFileInMem::kKindScript) {
        writer.WriteAttribute(kAttrSaved, kValueTrue);
    }
    writer.WriteStartTagEnd();
    if (ReportUnwritable(writer, target, nullptr)) {
        return BodyOutcome::kFailed;
    }
    for (const OstakElemAppl *appl = file.Applications().FirstAppl(); appl != nullptr;
         appl = appl->NextAppl()) {
        if (markedOnly) {
            const int32_t mark = appl->DiffMark();
            if (mark == 0) {
                continue;
            }
            if (mark != 1) {
                MsgFormatAndIssue(kMsgDiffMarkInvalid, kSaveFunc, __LINE__, kLevelError,
                                  {MsgArg::Int(mark), MsgArg::Str(appl->Name())});
                rc = OSTAK_E_WRITE;
            }
        }
        WriteApplication(writer, *appl);
        if (appl == file.Applications().FirstAppl()) {
            MidBodySeam(writer, out);
        }
        if (writer.OutOfMemory()) {
            return BodyOutcome::kNoMemory;
        }
        if (ReportUnwritable(writer, target, appl)) {
            return BodyOutcome::kFailed;
        }
        if (writer.WriteError() != 0) {
            break; // nothing more reaches the file; reported below
        }
    }
    writer.WriteTagEnd(kElemAed, true);
    return writer.OutOfMemory() ? BodyOutcome::kNoMemory : BodyOutcome::kWritten;
}

// What writing the document came to: whether the new file is complete, and
// the result (when complete: 0, or 37 for a difference mark out of range;
// otherwise the failure's code, its message issued).
struct Written {
    bool complete;
    int32_t rc;
};

Written WriteDocument(const OstakFileInMem &file, std::FILE *head, const char *headPath, std::FILE *out,
                      bool markedOnly, bool saved, const char *target, bool icuPath) noexcept {
    try {
        const BodyEncoding encoding = BodyEncodingFor(icuPath);
        OstakXMLFileWriter writer(out, encoding, icuPath);
        if (writer.OutOfMemory()) {
            MsgFormatAndIssue(kMsgNoMemory, kSaveFunc, __LINE__, kLevelError);
            return {false, OSTAK_E_NO_MEMORY};
        }
        if (!CopyHead(head, headPath, writer, encoding)) {
            return {false, OSTAK_E_WRITE};
        }
        int32_t rc = OSTAK_OK;
        if (writer.WriteError() == 0) {
            const BodyOutcome outcome = WriteBody(writer, out, file, markedOnly, saved, target, rc);
            if (outcome == BodyOutcome::kNoMemory) {
                MsgFormatAndIssue(kMsgNoMemory, kSaveFunc, __LINE__, kLevelError);
                return {false, OSTAK_E_NO_MEMORY};
            }
            if (outcome == BodyOutcome::kFailed) {
                return {false, OSTAK_E_WRITE};
            }
        }
        writer.Flush();
        const int error = writer.WriteError();
        if (error != 0) {
            IssueFailureText(__LINE__, "Writing \"%s\" failed: %s (errno %d)", target, std::strerror(error),
                             error);
            return {false, OSTAK_E_WRITE};
        }
        return {true, rc};
    } catch (...) {
        // The formatter's own failures: no memory gives 7, anything else 37.
        if (ResultFromCurrentException(kSaveFunc) == OSTAK_E_NO_MEMORY) {
            MsgFormatAndIssue(kMsgNoMemory, kSaveFunc, __LINE__, kLevelError);
            return {false, OSTAK_E_NO_MEMORY};
        }
        return {false, OSTAK_E_WRITE};
    }
}

// Removes the file of an empty object that is not a script's rule file,
// when the path names a regular file (through links), or nothing.
int32_t RemoveInstead(const char *target) noexcept {
    char resolved[kResolvedPathCapacity];
    struct stat status;
    if (ResolveSymbolicLinks(target, resolved, sizeof resolved) && stat(resolved, &status) == 0 &&
        !S_ISREG(status.st_mode)) {
        IssueNotRegular(__LINE__, "Removing file", target, resolved, status.st_mode);
        return OSTAK_E_REMOVE_FILE;
    }
    const uint32_t removed = os_remove_file(target, 0);
    if (removed == kOsSuccess || removed == kOsFileNotFound) {
        return OSTAK_OK;
    }
    MsgFormatAndIssue(kMsgRemoveFailed, kSaveFunc, __LINE__, kLevelError,
                      {MsgArg::Str(target), MsgArg::Int(static_cast<int64_t>(removed))});
    return OSTAK_E_REMOVE_FILE;
}

// The head file's path: the root directory (ending in a separator; none when
// null) and dat/OstakDtd.xml.
void ComposeHeadPath(const char *rootDir, char *buffer, std::size_t size) noexcept {
    std::snprintf(buffer, size, "%s%s", rootDir != nullptr ? rootDir : "", kHeadFile);
}

} // namespace

int32_t OstakFileInMem::Save(bool markedOnly, const char *path, int32_t pathLength, bool saved,
                             const OstakContext &context) noexcept {
    const char *target = pathLength != 0 && path != nullptr ? path : GetFileFullPath();
    OstakFileLock lock;
    const int32_t locked = LockRuleFile(lock, target, Seams().lockWaitMilliseconds, kSaveFunc, true);
    if (locked != OSTAK_OK) {
        return locked;
    }
    if (Applications().Empty() && Kind() != kKindScript) {
        return RemoveInstead(target);
    }
    if (!context.xmlLibraryStarted) {
        IssueFailureText(__LINE__, "Writing \"%s\" failed: the XML library is not started", target);
        return OSTAK_E_WRITE;
    }

    char headPath[kPathBufferSize + 32];
    ComposeHeadPath(context.rootDir, headPath, sizeof headPath);
    HeadFile head;
    head.stream = std::fopen(headPath, "rb");
    if (head.stream == nullptr) {
        MsgFormatAndIssue(kMsgDtdOpen, kSaveFunc, __LINE__, kLevelError, {MsgArg::Str(headPath)});
        return OSTAK_E_WRITE;
    }
    OstakReplacingFile output;
    if (!output.Open(target)) {
        if (std::strcmp(output.FailedStep(), "type") == 0) {
            IssueNotRegular(__LINE__, "Writing", target, output.ResolvedTarget(), output.TargetMode());
            return OSTAK_E_WRITE;
        }
        MsgFormatAndIssue(kMsgOutputOpen, kSaveFunc, __LINE__, kLevelError, {MsgArg::Str(target)});
        return OSTAK_E_WRITE;
    }
    SetSaved(saved);

    const Written written = WriteDocument(*this, head.stream, headPath, output.Stream(), markedOnly, saved,
                                          target, context.icuPath);
    if (!written.complete) {
        return written.rc; // the new file goes, the target stays as it was
    }
    if (!output.Commit()) {
        IssueFailureText(__LINE__, "Writing \"%s\" failed at %s: %s (errno %d)", target, output.FailedStep(),
                         std::strerror(output.Error()), output.Error());
        return OSTAK_E_WRITE;
    }
    return written.rc;
}

} // namespace ostak
