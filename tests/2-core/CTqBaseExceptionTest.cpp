// The exported exception base class.
#include "include/ostak.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <typeinfo>

namespace {

// A concrete exception for the exported base class.
class TextException : public CTqBaseException {
  public:
    explicit TextException(const char *text) : text_(const_cast<char *>(text)) {}
    char *GetMessageText() override { return text_; }

  private:
    char *text_;
};

TEST(FrameBaseException, DereferenceGivesTheTextAndCopiesCopyNothing) {
    TextException first("first");
    TextException second("second");
    EXPECT_STREQ(*first, "first");
    CTqBaseException &base = second;
    EXPECT_STREQ(*base, "second");
    static_cast<CTqBaseException &>(first) = base; // the base copies nothing
    EXPECT_STREQ(*first, "first");
    EXPECT_STREQ(typeid(CTqBaseException).name(), "16CTqBaseException");
    EXPECT_TRUE(std::has_virtual_destructor<CTqBaseException>::value);
    EXPECT_TRUE(std::is_abstract<CTqBaseException>::value);
}

} // namespace
