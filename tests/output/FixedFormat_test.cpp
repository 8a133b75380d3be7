#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "output/FixedFormat.h"

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

TEST(FixedFormat, ChosenValues) {
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

TEST(FixedFormat, TiesGoToEven) {
    // k / 2^10 has exactly ten decimals ending in 5 when k is odd: every one is a tie
    for (int k = 1; k < 2048; k += 2) {
        ExpectSameAsPrintf(k / 1024.0);
        ExpectSameAsPrintf(-k / 1024.0 - 3.0);
    }
}

TEST(FixedFormat, RandomValuesOfEveryMagnitude) {
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int> exponent(-40, 52);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    for (int i = 0; i < 300000; ++i) {
        ExpectSameAsPrintf(std::ldexp(mantissa(rng), exponent(rng)));
    }
}

TEST(FixedFormat, TheXWalkOfTheDefaults) {
    for (double x = -100.0; x < 100.0; x += 0.02) {
        ExpectSameAsPrintf(x);
        ExpectSameAsPrintf(2 * std::sin(x) * x);
    }
}

TEST(FixedFormat, LeavesLargeAndNonFiniteValuesToPrintf) {
    char buffer[kFixed9Size] = "untouched";
    const double values[] = {9007199254740992.0, -1e300, std::numeric_limits<double>::infinity(),
                             std::nan("")};
    for (double v : values) {
        EXPECT_EQ(FormatFixed9(buffer, v), 0u) << v;
    }
    EXPECT_STREQ(buffer, "untouched");
}

}  // namespace
