#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "platform/NumberText.h"

namespace {

std::string Printf(double v) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%9.9f", v);
    return buffer;
}

std::string Fast(double v) {
    char buffer[kFixed9Size];
    const size_t n = FormatFixed9(buffer, v);
    return std::string(buffer, n);
}

void ExpectSameAsPrintf(double v) {
    ASSERT_EQ(Fast(v), Printf(v)) << std::hexfloat << v;
}

TEST(FormatFixed9, ChosenValues) {
    const double values[] = {
        0.0,
        -0.0,
        1.0,
        -1.0,
        0.5,
        -100.0,
        100.0,
        99.99999999999986,
        0.1,
        0.02,
        1e-9,
        5e-10,
        -5e-10,
        1.5e-9,
        2.5e-9,
        0.0009765625,  // 976562.5 units: a tie
        0.9999999995,
        0.99999999949999,
        9007199254740991.0,
        4503599627370495.5,
        1e-300,
        -1e-12,
        123456.123456789,
        2.0000000005,
        std::ldexp(1.0, -30),
        std::ldexp(3.0, -31),
        std::nextafter(1.0, 0.0),
        std::numeric_limits<double>::denorm_min(),
    };
    for (double v : values) {
        ExpectSameAsPrintf(v);
    }
}

TEST(FormatFixed9, TiesGoToEven) {
    // k / 2^10 has exactly ten decimals ending in 5 when k is odd: every one is a tie
    for (int k = 1; k < 2048; k += 2) {
        ExpectSameAsPrintf(k / 1024.0);
        ExpectSameAsPrintf(-k / 1024.0 - 3.0);
    }
}

TEST(FormatFixed9, RandomValuesOfEveryMagnitude) {
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int> exponent(-40, 52);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    for (int i = 0; i < 300000; ++i) {
        ExpectSameAsPrintf(std::ldexp(mantissa(rng), exponent(rng)));
    }
}

TEST(FormatFixed9, TheXWalkOfTheDefaults) {
    for (double x = -100.0; x < 100.0; x += 0.02) {
        ExpectSameAsPrintf(x);
        ExpectSameAsPrintf(2 * std::sin(x) * x);
    }
}

TEST(FormatFixed9, LeavesLargeAndNonFiniteValuesToPrintf) {
    char buffer[kFixed9Size] = "untouched";
    const double values[] = {9007199254740992.0, -1e300, std::numeric_limits<double>::infinity(),
                             std::nan("")};
    for (double v : values) {
        EXPECT_EQ(FormatFixed9(buffer, v), 0u) << v;
    }
    EXPECT_STREQ(buffer, "untouched");
}

TEST(FormatNumber, FixedWhenItFitsElseExponent) {
    const struct {
        double value;
        int width;
        int precision;
        size_t size;
        const char* text;
    } cases[] = {
        {-10, 9, 0, 100, "      -10"},     {0.02, 9, 3, 100, "    0.020"},
        {1e120, 9, 4, 100, "1.0000e+120"}, {-2e120, 9, 4, 100, "-2.0000e+120"},
        {123456, 3, 2, 9, "1.23e+05"},  // "123456.00" needs ten bytes
    };
    for (const auto& c : cases) {
        char out[100];
        FormatNumber(out, c.size, c.value, c.width, c.precision);
        EXPECT_STREQ(out, c.text) << c.value;
    }
}

TEST(FormatRangeEnd, NineWideThenABlankInSixtyFourBytes) {
    const struct {
        double value;
        int precision;
        const char* text;
    } cases[] = {
        {-100, 3, " -100.000 "}, {100, 3, "  100.000 "},    {0.0004, 3, "    0.000 "},
        {-100, 0, "     -100 "}, {-1e60, 3, "-1.000e+60 "},  // "%9.3f" would need 66 bytes
    };
    for (const auto& c : cases) {
        char out[64];
        FormatRangeEnd(out, sizeof out, c.value, c.precision);
        EXPECT_STREQ(out, c.text) << c.value;
    }
    char tiny[1] = {'x'};
    FormatRangeEnd(tiny, sizeof tiny, 1.0, 3);  // no room even for the blank: left alone
    EXPECT_EQ(tiny[0], 'x');
}

}  // namespace
