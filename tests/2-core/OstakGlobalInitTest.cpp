// Global initialisation and termination through the exports: arguments,
// composed paths, the host name, the script file's status, every failure
// with its one message, and the clean-up.
#include "tests/support/TestSupport.h"

#include "2-core/OstakGlobalInit.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

using namespace ostak;
using namespace ostak_test;

namespace {

// The arguments of one initialisation call, valid by default (full mode, the
// source tree as root, a script file that does not exist).
struct InitCall {
    uint8_t readOnly = 0;
    ostak_log_callback log = RecordLog;
    ostak_merge_callback merge = AnswerMerge;
    ostak_conf_callback conf = AnswerConf;
    std::string root = SourceRoot();
    const char *rootPtr = nullptr;    // overrides root.c_str() when set
    uint32_t rootLength = UINT32_MAX; // UINT32_MAX: root.size()
    std::string dir = "/nonexistent-ostak-scripts";
    std::string name = "script.xml";
    const char *dirPtr = nullptr;
    const char *namePtr = nullptr;
    uint32_t dirLength = UINT32_MAX;
    uint32_t nameLength = UINT32_MAX;
    uint8_t converterSwitch = 0;

    int32_t Run() const {
        return xfeOstakGlobalInit(readOnly, log, merge, conf, rootPtr != nullptr ? rootPtr : root.c_str(),
                                  rootLength != UINT32_MAX ? rootLength : static_cast<uint32_t>(root.size()),
                                  dirPtr != nullptr ? dirPtr : dir.c_str(),
                                  dirLength != UINT32_MAX ? dirLength : static_cast<uint32_t>(dir.size()),
                                  namePtr != nullptr ? namePtr : name.c_str(),
                                  nameLength != UINT32_MAX ? nameLength : static_cast<uint32_t>(name.size()),
                                  converterSwitch);
    }
};

class FrameInitTest : public OstakTest {
  protected:
    void SetUp() override {
        OstakTest::SetUp();
        Seams().hostNameOverride = true;
        Seams().hostName = "testhost";
    }

    // Exactly one message reached the log: number 0, from initialisation, with this text and line.
    static void ExpectOneInitMessage(const std::string &text, int32_t line) {
        ASSERT_EQ(Log().size(), 1u);
        EXPECT_EQ(Log()[0].number, 0);
        EXPECT_EQ(Log()[0].text, text);
        EXPECT_EQ(Log()[0].func, "xfeOstakGlobalInit");
        EXPECT_EQ(Log()[0].line, line);
        EXPECT_EQ(Log()[0].level, 6);
    }

    // What every failed initialisation leaves behind.
    static void ExpectCleanedUp() {
        EXPECT_FALSE(Globals().initialised);
        EXPECT_FALSE(Globals().xmlLibraryStarted);
        EXPECT_TRUE(Globals().resourcePath.Empty());
        EXPECT_GE(Seams().msgHandlerDestroyCalls, 1);
    }
};

TEST_F(FrameInitTest, FullModeComposesPathsAndStartsXml) {
    InitCall call;
    call.root = SourceRoot(); // no trailing separator
    call.converterSwitch = 1;
    ASSERT_EQ(call.Run(), 0);
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(Globals().initialised);
    EXPECT_TRUE(Globals().xmlLibraryStarted)
        << "a missing script file still starts the XML library in full mode";
    EXPECT_TRUE(Globals().converterSwitch);
    EXPECT_FALSE(Globals().readOnlyMode);
    EXPECT_EQ(std::string(Globals().rootDir.text), SourceRoot() + "/");
    EXPECT_EQ(Globals().rootDir.length, SourceRoot().size() + 1);
    EXPECT_EQ(std::string(Globals().resourcePath.text), SourceRoot() + "/dat/Ostak_res");
    const std::string installation = SourceRoot() + "/dat/OstakInstallation.xml";
    EXPECT_EQ(std::string(xfpszOstakFileFullPathInstallationStr()), installation);
    EXPECT_EQ(xfnOstakFileFullPathInstallationLen(), installation.size());
    EXPECT_EQ(std::string(xfpszOstakFileFullPathScriptStr()), "/nonexistent-ostak-scripts/script.xml");
    EXPECT_EQ(xfnOstakFileFullPathScriptLen(), std::strlen("/nonexistent-ostak-scripts/script.xml"));
    EXPECT_EQ(std::string(Globals().hostName.text), "testhost");
    EXPECT_EQ(Globals().hostName.length, 8u);
    EXPECT_EQ(Globals().mergeCallback, &AnswerMerge);
    EXPECT_EQ(Globals().confCallback, &AnswerConf);
    EXPECT_EQ(Seams().msgHandlerInitCalls, 1);
    EXPECT_EQ(Seams().addResourceFileCalls, 1);
    EXPECT_EQ(Seams().wsaStartupCalls, 1);
    EXPECT_EQ(Seams().wsaCleanupCalls, 1);
}

TEST_F(FrameInitTest, SeparatorsAreAddedOnlyWhereMissing) {
    InitCall call;
    call.root = SourceRoot() + "/";
    call.dir = "/tmp/s/";
    call.name = "a.xml";
    ASSERT_EQ(call.Run(), 0);
    EXPECT_EQ(std::string(Globals().rootDir.text), SourceRoot() + "/");
    EXPECT_EQ(std::string(xfpszOstakFileFullPathScriptStr()), "/tmp/s/a.xml");
    ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    call.dir = "/tmp/s";
    ASSERT_EQ(call.Run(), 0);
    EXPECT_EQ(std::string(xfpszOstakFileFullPathScriptStr()), "/tmp/s/a.xml");
    EXPECT_EQ(xfnOstakFileFullPathScriptLen(), 12u);
}

TEST_F(FrameInitTest, RootNeedNotBeNulTerminated) {
    const std::string padded = SourceRoot() + "XYZ";
    InitCall call;
    call.rootPtr = padded.c_str();
    call.rootLength = static_cast<uint32_t>(SourceRoot().size());
    ASSERT_EQ(call.Run(), 0);
    EXPECT_EQ(std::string(Globals().rootDir.text), SourceRoot() + "/");
}

TEST_F(FrameInitTest, SecondInitialisationChangesNothing) {
    InitCall first;
    ASSERT_EQ(first.Run(), 0);
    Globals().issuedOnce = true;
    InitCall second;
    second.dir = "/elsewhere";
    second.readOnly = 1;
    second.log = nullptr;
    second.converterSwitch = 1;
    EXPECT_EQ(second.Run(), 0);
    EXPECT_TRUE(Globals().issuedOnce) << "not even the issue-once flag is touched";
    EXPECT_EQ(std::string(xfpszOstakFileFullPathScriptStr()), "/nonexistent-ostak-scripts/script.xml");
    EXPECT_FALSE(Globals().readOnlyMode);
    EXPECT_FALSE(Globals().converterSwitch);
    EXPECT_EQ(Globals().logCallback, &RecordLog);
    EXPECT_EQ(Seams().addResourceFileCalls, 1);
}

TEST_F(FrameInitTest, RootLengthLimits) {
    Seams().addResourceFile.Set(0); // long roots do not exist on disk; the catalogue step is not under test
    // The longest root whose composed paths still fit the 2048-byte buffers.
    const uint32_t longest = 2048 - 1 - static_cast<uint32_t>(std::strlen("dat/OstakInstallation.xml")) - 1;
    struct Case {
        uint32_t length;
        bool accepted;
    };
    const Case cases[] = {{1, true},     {longest, true}, {longest + 1, false},
                          {2030, false}, {0, false},      {2031, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.length);
        ostak::GlobalTerm();
        Log().clear();
        InitCall call;
        call.root = std::string(c.length, 'r');
        const int32_t rc = call.Run();
        if (c.accepted) {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(Globals().rootDir.length, c.length + 1);
            EXPECT_EQ(xfnOstakFileFullPathInstallationLen(), c.length + 1 + 25);
            EXPECT_EQ(std::strlen(xfpszOstakFileFullPathInstallationStr()), c.length + 1 + 25u);
        } else {
            EXPECT_EQ(rc, 3);
            char expected[256];
            std::snprintf(expected, sizeof expected, "Invalid mpszTqRootDirStr/mnTqRootDirLen (%p/%d)",
                          static_cast<const void *>(call.root.c_str()), static_cast<int>(c.length));
            ExpectOneInitMessage(expected, 441);
            ExpectCleanedUp();
        }
    }
}

TEST_F(FrameInitTest, NullRootKeepsEarlierPaths) {
    InitCall good;
    ASSERT_EQ(good.Run(), 0);
    ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    const std::string installation = xfpszOstakFileFullPathInstallationStr();
    Log().clear();
    InitCall call;
    call.root.clear();
    call.rootPtr = nullptr;
    call.rootLength = 5;
    // An empty std::string still gives a pointer; pass a real null instead.
    const int32_t rc = xfeOstakGlobalInit(0, RecordLog, AnswerMerge, AnswerConf, nullptr, 5, call.dir.c_str(),
                                          static_cast<uint32_t>(call.dir.size()), call.name.c_str(),
                                          static_cast<uint32_t>(call.name.size()), 0);
    EXPECT_EQ(rc, 3);
    ExpectOneInitMessage("Invalid mpszTqRootDirStr/mnTqRootDirLen ((nil)/5)", 441);
    EXPECT_EQ(std::string(xfpszOstakFileFullPathInstallationStr()), installation);
    EXPECT_EQ(Seams().addResourceFileCalls, 1) << "the resource path was emptied by the clean-up";
}

TEST_F(FrameInitTest, ScriptPathLengthLimits) {
    struct Case {
        uint32_t dirLength;
        uint32_t nameLength;
        bool accepted;
    };
    const Case cases[] = {{1, 1, true}, {1791, 255, true}, {1792, 255, false}, {0, 5, false}, {5, 0, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.dirLength << "+" << c.nameLength);
        ostak::GlobalTerm();
        Log().clear();
        InitCall call;
        // Folder names stay short enough for the system, so that only the total length counts.
        call.dir = std::string(c.dirLength, 'd');
        for (std::size_t i = 100; i + 1 < call.dir.size(); i += 100) {
            call.dir[i] = '/';
        }
        call.dirLength = c.dirLength;
        call.name = std::string(c.nameLength, 'n');
        const int32_t rc = call.Run();
        if (c.accepted) {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(xfnOstakFileFullPathScriptLen(), c.dirLength + 1 + c.nameLength);
        } else {
            EXPECT_EQ(rc, 3);
            char expected[256];
            std::snprintf(expected, sizeof expected,
                          "Invalid mpszAedFileDirScriptStr/mnAedFileDirScriptLen/mpszAedFileNameScriptStr/"
                          "mnAedFileNameScriptLen (%p/%d/%p/%d)",
                          static_cast<const void *>(call.dir.c_str()), static_cast<int>(c.dirLength),
                          static_cast<const void *>(call.name.c_str()), static_cast<int>(c.nameLength));
            ExpectOneInitMessage(expected, 441);
            ExpectCleanedUp();
        }
    }
}

TEST_F(FrameInitTest, OnlyTheLastPendedMessageReachesTheCaller) {
    InitCall call;
    call.rootLength = 0;
    call.dirLength = 0;
    EXPECT_EQ(call.Run(), 3);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].text.rfind("Invalid mpszAedFileDirScriptStr", 0), 0u);

    ostak::GlobalTerm();
    Log().clear();
    InitCall callbacks;
    callbacks.merge = nullptr;
    callbacks.conf = nullptr;
    EXPECT_EQ(callbacks.Run(), 3);
    ExpectOneInitMessage("mpfeConfCallback is NULL", 441);

    ostak::GlobalTerm();
    Log().clear();
    InitCall mergeOnly;
    mergeOnly.merge = nullptr;
    EXPECT_EQ(mergeOnly.Run(), 3);
    ExpectOneInitMessage("mpfeMergeCallback is NULL", 441);
    ExpectCleanedUp();
}

TEST_F(FrameInitTest, NullLogCallbackFailsWithoutAMessage) {
    InitCall call;
    call.log = nullptr;
    EXPECT_EQ(call.Run(), 3);
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(Globals().issuedOnce) << "the code's message was handed on and lost";
    ExpectCleanedUp();
}

TEST_F(FrameInitTest, MessageHandlerFailureSkipsTheResourceFile) {
    Seams().msgHandlerInit.Set(77);
    InitCall call;
    call.merge = nullptr; // pended first, replaced by the handler's message
    EXPECT_EQ(call.Run(), 1);
    ExpectOneInitMessage("\"MsgHandlerInitFunction\" failed, rc=77", 441);
    EXPECT_EQ(Seams().addResourceFileCalls, 0);
    ExpectCleanedUp();
}

TEST_F(FrameInitTest, ResourceFileFailure) {
    Seams().addResourceFile.Set(13);
    InitCall call;
    EXPECT_EQ(call.Run(), 2);
    ExpectOneInitMessage("\"AddResourceFile\" failed, rc=13", 441);
    ExpectCleanedUp();
    EXPECT_EQ(Seams().removeResourceFileCalls, 1);
}

TEST_F(FrameInitTest, ReadOnlyModeNeedsOnlyTheLogCallback) {
    InitCall call;
    call.readOnly = 1;
    call.merge = nullptr;
    call.conf = nullptr;
    EXPECT_EQ(call.Run(), 0);
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(Globals().readOnlyMode);
    EXPECT_EQ(Seams().msgHandlerInitCalls, 0);
    EXPECT_EQ(Seams().addResourceFileCalls, 1);
    EXPECT_EQ(Seams().wsaStartupCalls, 0) << "no host name in read-only mode";
    EXPECT_EQ(Globals().mergeCallback, nullptr);
    EXPECT_FALSE(Globals().xmlLibraryStarted) << "a missing script file starts nothing in read-only mode";
}

TEST_F(FrameInitTest, ScriptFileStatusDecidesOnTheXmlLibrary) {
    TempDir dir;
    dir.Write("empty.xml", "");
    dir.Write("full.xml", "<x/>");
    struct Case {
        uint8_t readOnly;
        const char *name;
        bool started;
    };
    const Case cases[] = {{0, "missing.xml", true},  {0, "empty.xml", true},  {0, "full.xml", true},
                          {1, "missing.xml", false}, {1, "empty.xml", false}, {1, "full.xml", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.readOnly) << " " << c.name);
        ostak::GlobalTerm();
        InitCall call;
        call.readOnly = c.readOnly;
        call.dir = dir.path();
        call.name = c.name;
        EXPECT_EQ(call.Run(), 0);
        EXPECT_EQ(Globals().xmlLibraryStarted, c.started);
        EXPECT_TRUE(Globals().initialised);
    }
    EXPECT_TRUE(Log().empty());
}

TEST_F(FrameInitTest, ScriptPathNamingAFolderFailsWithTwentyOne) {
    TempDir dir;
    mkdir(dir.File("sub.xml").c_str(), 0700);
    InitCall call;
    call.dir = dir.path();
    call.name = "sub.xml";
    EXPECT_EQ(call.Run(), 21);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].number, -32575);
    EXPECT_EQ(Log()[0].func, "xfeOstakIssueMsgByRc");
    EXPECT_EQ(Log()[0].line, 89);
    EXPECT_EQ(Log()[0].level, 6);
    ExpectCleanedUp();
}

TEST_F(FrameInitTest, UnreadableScriptStatusFailsWithTwentyAndOneMessage) {
    TempDir dir;
    dir.Write("plain", "x");
    InitCall call;
    call.dir = dir.File("plain"); // a file used as a folder: status not readable
    call.name = "script.xml";
    EXPECT_EQ(call.Run(), 20);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].number, -32570);
    EXPECT_EQ(Log()[0].func, "OstakFileInMem::ObtainFileStat");
    EXPECT_EQ(Log()[0].line, 42);
    EXPECT_EQ(Log()[0].level, 6);
    ExpectCleanedUp();
}

TEST_F(FrameInitTest, HostNameFailures) {
    struct Case {
        const char *name;
        int32_t startup, host, cleanup; // forced returns, 0 = not forced
        bool emptyName;
        int32_t rc;
        const char *text;
        int32_t gethostnameCalls;
    };
    const Case cases[] = {
        {"startup", 10091, 0, 0, false, 36, "\"WSAStartup\" failed, rc=10091, WSAGetLastError()=4242", 0},
        {"gethostname", 0, -1, 0, false, 36, "\"gethostname\" failed, rc=-1, WSAGetLastError()=4242", 1},
        {"cleanup only", 0, 0, -1, false, 0, "\"WSACleanup\" failed, rc=-1, WSAGetLastError()=4242", 1},
        {"gethostname and cleanup", 0, -1, -7, false, 36,
         "\"gethostname\" failed, rc=-7, WSAGetLastError()=4242", 1},
        {"empty name", 0, 0, 0, true, 36, "Host name is empty after a successful gethostname", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ostak::GlobalTerm();
        ResetSeams();
        Log().clear();
        Seams().hostNameOverride = true;
        Seams().hostName = c.emptyName ? "" : "box";
        Seams().wsaLastError = 4242;
        if (c.startup != 0) {
            Seams().wsaStartup.Set(c.startup);
        }
        if (c.host != 0) {
            Seams().gethostname.Set(c.host);
        }
        if (c.cleanup != 0) {
            Seams().wsaCleanup.Set(c.cleanup);
        }
        InitCall call;
        EXPECT_EQ(call.Run(), c.rc);
        ExpectOneInitMessage(c.text, 515);
        EXPECT_EQ(Seams().gethostnameCalls, c.gethostnameCalls);
        EXPECT_EQ(Seams().wsaCleanupCalls, c.startup != 0 ? 0 : 1);
        EXPECT_EQ(Globals().initialised, c.rc == 0);
        if (c.rc == 36) {
            EXPECT_TRUE(Globals().hostName.Empty());
            ExpectCleanedUp();
        }
    }
}

TEST_F(FrameInitTest, HostNameFailureReplacesAnEarlierResult) {
    Seams().wsaStartup.Set(5);
    InitCall call;
    call.merge = nullptr;
    EXPECT_EQ(call.Run(), 36);
    ASSERT_EQ(Log().size(), 2u) << "the argument message, then the host name's";
    EXPECT_EQ(Log()[0].text, "mpfeMergeCallback is NULL");
    EXPECT_EQ(Log()[1].line, 515);
}

TEST_F(FrameInitTest, DefaultsFileFoundThroughThePathResolver) {
    TempDir dir;
    dir.Write("OstakDefault.xml", "<x/>");
    const char *saved = std::getenv("OSTAK_PATH");
    const std::string savedValue = saved != nullptr ? saved : "";
    setenv("OSTAK_PATH", dir.path().c_str(), 1);
    InitCall call;
    ASSERT_EQ(call.Run(), 0);
    EXPECT_EQ(std::string(xfpszOstakFileFullPathDefaultsStr()), dir.File("OstakDefault.xml"));
    EXPECT_EQ(xfnOstakFileFullPathDefaultsLen(), dir.File("OstakDefault.xml").size());
    ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    unsetenv("OSTAK_PATH");
    ASSERT_EQ(call.Run(), 0);
    EXPECT_STREQ(xfpszOstakFileFullPathDefaultsStr(), "");
    EXPECT_EQ(xfnOstakFileFullPathDefaultsLen(), 0u);
    if (saved != nullptr) {
        setenv("OSTAK_PATH", savedValue.c_str(), 1);
    }
}

TEST_F(FrameInitTest, TerminationWithoutInitialisation) {
    EXPECT_EQ(xfeOstakGlobalTerm(), 0);
    EXPECT_EQ(Seams().msgHandlerDestroyCalls, 1);
    EXPECT_EQ(Seams().removeResourceFileCalls, 0);
    EXPECT_TRUE(Log().empty());
}

TEST_F(FrameInitTest, TerminationKeepsPathsAndCallbacks) {
    InitCall call;
    ASSERT_EQ(call.Run(), 0);
    ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    EXPECT_FALSE(Globals().initialised);
    EXPECT_FALSE(Globals().xmlLibraryStarted);
    EXPECT_TRUE(Globals().resourcePath.Empty());
    EXPECT_EQ(std::string(xfpszOstakFileFullPathScriptStr()), "/nonexistent-ostak-scripts/script.xml");
    EXPECT_EQ(std::string(Globals().hostName.text), "testhost");
    EXPECT_EQ(Globals().logCallback, &RecordLog);
    EXPECT_EQ(Seams().removeResourceFileCalls, 1);
    EXPECT_EQ(xfeOstakGlobalTerm(), 0) << "a second termination has no resource file to remove";
    EXPECT_EQ(Seams().removeResourceFileCalls, 1);
}

TEST_F(FrameInitTest, TerminationReportsAFailedRemoval) {
    InitCall call;
    ASSERT_EQ(call.Run(), 0);
    Seams().removeResourceFile.Set(9);
    EXPECT_EQ(xfeOstakGlobalTerm(), 2);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].number, 0);
    EXPECT_EQ(Log()[0].text, "Message file add/remove failed");
    EXPECT_EQ(Log()[0].func, "xfeOstakIssueMsgByRc");
    EXPECT_EQ(Log()[0].line, 99);
    EXPECT_EQ(Log()[0].level, 6);
    EXPECT_FALSE(Globals().initialised);
    EXPECT_TRUE(Globals().resourcePath.Empty());
}

TEST_F(FrameInitTest, InitialiseAgainAfterTermination) {
    for (int round = 0; round < 3; ++round) {
        InitCall call;
        ASSERT_EQ(call.Run(), 0) << round;
        ASSERT_EQ(xfeOstakGlobalTerm(), 0) << round;
    }
    EXPECT_TRUE(Log().empty());
}

} // namespace
