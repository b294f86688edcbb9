// The C++ layer's initialisation guard, its error type and the log callback:
// used the way a caller uses them.
#include "tests/support/HppSupport.h"

#include <stdexcept>

using namespace hpp_test;

namespace {

class HppLibrary : public HppTest {};

TEST_F(HppLibrary, InitialisesForItsLifetimeAndTerminatesAtTheEnd) {
    {
        ostak::Library library(FullOptions());
        EXPECT_EQ(ostak::Library::scriptFilePath(), dir_.File("script.xml"));
        EXPECT_EQ(ostak::Library::installationFilePath(),
                  ostak_test::SourceRoot() + "/dat/OstakInstallation.xml");
        ostak::RuleFile file(ostak::FileKind::Plain, dir_.File("a.xml"));
        EXPECT_EQ(file.kind(), ostak::FileKind::Plain);
        EXPECT_EQ(file.path(), dir_.File("a.xml"));
        EXPECT_TRUE(file.applications().empty());
    }
    // Terminated: the next call is refused with 38, thrown as Error.
    try {
        ostak::RuleFile file(ostak::FileKind::Plain, dir_.File("a.xml"));
        FAIL() << "no Error thrown";
    } catch (const ostak::Error &error) {
        EXPECT_EQ(error.code(), OSTAK_E_NOT_INITIALISED);
        EXPECT_STREQ(error.function(), "xfeOstakFileInMemCreate");
        EXPECT_STREQ(error.what(), "xfeOstakFileInMemCreate failed: OSTAK_E_NOT_INITIALISED (38)");
    }
}

TEST_F(HppLibrary, AFailedInitialisationThrowsTheLibrarysCodeAndLeavesNoGuardBehind) {
    ostak::Options options = FullOptions();
    options.merge = nullptr; // passed on as a null callback, which full mode refuses
    try {
        ostak::Library library(std::move(options));
        FAIL() << "no Error thrown";
    } catch (const ostak::Error &error) {
        EXPECT_EQ(error.code(), OSTAK_E_INVALID_ARGUMENT);
        EXPECT_STREQ(error.function(), "xfeOstakGlobalInit");
    }
    ASSERT_EQ(heard_.size(), 1u);
    EXPECT_EQ(heard_[0].number, 0);
    EXPECT_EQ(heard_[0].text, "mpfeMergeCallback is NULL");
    EXPECT_EQ(heard_[0].function, "xfeOstakGlobalInit");
    EXPECT_EQ(heard_[0].line, 441);
    EXPECT_EQ(heard_[0].level, OSTAK_LEVEL_ERROR);
    // Read-only mode needs neither merge nor configuration callback.
    ostak::Options readOnly = FullOptions();
    readOnly.readOnly = true;
    readOnly.merge = nullptr;
    readOnly.confirm = nullptr;
    EXPECT_NO_THROW(ostak::Library library(std::move(readOnly)));
}

TEST_F(HppLibrary, OneGuardAtATime) {
    ostak::Library first(FullOptions());
    EXPECT_THROW(ostak::Library second(FullOptions()), std::logic_error);
    // The first guard still holds the library.
    EXPECT_NO_THROW(ostak::RuleFile(ostak::FileKind::Plain, dir_.File("a.xml")));
}

TEST_F(HppLibrary, EachFailureIsOneErrorAndOneMessage) {
    ostak::Library library(FullOptions());
    ostak::RuleFile file(ostak::FileKind::Installation, dir_.File("missing.xml"));
    heard_.clear();
    try {
        file.load();
        FAIL() << "no Error thrown";
    } catch (const ostak::Error &error) {
        EXPECT_EQ(error.code(), OSTAK_E_FILE_MISSING);
        EXPECT_STREQ(error.function(), "xfeOstakLoad");
    }
    ASSERT_EQ(heard_.size(), 1u);
    EXPECT_EQ(heard_[0].number, -32571);
    EXPECT_EQ(heard_[0].text, "The file does not exist");
    EXPECT_EQ(heard_[0].level, OSTAK_LEVEL_ERROR);
}

TEST_F(HppLibrary, AnExceptionFromTheLogCallbackSurfacesAfterTheCall) {
    ostak::Options options = FullOptions();
    options.log = [](const ostak::Message &m) {
        throw std::runtime_error("log saw " + std::to_string(m.number));
    };
    ostak::Library library(std::move(options));
    ostak::RuleFile file(ostak::FileKind::Plain, dir_.File("a.xml"));
    ostak::Application appl = file.applications().add();
    try {
        appl.setName("not a name");
        FAIL() << "nothing thrown";
    } catch (const ostak::Error &) {
        FAIL() << "the callback's exception was lost";
    } catch (const std::runtime_error &error) {
        EXPECT_STREQ(error.what(), "log saw -32589");
    }
    // Kept only for that call: the next successful call throws nothing.
    EXPECT_NO_THROW(appl.setName("Good"));
    EXPECT_EQ(appl.name(), "Good");
}

TEST_F(HppLibrary, ResultNamesFollowTheHeader) {
    EXPECT_STREQ(ostak::ResultName(OSTAK_OK), "OSTAK_OK");
    EXPECT_STREQ(ostak::ResultName(OSTAK_E_INVALID_DOCUMENT), "OSTAK_E_INVALID_DOCUMENT");
    EXPECT_STREQ(ostak::ResultName(OSTAK_E_REMOVE_FILE), "OSTAK_E_REMOVE_FILE");
    EXPECT_STREQ(ostak::ResultName(16), "OSTAK_E_UNKNOWN");
    EXPECT_STREQ(ostak::ResultName(-1), "OSTAK_E_UNKNOWN");
}

} // namespace
