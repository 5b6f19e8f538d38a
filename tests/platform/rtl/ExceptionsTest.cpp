#include "platform/rtl/Exceptions.h"

#include <gtest/gtest.h>

TEST(Exceptions, RaiseRecordsClassFileAndLine)
{
    int line = 0;
    try {
        line = __LINE__ + 1;
        RAISE(EFOpenError("Cannot open file \"x\""));
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message, "Cannot open file \"x\"");
        EXPECT_EQ(e.ClassName(), "EFOpenError");
        EXPECT_TRUE(e.InheritsFrom("Exception"));
        EXPECT_TRUE(e.InheritsFrom("EStreamError"));
        EXPECT_FALSE(e.InheritsFrom("EConvertError"));
    }
    EXPECT_EQ(LastThrowSite().ClassName, "EFOpenError");
    EXPECT_EQ(LastThrowSite().Line, line);
    EXPECT_NE(std::string(LastThrowSite().File).find("ExceptionsTest.cpp"), std::string::npos);
}

TEST(Exceptions, Win32ErrorIsAnOSErrorWithItsCode)
{
    EWin32Error error("Win32 Error.  Code: 2.\nx");
    error.ErrorCode = 2;
    try {
        RAISE(error);
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ClassName(), "EWin32Error");
        EXPECT_TRUE(e.InheritsFrom("EOSError"));
        EXPECT_EQ(e.ErrorCode, 2u);
    }
}

namespace {

[[gnu::noinline]] void RaiseFromHere()
{
    RAISE(EConvertError("fuori"));
}

} // namespace

TEST(Exceptions, RaiseRecordsAnAddressInsideTheRaisingFunction)
{
    EXPECT_THROW(RaiseFromHere(), EConvertError);
    const auto* start = reinterpret_cast<const char*>(&RaiseFromHere);
    const auto* address = static_cast<const char*>(LastThrowSite().Address);
    ASSERT_NE(address, nullptr);
    // Past the function's entry and well before anything a few functions further on.
    EXPECT_GT(address, start);
    EXPECT_LT(address - start, 1024);
}
