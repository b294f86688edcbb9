// The model, format and merge layers run on the context they are handed,
// without the library being initialised: new and merged applications carry
// the context's stamp, merging asks the context's callback, loading and
// saving follow its XML library flag and root directory; and one load or
// save keeps to the conversion path of its context, whatever the process
// state says meanwhile.
#include "tests/support/Fixtures.h"

#include "2-core/OstakContext.h"
#include "2-core/XmlLibrary.h"
#include "6-merge/OstakApplyDifferences.h"

#include <cstddef>
#include <memory>

using namespace ostak;
using namespace ostak_test;

namespace {

constexpr const char *kContextHost = "ctxhost";

// A context of the test's own: nothing in it comes from the process state.
OstakContext HandMadeContext(const std::string &rootDir) {
    OstakContext context{};
    context.stampHost = kContextHost;
    context.stampNewApplications = true;
    context.icuPath = false;
    context.rootDir = rootDir.c_str();
    context.xmlLibraryStarted = true;
    return context;
}

// The process state as bytes, but for the issue-once flag that every message sets.
std::string StateBytes() {
    std::string bytes(reinterpret_cast<const char *>(&Globals()), sizeof(OstakGlobals));
    bytes[offsetof(OstakGlobals, issuedOnce)] = 0;
    return bytes;
}

using FilePtr = std::unique_ptr<OstakFileInMem>;

FilePtr MakeFile(int32_t kind, const std::string &path) {
    return FilePtr(OstakFileInMem::Create(kind, path.c_str(), static_cast<int32_t>(path.size())));
}

// Xerces started on its own; the library is never initialised.
class ContextTest : public OstakTest {
  protected:
    void SetUp() override {
        OstakTest::SetUp();
        StartXmlLibrary();
        root_ = SourceRoot() + "/";
        context_ = HandMadeContext(root_);
        state_ = StateBytes();
    }
    void TearDown() override {
        EXPECT_FALSE(Globals().initialised);
        StopXmlLibrary();
        OstakTest::TearDown();
    }
    // Loads `body` (after the shipped head) into a new object of `kind`.
    FilePtr Loaded(int32_t kind, const std::string &body, const OstakContext &context) {
        FilePtr file = MakeFile(kind, dir_.Write("in" + std::to_string(loads_++) + ".xml", Doc(body)));
        EXPECT_EQ(file->Load(false, context), OSTAK_OK);
        return file;
    }

    TempDir dir_;
    std::string root_;
    OstakContext context_{};
    std::string state_;
    int loads_ = 0;
};

class ContextOnly : public ContextTest {
  protected:
    void TearDown() override {
        EXPECT_EQ(StateBytes(), state_) << "the process state was written";
        ContextTest::TearDown();
    }
};

TEST_F(ContextOnly, NewApplicationsAreStampedAsTheContextSays) {
    struct Case {
        const char *host;
        bool stamp;
        const char *stampHost;
    };
    const Case cases[] = {{kContextHost, true, kContextHost}, {"", true, ""}, {kContextHost, false, ""}};
    for (const Case &c : cases) {
        OstakContext context = context_;
        context.stampHost = c.host;
        context.stampNewApplications = c.stamp;
        const int32_t before = OstakElemAppl::CurrentTime();
        std::unique_ptr<OstakElemAppl> appl(OstakElemAppl::Create(context));
        ASSERT_NE(appl, nullptr);
        EXPECT_STREQ(appl->StampHost(), c.stampHost) << c.host << c.stamp;
        EXPECT_EQ(appl->StampTime() >= before, c.stamp) << "time 0 when not stamped";
        ASSERT_EQ(appl->SetStamp("other", 77), OSTAK_OK);
        std::unique_ptr<OstakElemAppl> copy(appl->Clone(context));
        ASSERT_NE(copy, nullptr);
        EXPECT_STREQ(copy->StampHost(), "other") << "a copy keeps the stamp it copies";
        EXPECT_EQ(copy->StampTime(), 77);
    }
}

TEST_F(ContextOnly, ALoadStampsWhatCarriesNoStampWithTheContextsHost) {
    FilePtr file = Loaded(0,
                          "<AED><Application Name=\"A\" Enabled=\"true\"/>"
                          "<Application Name=\"B\" Enabled=\"true\" StampTime=\"5\" StampHost=\"h\"/></AED>",
                          context_);
    const FileSnap snap = Snap(*file);
    ASSERT_EQ(snap.appls.size(), 2u);
    EXPECT_EQ(snap.appls[0].host, kContextHost);
    EXPECT_EQ(snap.appls[1].host, "h");
    EXPECT_EQ(snap.appls[1].time, 5);
}

std::vector<int32_t> &MergeEvents() {
    static std::vector<int32_t> events;
    return events;
}

uint32_t TakeSource(int32_t event, int32_t, int32_t, void *, void *, void *, void *, const char *) {
    MergeEvents().push_back(event);
    return OstakMergeTakeSource;
}

TEST_F(ContextOnly, ApplyingStampsWithTheContextsHostAndAsksItsCallback) {
    const std::string source =
        "<AED><Application Name=\"A\" Enabled=\"true\" StampTime=\"1\" StampHost=\"s\"/>"
        "<Application Name=\"B\" Enabled=\"true\" StampTime=\"1\" StampHost=\"s\">"
        "<Rule Name=\"r\"><Text>new</Text></Rule></Application></AED>";
    const std::string target =
        "<AED><Application Name=\"B\" Enabled=\"true\" StampTime=\"2\" StampHost=\"t\">"
        "<Rule Name=\"r\"><Text>old</Text></Rule></Application></AED>";
    struct Case {
        ostak_merge_callback callback;
        int32_t rc;
        std::vector<int32_t> events;
        std::string hostOfB, textOfB;
    };
    const Case cases[] = {
        {TakeSource, OSTAK_OK, {OstakMergeRuleConflict}, kContextHost, "new"},
        {nullptr, OSTAK_E_NO_MERGE_CALLBACK, {}, "t", "old"},
    };
    for (const Case &c : cases) {
        OstakContext context = context_;
        context.mergeCallback = c.callback;
        FilePtr plain = Loaded(OstakFileInMem::kKindPlain, source, context);
        FilePtr script = Loaded(OstakFileInMem::kKindScript, target, context);
        for (OstakElemAppl *appl = plain->Applications().FirstAppl(); appl != nullptr;
             appl = appl->NextAppl()) {
            appl->SetDiffMark(OstakDiffApply);
        }
        MergeEvents().clear();
        EXPECT_EQ(ApplyDifferences(*plain, *script, false, context), c.rc);
        EXPECT_EQ(MergeEvents(), c.events);
        const FileSnap after = Snap(*script);
        ASSERT_EQ(after.appls.size(), c.rc == OSTAK_OK ? 2u : 1u);
        const ApplSnap &b = after.appls.back();
        EXPECT_EQ(b.host, c.hostOfB);
        ASSERT_EQ(b.rules.size(), 1u);
        EXPECT_EQ(b.rules[0].text, c.textOfB);
        if (c.rc == OSTAK_OK) {
            EXPECT_EQ(after.appls[0].host, kContextHost) << "a new application is stamped on arrival";
        }
    }
}

TEST_F(ContextOnly, LoadingAndSavingFollowTheContextsLibraryFlagAndRoot) {
    const std::string body =
        "<AED TqVersion=\"7.6\"><Application Name=\"A\" Enabled=\"true\" StampTime=\"3\" "
        "StampHost=\"h\"><Rule Name=\"r\"><Text>t</Text></Rule></Application></AED>";
    FilePtr file = Loaded(0, body, context_);
    const std::string noHead = dir_.path() + "/";
    struct Case {
        bool started;
        const char *root;
        int32_t loadRc, saveRc;
    };
    const Case cases[] = {
        {true, root_.c_str(), OSTAK_OK, OSTAK_OK},
        {true, noHead.c_str(), OSTAK_OK, OSTAK_E_WRITE}, // no dat/OstakDtd.xml there
        {false, root_.c_str(), OSTAK_E_INVALID_DOCUMENT, OSTAK_E_WRITE},
    };
    for (const Case &c : cases) {
        OstakContext context = context_;
        context.xmlLibraryStarted = c.started;
        context.rootDir = c.root;
        const std::string out = dir_.File("out.xml");
        std::remove(out.c_str());
        EXPECT_EQ(file->Save(false, out.c_str(), static_cast<int32_t>(out.size()), false, context), c.saveRc)
            << c.root << c.started;
        FilePtr again = MakeFile(0, c.saveRc == OSTAK_OK ? out : file->GetFileFullPath());
        EXPECT_EQ(again->Load(false, context), c.loadRc);
        if (c.loadRc == OSTAK_OK) {
            EXPECT_EQ(Snap(*again), Snap(*file));
        }
    }
}

// Changes the converter switch of the process state, as a log callback or a
// look into the middle of a save may, while a load or save runs.
bool g_switchTo = false;
void FlipSwitch(int32_t, const char *, const char *, int32_t, int32_t) {
    Globals().converterSwitch = g_switchTo;
}
void FlipSwitchMidBody() {
    Globals().converterSwitch = g_switchTo;
}

// A "\xE9" in the head's ISO-8859-1 is U+00E9: one byte on the plain path, two through ICU.
TEST_F(ContextTest, ALoadOrSaveKeepsItsContextsConversionPath) {
    const std::string body = "<AED><Application Name=\"A\" Enabled=\"true\" StampTime=\"3\" StampHost=\"h\">"
                             "<Rule Name=\"r\"><Text>caf\xE9</Text></Rule></Application>"
                             "<Application Name=\"B\" Enabled=\"true\" StampTime=\"3\" StampHost=\"h\">"
                             "<Rule Name=\"r\"><Text>caf\xE9</Text></Rule></Application></AED>";
    struct Case {
        bool icuPath;
        std::string text;
    };
    const Case cases[] = {{false, "caf\xE9"}, {true, "caf\xC3\xA9"}};
    for (const Case &c : cases) {
        OstakContext context = context_;
        context.icuPath = c.icuPath;
        g_switchTo = !c.icuPath;
        Globals().converterSwitch = c.icuPath;

        Globals().logCallback = FlipSwitch; // the load's first trace line flips the switch
        FilePtr file = Loaded(0, body, context);
        Globals().logCallback = nullptr;
        const FileSnap loaded = Snap(*file);
        ASSERT_EQ(loaded.appls.size(), 2u);
        EXPECT_EQ(loaded.appls[0].rules[0].text, c.text) << c.icuPath;
        EXPECT_EQ(loaded.appls[1].rules[0].text, c.text) << c.icuPath;

        const std::string steady = dir_.File("steady.xml");
        const std::string flipped = dir_.File("flipped.xml");
        Globals().converterSwitch = c.icuPath;
        ASSERT_EQ(file->Save(false, steady.c_str(), static_cast<int32_t>(steady.size()), false, context), 0);
        Seams().saveMidBody = FlipSwitchMidBody; // after the first application
        ASSERT_EQ(file->Save(false, flipped.c_str(), static_cast<int32_t>(flipped.size()), false, context),
                  0);
        Seams().saveMidBody = nullptr;
        EXPECT_NE(Globals().converterSwitch, c.icuPath) << "the switch was flipped";
        EXPECT_EQ(ReadFile(flipped), ReadFile(steady)) << c.icuPath;
    }
}

} // namespace
