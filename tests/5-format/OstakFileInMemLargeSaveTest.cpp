// Loading and saving a document larger than the saver's output block: the
// saved bytes are exactly the loaded ones on both conversion paths, one ICU
// converter serves a whole load or save, and a write that fails when a block
// reaches the file still leaves the former file as it was.
#include "tests/support/FakeIcu.h"
#include "tests/support/Fixtures.h"

#include "2-core/MsgIssue.h"
#include "5-format/OstakXMLFileWriterFormatTarget.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace ostak;
using namespace ostak_test;

namespace {

// A body in the saver's own layout, several output blocks long, with texts of
// every length up to 300 so that fragments fall across the block boundaries.
std::string LargeBody() {
    std::string body = "<AED TqVersion=\"7.6\">\r\n";
    char line[160];
    for (int i = 0; i < 1200; ++i) {
        std::snprintf(
            line, sizeof line,
            "\t<Application Name=\"App%05d\" Enabled=\"true\" StampTime=\"%d\" StampHost=\"h%d\">\r\n", i,
            1000 + i, i % 7);
        body += line;
        body += "\t\t<Rule Name=\"r\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
                "Level=\"error\">\r\n\t\t\t<Text>";
        body += std::string(static_cast<std::size_t>(i % 300), 'x') + " &amp; &lt;end&gt;";
        body += "</Text>\r\n\t\t</Rule>\r\n\t</Application>\r\n";
    }
    return body + "</AED>\r\n";
}

std::string Utf8Labelled(std::string head) {
    const std::string latin = "encoding=\"ISO-8859-1\"";
    return head.replace(head.find(latin), latin.size(), "encoding=\"UTF-8\"");
}

class LargeSaveTest : public LoadSaveTest {};

TEST_F(LargeSaveTest, ALoadedDocumentOfManyBlocksIsSavedByteForByteOnBothPaths) {
    const std::string body = LargeBody();
    ASSERT_GT(body.size(), 4 * OstakXMLFileWriterFormatTarget::kBlockSize);
    const std::string source = dir_.Write("rules.xml", Head() + body);
    for (const bool icuPath : {false, true}) {
        SCOPED_TRACE(icuPath ? "ICU path" : "plain path");
        // On the ICU path the stand-in ICU maps each byte to its unit and back.
        ScopedIcuTable table(icuPath ? FakeIcuTable() : IcuTable());
        OstakContext context = TestContext();
        context.icuPath = icuPath;
        OstakFileInMem &file = Make(OstakFileInMem::kKindPlain, source);
        ASSERT_EQ(file.Load(false, context), OSTAK_OK);
        const std::string copy = dir_.File("copy.xml");
        ASSERT_EQ(file.Save(false, copy.c_str(), static_cast<int32_t>(copy.size()), false, context),
                  OSTAK_OK);
        EXPECT_EQ(ReadFile(copy), (icuPath ? Utf8Labelled(Head()) : Head()) + body);
        EXPECT_TRUE(MessagesBeyondTrace().empty());
        if (icuPath) {
            EXPECT_EQ(FakeIcu().openCalls, 2) << "one ICU converter for the load, one for the save";
            EXPECT_EQ(FakeIcu().closeCalls, 2);
        }
    }
}

// A file size limit makes the write of a later block fail for real (EFBIG).
TEST_F(LargeSaveTest, AWriteThatFailsInTheMiddleKeepsTheFormerFileAndSaysSoOnce) {
    const std::string source = dir_.Write("rules.xml", Head() + LargeBody());
    OstakFileInMem &file = Make(OstakFileInMem::kKindPlain, source);
    ASSERT_EQ(file.Load(false, TestContext()), OSTAK_OK);
    const std::string path = dir_.Write("target.xml", "former content");

    struct rlimit previous;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    struct rlimit limited = previous;
    limited.rlim_cur = 3 * OstakXMLFileWriterFormatTarget::kBlockSize / 2;
    void (*previousHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int32_t rc =
        file.Save(false, path.c_str(), static_cast<int32_t>(path.size()), false, TestContext());
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(rc, OSTAK_E_WRITE);
    EXPECT_EQ(ReadFile(path), "former content");
    EXPECT_EQ(dir_.Entries(), (std::set<std::string>{"rules.xml", "target.xml"})) << "no new file left";
    const std::vector<LogRecord> messages = MessagesBeyondTrace();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Writing \"" + path + "\" failed: " + std::strerror(EFBIG) + " (errno " +
                                    std::to_string(EFBIG) + ")");
    EXPECT_EQ(messages[0].func, "OstakFileInMem::Save");
}

} // namespace
