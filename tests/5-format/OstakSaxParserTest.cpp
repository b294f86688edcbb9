// The parser every rule file is read with: a document without a document type
// declaration and every validity error end the parse; and documents from a
// hostile source: entity expansion bombs, external entities naming local
// files, external subsets on the network, content models that would explode
// the validator, and paths with bytes beyond ASCII.
#include "tests/support/Fixtures.h"

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace ostak;
using namespace ostak_test;

namespace {

// Listens on 127.0.0.1 and counts every connection made to it (closing it at
// once, so that a client never waits for an answer).
class Listener {
  public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        ok_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
              listen(fd_, 16) == 0;
        socklen_t length = sizeof address;
        ok_ = ok_ && getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &length) == 0;
        port_ = ntohs(address.sin_port);
        if (ok_) {
            thread_ = std::thread([this]() { Serve(); });
        }
    }
    ~Listener() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    bool ok() const { return ok_; }
    std::string Url(const std::string &file) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + file;
    }
    // Connections seen so far (after a short wait for any in flight).
    int Connections() {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return connections_.load();
    }

  private:
    void Serve() {
        while (!stop_) {
            pollfd waiting{fd_, POLLIN, 0};
            if (poll(&waiting, 1, 20) > 0) {
                const int client = accept(fd_, nullptr, nullptr);
                if (client >= 0) {
                    ++connections_;
                    close(client);
                }
            }
        }
    }

    int fd_ = -1;
    bool ok_ = false;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// The declarations of the shipped head, for documents that add their own.
const std::string kFormatDeclarations =
    "<!ELEMENT AED (Application*)><!ATTLIST AED TqVersion CDATA #IMPLIED>"
    "<!ELEMENT Application (Rule*)><!ATTLIST Application Name CDATA #IMPLIED StampHost CDATA #IMPLIED>"
    "<!ELEMENT Rule (Text?)><!ATTLIST Rule Name CDATA #IMPLIED><!ELEMENT Text (#PCDATA)>";

class LoadSaveHostile : public LoadSaveTest {
  protected:
    // Loads the document; expects the parse to end with a fatal parser
    // report and result 23.
    OstakFileInMem &LoadRefused(const std::string &content) {
        int32_t rc = -1;
        OstakFileInMem &file = LoadText(content, false, &rc);
        EXPECT_EQ(rc, OSTAK_E_INVALID_DOCUMENT);
        const std::vector<LogRecord> messages = MessagesBeyondTrace();
        EXPECT_EQ(messages.size(), 1u);
        if (!messages.empty()) {
            EXPECT_EQ(messages.back().number, kMsgParserReport);
            EXPECT_EQ(messages.back().level, kLevelFatal);
        }
        return file;
    }

    const char *FirstText(const OstakFileInMem &file) {
        const OstakElemAppl *appl = file.Applications().FirstAppl();
        if (appl == nullptr || appl->Rules()->FirstRule() == nullptr) {
            return "";
        }
        return appl->Rules()->FirstRule()->Text();
    }
};

// The suite shares its fixture with the tests of the document handler.
using LoadSaveLoad = LoadSaveTest;

TEST_F(LoadSaveLoad, ADocumentWithoutDocumentTypeDeclarationIsAFatalError) {
    OstakFileInMem &file = LoadText("<AED TqVersion=\"7.6\">\r\n\t<Application Name=\"A\"/>\r\n</AED>\r\n");
    EXPECT_EQ(file.LoadResult(), OSTAK_E_INVALID_DOCUMENT);
    EXPECT_TRUE(file.Applications().Empty());
    const LogRecord *message = ExpectMessage(kMsgParserReport, "AedErrorHandler::report", kLevelFatal,
                                             "5-format/AedErrorHandler.cpp", "kMsgParserReport");
    ASSERT_NE(message, nullptr);
    EXPECT_NE(message->text.find("(line 1, column"), std::string::npos) << message->text;
    EXPECT_NE(message->text.find(dir_.File("rules.xml")), std::string::npos);
}

TEST_F(LoadSaveLoad, EveryValidityErrorEndsTheParseAsFatalAndKeepsWhatWasRead) {
    struct Case {
        const char *what;
        std::string content;
    };
    const Case cases[] = {
        {"undeclared element", Doc("<AED><Application Name=\"A\"/><Bogus/><Application Name=\"B\"/></AED>")},
        {"undeclared attribute",
         Doc("<AED><Application Name=\"A\"/><Application Name=\"B\" Zork=\"1\"/></AED>")},
        {"text in element content",
         Doc("<AED><Application Name=\"A\"/>stray<Application Name=\"B\"/></AED>")},
        {"element declared twice", DocWithDtd("<!ELEMENT AED (Application*)><!ELEMENT Application EMPTY>"
                                              "<!ATTLIST Application Name CDATA #IMPLIED><!ELEMENT AED ANY>",
                                              "<AED><Application Name=\"A\"/></AED>")},
        {"not well formed", Doc("<AED><Application Name=\"A\"/><Application Name=\"B\"></AED>")},
    };
    for (const Case &c : cases) {
        int32_t rc = -1;
        OstakFileInMem &file = LoadText(c.content, false, &rc);
        EXPECT_EQ(rc, OSTAK_E_INVALID_DOCUMENT) << c.what;
        const std::vector<LogRecord> messages = MessagesBeyondTrace();
        ASSERT_EQ(messages.size(), 1u) << c.what;
        EXPECT_EQ(messages[0].number, kMsgParserReport) << c.what;
        EXPECT_EQ(messages[0].level, kLevelFatal) << c.what;
        if (std::string(c.what) != "element declared twice") {
            EXPECT_NE(file.Applications().FindAppl("A"), nullptr) << c.what << ": what was read stays";
        }
    }
}

TEST_F(LoadSaveHostile, ABillionLaughsFailsFastInBoundedMemory) {
    std::string entities = "<!ENTITY lol0 \"lol\">";
    for (int level = 1; level <= 9; ++level) {
        entities += "<!ENTITY lol" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i) {
            entities += "&lol" + std::to_string(level - 1) + ";";
        }
        entities += "\">";
    }
    const std::clock_t start = std::clock();
    OstakFileInMem &file =
        LoadRefused(DocWithDtd(kFormatDeclarations + entities,
                               "<AED><Application><Rule><Text>&lol9;</Text></Rule></Application></AED>"));
    EXPECT_LT(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC, 5.0);
    EXPECT_LT(std::strlen(FirstText(file)), 1000u) << "expansion stopped after a handful of references";
    EXPECT_NE(MessagesBeyondTrace()[0].text.find("entity expansions"), std::string::npos);
}

TEST_F(LoadSaveHostile, ALargeEntityReferencedManyTimesFailsWithinTheLimit) {
    const std::string big(64 * 1024, 'x');
    std::string references;
    for (int i = 0; i < 10000; ++i) {
        references += "&big;";
    }
    OstakFileInMem &file = LoadRefused(
        DocWithDtd(kFormatDeclarations + "<!ENTITY big \"" + big + "\">",
                   "<AED><Application><Rule><Text>" + references + "</Text></Rule></Application></AED>"));
    EXPECT_LE(std::strlen(FirstText(file)), 101u * big.size());
}

TEST_F(LoadSaveHostile, AnAttributeBuiltFromEntitiesFailsWithinTheLimit) {
    std::string value;
    for (int i = 0; i < 1000; ++i) {
        value += "&e;";
    }
    OstakFileInMem &file = LoadRefused(DocWithDtd(kFormatDeclarations + "<!ENTITY e \"eeeeeeee\">",
                                                  "<AED><Application StampHost=\"" + value + "\"/></AED>"));
    EXPECT_TRUE(file.Applications().Empty());
}

TEST_F(LoadSaveHostile, AnExternalEntityNamingALocalFileIsNeverRead) {
    const std::string secret = "TOP-SECRET-CONTENT-4711";
    const std::string secretPath = dir_.Write("secret.txt", secret);
    for (const std::string &reference : {"file://" + secretPath, secretPath, std::string("secret.txt")}) {
        OstakFileInMem &file = LoadRefused(DocWithDtd(
            kFormatDeclarations + "<!ENTITY ext SYSTEM \"" + reference + "\">",
            "<AED><Application Name=\"A\"><Rule><Text>before&ext;after</Text></Rule></Application></AED>"));
        EXPECT_EQ(std::string(FirstText(file)).find(secret), std::string::npos) << reference;
        for (const LogRecord &record : Log()) {
            EXPECT_EQ(record.text.find(secret), std::string::npos) << reference;
        }
    }
}

TEST_F(LoadSaveHostile, AnExternalSubsetOrParameterEntityOnTheNetworkIsNeverFetched) {
    Listener listener;
    ASSERT_TRUE(listener.ok());
    const std::string documents[] = {
        "<?xml version=\"1.0\"?>\n<!DOCTYPE AED SYSTEM \"" + listener.Url("aed.dtd") + "\">\n<AED/>",
        "<?xml version=\"1.0\"?>\n<!DOCTYPE AED PUBLIC \"-//X//Y//EN\" \"" + listener.Url("aed.dtd") +
            "\" [\n" + kFormatDeclarations + "\n]>\n<AED/>",
        DocWithDtd(kFormatDeclarations + "<!ENTITY % ext SYSTEM \"" + listener.Url("ext.dtd") + "\">%ext;",
                   "<AED/>"),
        DocWithDtd(kFormatDeclarations + "<!ENTITY net SYSTEM \"" + listener.Url("net.txt") + "\">",
                   "<AED><Application><Rule><Text>&net;</Text></Rule></Application></AED>"),
    };
    for (const std::string &document : documents) {
        LoadRefused(document);
    }
    EXPECT_EQ(listener.Connections(), 0);
}

TEST_F(LoadSaveHostile, AContentModelThatWouldExplodeTheValidatorIsRefused) {
    // (a|b)*,a,(a|b){n}: the validator's automaton has 2^n states.
    auto model = [](int n) {
        std::string text = "((a|b)*,a";
        for (int i = 0; i < n; ++i) {
            text += ",(a|b)";
        }
        return text + ")";
    };
    auto document = [&](int n) {
        std::string children;
        for (int i = 0; i <= n; ++i) {
            children += "<a/>";
        }
        return DocWithDtd("<!ELEMENT AED " + model(n) + "><!ELEMENT a EMPTY><!ELEMENT b EMPTY>",
                          "<AED>" + children + "</AED>");
    };
    const std::clock_t start = std::clock();
    LoadRefused(document(24));
    EXPECT_LT(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC, 5.0);
    EXPECT_NE(MessagesBeyondTrace()[0].text.find("content model of element 'AED' is too complex"),
              std::string::npos)
        << MessagesBeyondTrace()[0].text;

    // A model far too long for any rule file is refused without walking all of it.
    std::string sequence = "(a";
    for (int i = 0; i < 20000; ++i) {
        sequence += ",a";
    }
    LoadRefused(DocWithDtd("<!ELEMENT AED " + sequence + ")><!ELEMENT a EMPTY>", "<AED/>"));

    int32_t rc = -1;
    LoadText(document(6), false, &rc); // 15 leaves: within what a rule file may have
    EXPECT_EQ(rc, OSTAK_OK);
    EXPECT_TRUE(MessagesBeyondTrace().empty());
}

TEST_F(LoadSaveHostile, AContentModelNestedTooDeeplyIsRefusedBeforeTheValidatorRecursesIntoIt) {
    // ((((a)*)*)*...): one leaf, nested `depth` levels; the validator walks it
    // recursively, so deep enough nesting would overflow the stack.
    auto document = [](int depth) {
        std::string model = "(";
        for (int i = 0; i < depth; ++i) {
            model += "(";
        }
        model += "a";
        for (int i = 0; i < depth; ++i) {
            model += ")*";
        }
        return DocWithDtd("<!ELEMENT AED " + model + ")><!ELEMENT a EMPTY>", "<AED><a/></AED>");
    };
    for (int depth : {40, 50000}) {
        LoadRefused(document(depth));
        ASSERT_FALSE(MessagesBeyondTrace().empty());
        EXPECT_NE(MessagesBeyondTrace()[0].text.find("content model of element 'AED' is too complex"),
                  std::string::npos)
            << depth << ": " << MessagesBeyondTrace()[0].text;
        Log().clear();
    }
    int32_t rc = -1;
    LoadText(document(10), false, &rc); // deeper than the format's own models
    EXPECT_EQ(rc, OSTAK_OK);
    EXPECT_TRUE(MessagesBeyondTrace().empty());
}

TEST_F(LoadSaveHostile, APathWithBytesBeyondAsciiIsReadAsItIs) {
    const std::string name = "r\xE9gles.xml"; // not valid UTF-8, as a Latin-1 code page writes it
    OstakFileInMem &file = Make(0, dir_.Write(name, Doc("<AED><Application Name=\"A\"/></AED>")));
    EXPECT_EQ(file.Load(false, TestContext()), OSTAK_OK);
    EXPECT_NE(file.Applications().FindAppl("A"), nullptr);
}

} // namespace
