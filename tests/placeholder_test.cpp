#include "tests/TestSupport.h"
TEST(Placeholder, Builds) { SUCCEED(); }
