// The lenient number readers used on child output.
#include "redirect/NumberText.h"

#include <gtest/gtest.h>

#include <climits>

TEST(NumberText, IntegersReadLikeTheRuntime) {
    EXPECT_EQ(ReadInt(L"  42abc"), 42);
    EXPECT_EQ(ReadInt(L"-7"), -7);
    EXPECT_EQ(ReadInt(L"+8"), 8);
    EXPECT_EQ(ReadInt(L"ab"), 0);
    EXPECT_EQ(ReadInt(L""), 0);
    EXPECT_EQ(ReadInt(L"5702.50"), 5702);
    EXPECT_EQ(ReadInt(L"99999999999999"), INT_MAX);
    EXPECT_EQ(ReadInt(L"-99999999999999"), INT_MIN);
}

TEST(NumberText, DecimalsStopAtTheFirstCharacterThatCannotContinue) {
    EXPECT_DOUBLE_EQ(ReadDouble(L"23.976\r\nID_LENGTH=1.0"), 23.976);
    EXPECT_DOUBLE_EQ(ReadDouble(L" 25\r\n"), 25.0);
    EXPECT_DOUBLE_EQ(ReadDouble(L"-1.5e2x"), -150.0);
    EXPECT_DOUBLE_EQ(ReadDouble(L"3e"), 3.0);
    EXPECT_DOUBLE_EQ(ReadDouble(L".5"), 0.5);
    EXPECT_DOUBLE_EQ(ReadDouble(L"."), 0.0);
    EXPECT_DOUBLE_EQ(ReadDouble(L"inf"), 0.0);
}
