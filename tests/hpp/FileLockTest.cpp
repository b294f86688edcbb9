// The C++ layer's lock: RuleFile::lock and unlock, and the FileLock guard.
#include "tests/support/HppSupport.h"
#include "tests/support/LockHolder.h"

#include <chrono>
#include <filesystem>

namespace {

using hpp_test::HppTest;
using namespace std::chrono_literals;

class HppLock : public HppTest {};

TEST_F(HppLock, TheGuardHoldsTheLockForItsScopeAndThrowsWhenAnotherProcessHoldsIt) {
    ostak::Library library(FullOptions());
    const std::string lockFile = ostak_test::LockFileOf(dir_.path(), "rules.xml");
    ostak::RuleFile file(ostak::FileKind::Plain, dir_.File("rules.xml"));
    Fill(file, {{"Alpha", {{"r"}}}});
    {
        ostak::FileLock guard(file, 0ms);
        EXPECT_TRUE(std::filesystem::exists(lockFile));
        file.save(); // takes the lock again, at once
    }
    EXPECT_FALSE(std::filesystem::exists(lockFile));
    EXPECT_TRUE(heard_.empty());

    ostak_test::HeldByAnotherProcess holder(lockFile);
    ASSERT_TRUE(holder.locked());
    try {
        ostak::FileLock guard(file, 30ms);
        FAIL() << "locked by another process";
    } catch (const ostak::Error &error) {
        EXPECT_EQ(error.code(), OSTAK_E_LOCKED);
        EXPECT_STREQ(error.function(), "xfeOstakFileInMemLock");
        // The library's message, with its number.
        EXPECT_EQ(error.messageNumber(), -32548);
        EXPECT_EQ(std::string(error.what())
                      .rfind("The rule file \"" + file.path() + "\" is locked by another process", 0),
                  0u)
            << error.what();
    }
    ASSERT_EQ(heard_.size(), 1u);
    EXPECT_EQ(heard_[0].number, -32548);
    holder.LetGo();

    file.lock(-5ms); // below zero: one try
    EXPECT_TRUE(std::filesystem::exists(lockFile));
    file.unlock();
    EXPECT_FALSE(std::filesystem::exists(lockFile));
}

} // namespace
