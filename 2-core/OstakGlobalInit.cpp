#include "2-core/OstakGlobalInit.h"

#include "2-core/MsgIssue.h"
#include "2-core/OstakFileStat.h"
#include "2-core/OstakGlobals.h"
#include "2-core/XmlLibrary.h"
#include "1-platform/Wayfind.h"
#include "1-platform/Winsock.h"
#include "1-platform/basekit32.h"
#include "1-platform/textcat.h"

#include <cstdio>
#include <cstring>

namespace ostak {

namespace {

constexpr const char *kInitName = "xfeOstakGlobalInit";
constexpr const char *kResourceFile = "dat/Ostak_res";
constexpr const char *kInstallationFile = "dat/OstakInstallation.xml";
constexpr const char *kDefaultsFile = "OstakDefault.xml";
constexpr uint32_t kMaxRootDirLength = 2030;

// The one message of the call's argument and catalogue steps that reaches the
// caller: each later one replaces the earlier.
struct PendingMessage {
    char text[kMessageBufferSize];
    bool pending = false;

    template <class... Args> void Pend(const char *format, Args... args) {
        std::snprintf(text, sizeof text, format, args...);
        pending = true;
    }
};

// Writes `base` followed by `tail` into `buffer`; false when it would not fit.
bool ComposePath(PathBuffer &buffer, const PathBuffer &base, const char *tail) noexcept {
    const std::size_t tailLength = std::strlen(tail);
    if (base.length + tailLength + 1 > kPathBufferSize) {
        return false;
    }
    std::memmove(buffer.text, base.text, base.length);
    std::memcpy(buffer.text + base.length, tail, tailLength + 1);
    buffer.length = base.length + static_cast<uint32_t>(tailLength);
    return true;
}

// The root directory with its separator must leave room for every path
// composed under it, so that nothing is written beyond a buffer.
bool RootDirFits(const char *root, uint32_t length) noexcept {
    const bool needsSeparator = root[length - 1] != kPathSeparator;
    const std::size_t stored = length + (needsSeparator ? 1 : 0);
    const std::size_t longestTail = std::strlen(kInstallationFile);
    return stored + longestTail + 1 <= kPathBufferSize;
}

bool StoreRootDir(const GlobalInitArgs &args) noexcept {
    if (args.rootDir == nullptr || args.rootDirLength < 1 || args.rootDirLength > kMaxRootDirLength ||
        !RootDirFits(args.rootDir, args.rootDirLength)) {
        return false;
    }
    OstakGlobals &globals = Globals();
    PathBuffer &root = globals.rootDir;
    std::memcpy(root.text, args.rootDir, args.rootDirLength);
    root.length = args.rootDirLength;
    if (root.text[root.length - 1] != kPathSeparator) {
        root.text[root.length++] = kPathSeparator;
    }
    root.text[root.length] = '\0';
    ComposePath(globals.resourcePath, root, kResourceFile);
    ComposePath(globals.installationPath, root, kInstallationFile);
    return true;
}

void StoreDefaultsPath() noexcept {
    PathBuffer &defaults = Globals().defaultsPath;
    defaults.Clear();
    if (GetFullPath(1, 0, kDefaultsFile, defaults.text) == 0) {
        defaults.text[0] = '\0';
    }
    defaults.text[kPathBufferSize - 1] = '\0';
    defaults.length = static_cast<uint32_t>(std::strlen(defaults.text));
}

bool ScriptArgsValid(const GlobalInitArgs &args) noexcept {
    if (args.scriptDir == nullptr || args.scriptName == nullptr || args.scriptDirLength < 1 ||
        args.scriptNameLength < 1) {
        return false;
    }
    const uint64_t total = static_cast<uint64_t>(args.scriptDirLength) + args.scriptNameLength + 2;
    return total <= kPathBufferSize;
}

void StoreScriptPath(const GlobalInitArgs &args) noexcept {
    PathBuffer &script = Globals().scriptPath;
    std::memcpy(script.text, args.scriptDir, args.scriptDirLength);
    uint32_t length = args.scriptDirLength;
    if (script.text[length - 1] != kPathSeparator) {
        script.text[length++] = kPathSeparator;
    }
    std::memcpy(script.text + length, args.scriptName, args.scriptNameLength);
    length += args.scriptNameLength;
    script.text[length] = '\0';
    script.length = length;
}

// Reads the host name into the global buffer; issues the message of a failing
// step (line 515). Answers whether a host name was obtained.
bool CaptureHostName() noexcept {
    PathBuffer &host = Globals().hostName;
    host.Clear();

    const char *failedStep = nullptr;
    int32_t failedReturn = 0;
    int32_t failedError = 0;
    bool gotHostName = false;

    WSADATA data;
    const int32_t startup = WSAStartup(0x0101, &data);
    if (startup != 0) {
        failedStep = "WSAStartup";
        failedReturn = startup;
        failedError = WSAGetLastError();
    } else {
        const int32_t named = gethostname(host.text, static_cast<int32_t>(kPathBufferSize));
        if (named == 0) {
            gotHostName = true;
            host.text[kPathBufferSize - 1] = '\0';
            host.length = static_cast<uint32_t>(std::strlen(host.text));
        } else {
            failedStep = "gethostname";
            failedReturn = named;
            failedError = WSAGetLastError();
            host.Clear();
        }
        const int32_t cleanup = WSACleanup();
        if (cleanup != 0) {
            if (gotHostName) {
                failedStep = "WSACleanup";
                failedError = WSAGetLastError();
            }
            failedReturn = cleanup;
        }
    }

    if (gotHostName && host.Empty()) {
        IssueText("Host name is empty after a successful gethostname", kInitName, kLineHostNameMessage,
                  kLevelError);
    } else if (failedStep != nullptr) {
        char text[kMessageBufferSize];
        std::snprintf(text, sizeof text, "\"%s\" failed, rc=%d, WSAGetLastError()=%d", failedStep,
                      static_cast<int>(failedReturn), static_cast<int>(failedError));
        IssueText(text, kInitName, kLineHostNameMessage, kLevelError);
    }
    return !host.Empty();
}

// Unregisters the resource file, ends the message handler and stops the XML
// library: what both a failed initialisation and termination undo. Answers
// whether the resource file could be removed (true when none was registered).
bool ReleaseServices() noexcept {
    OstakGlobals &globals = Globals();
    bool removed = true;
    if (!globals.resourcePath.Empty()) {
        removed = RemoveResourceFile(globals.resourcePath.text) == 0;
        globals.resourcePath.text[0] = '\0';
    }
    MsgHandlerDestroyFunction();
    if (globals.xmlLibraryStarted) {
        StopXmlLibrary();
        globals.xmlLibraryStarted = false;
    }
    globals.initialised = false;
    return removed;
}

// After a failed initialisation the removal's result does not count.
void CleanUp() noexcept {
    ReleaseServices();
}

int32_t FailInit(int32_t rc) noexcept {
    CleanUp();
    return IssueUnlessIssued(rc);
}

} // namespace

int32_t GlobalInit(const GlobalInitArgs &args) {
    OstakGlobals &globals = Globals();
    if (globals.initialised) {
        return 0;
    }
    globals.converterSwitch = args.converterSwitch;
    ClearIssueOnce();
    int32_t rc = 0;
    PendingMessage message;

    if (args.logCallback == nullptr) {
        rc = OSTAK_E_INVALID_ARGUMENT;
    } else {
        globals.logCallback = args.logCallback;
    }

    if (!StoreRootDir(args)) {
        message.Pend("Invalid mpszTqRootDirStr/mnTqRootDirLen (%p/%d)",
                     static_cast<const void *>(args.rootDir), static_cast<int>(args.rootDirLength));
        rc = OSTAK_E_INVALID_ARGUMENT;
    }

    StoreDefaultsPath();

    int32_t scriptStatus = -1;
    if (ScriptArgsValid(args)) {
        StoreScriptPath(args);
        OstakFileStat status;
        scriptStatus = status.Obtain(globals.scriptPath.text);
    } else {
        message.Pend("Invalid mpszAedFileDirScriptStr/mnAedFileDirScriptLen/mpszAedFileNameScriptStr/"
                     "mnAedFileNameScriptLen (%p/%d/%p/%d)",
                     static_cast<const void *>(args.scriptDir), static_cast<int>(args.scriptDirLength),
                     static_cast<const void *>(args.scriptName), static_cast<int>(args.scriptNameLength));
        rc = OSTAK_E_INVALID_ARGUMENT;
    }

    globals.readOnlyMode = args.readOnlyMode;

    bool handlerReady = true;
    if (!args.readOnlyMode) {
        if (args.mergeCallback == nullptr) {
            message.Pend("mpfeMergeCallback is NULL");
            rc = OSTAK_E_INVALID_ARGUMENT;
        } else {
            globals.mergeCallback = args.mergeCallback;
        }
        if (args.confCallback == nullptr) {
            message.Pend("mpfeConfCallback is NULL");
            rc = OSTAK_E_INVALID_ARGUMENT;
        } else {
            globals.confCallback = args.confCallback;
        }
        const int32_t handlerRc = MsgHandlerInitFunction();
        if (handlerRc != 0) {
            rc = OSTAK_E_MSG_HANDLER_INIT;
            message.Pend("\"%s\" failed, rc=%d", "MsgHandlerInitFunction", static_cast<int>(handlerRc));
            handlerReady = false;
        }
    }

    if (handlerReady && !globals.resourcePath.Empty()) {
        const int32_t addRc = AddResourceFile(globals.resourcePath.text);
        if (addRc != 0) {
            rc = OSTAK_E_RESOURCE_FILE;
            message.Pend("\"%s\" failed, rc=%d", "AddResourceFile", static_cast<int>(addRc));
        }
    }

    if (message.pending) {
        IssueText(message.text, kInitName, kLineInitMessage, kLevelError);
    }

    if (!args.readOnlyMode && !CaptureHostName()) {
        return FailInit(OSTAK_E_NO_HOST_NAME);
    }

    if (rc != 0) {
        return FailInit(rc);
    }

    const bool startsXml =
        scriptStatus == OSTAK_OK ||
        (!args.readOnlyMode && (scriptStatus == OSTAK_E_FILE_EMPTY || scriptStatus == OSTAK_E_FILE_MISSING));
    const bool acceptable =
        startsXml || scriptStatus == OSTAK_E_FILE_EMPTY || scriptStatus == OSTAK_E_FILE_MISSING;
    if (!acceptable) {
        return FailInit(scriptStatus);
    }
    if (startsXml) {
        try {
            StartXmlLibrary();
        } catch (...) {
            CleanUp();
            throw;
        }
        globals.xmlLibraryStarted = true;
    }
    globals.initialised = true;
    return 0;
}

int32_t GlobalTerm() noexcept {
    ClearIssueOnce();
    const int32_t rc = ReleaseServices() ? 0 : OSTAK_E_RESOURCE_FILE;
    return IssueUnlessIssued(rc);
}

} // namespace ostak
