#include "Conversions.h"
#include "platform/Types.h"

#include <gtest/gtest.h>

using namespace pindrel;

TEST(Conversions, TrimAndLowerCase) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\ta\t"), "\ta\t");
    EXPECT_EQ(Trim("    "), "");
    EXPECT_EQ(LCase("-S \xC9T\xC9 \xD7"), "-s \xE9t\xE9 \xD7");
}

TEST(Conversions, TextToLongRoundsHalvesToEvenAndChecksTheFormAndTheRange) {
    constexpr std::int64_t kMismatch = -1'000'000'000'000, kOverflow = 1'000'000'000'000;
    // clang-format off
    const std::pair<const char*, std::int64_t> rows[] = {
        {"12.5", 12}, {"13.5", 14}, {"-2.5", -2}, {"-3.5", -4}, {"2.51", 3}, {" -80 ", -80},
        {"+7", 7}, {"1.", 1}, {".5", 0}, {"-.5", 0}, {"007", 7}, {"2147483647.4", INT32_MAX},
        {"-2147483648.5", INT32_MIN}, {"2147483647.5", kOverflow}, {"-2147483648.51", kOverflow},
        {"", kMismatch}, {" ", kMismatch}, {"abc", kMismatch}, {"1.2.3", kMismatch},
        {"1e5", kMismatch}, {"0x10", kMismatch}, {"--1", kMismatch}, {"1-", kMismatch},
        {"- 1", kMismatch}, {".", kMismatch}, {"-", kMismatch}, {"1 2", kMismatch},
        {"\t5", kMismatch}};
    // clang-format on
    for (const auto& [text, expected] : rows) {
        std::int64_t got = 0;
        try {
            got = TextToLong(text);
        } catch (const Failure& f) {
            got = f.number() == errors::kOverflow       ? kOverflow
                  : f.number() == errors::kTypeMismatch ? kMismatch
                                                        : f.number();
        }
        EXPECT_EQ(got, expected) << '"' << text << '"';
    }
    EXPECT_EQ(DoubleToLong(511.5), 512);
    EXPECT_EQ(DoubleToLong(512.5), 512);
    EXPECT_THROW(DoubleToLong(1e12), Failure);
}

TEST(Conversions, NumbersAsText) {
    EXPECT_EQ(LongToText(INT32_MIN), "-2147483648");
    EXPECT_EQ(SingleToText(1024.0f), "1024");
    EXPECT_EQ(SingleToText(28800.0f / 7.5f), "3840");
    EXPECT_EQ(SingleToText(1365.5f), "1365.5");
    EXPECT_EQ(SingleToText(4096.0f / 3.0f), "1365.333");
}
