#include "platform/NumberText.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>

namespace {

constexpr double kTwoTo53 = 9007199254740992.0;
constexpr uint64_t kBillion = 1000000000;

// mantissa * 10^9 (mantissa < 2^53) as a 128-bit number in two halves.
struct Product {
    uint64_t hi;
    uint64_t lo;
};

Product TimesBillion(uint64_t mantissa) {
    const uint64_t low = (mantissa & 0xFFFFFFFFu) * kBillion;  // < 2^62
    const uint64_t high = (mantissa >> 32) * kBillion;         // < 2^51, weighs 2^32
    Product p;
    p.lo = low + (high << 32);
    p.hi = (high >> 32) + (p.lo < low ? 1 : 0);
    return p;
}

// A finite non-negative double as mantissa / 2^shift, read from its bits (no library call:
// conversions of 64-bit integers are calls on 32-bit Windows).
void Decompose(double value, uint64_t* mantissa, int* shift) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>(bits >> 52) & 0x7FF;
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    *mantissa = biased == 0 ? fraction : fraction | (uint64_t{1} << 52);
    *shift = biased == 0 ? 1074 : 1075 - biased;
}

// A whole number below 2^53 as an integer.
uint64_t WholeOf(double whole) {
    if (whole < 2147483648.0) {
        return static_cast<uint32_t>(static_cast<int32_t>(whole));
    }
    uint64_t mantissa;
    int shift;
    Decompose(whole, &mantissa, &shift);
    return mantissa >> shift;  // shift is between 0 and 21 here, and the bits below are zero
}

// fraction (0 <= fraction < 1) times 10^9, rounded to the nearest integer, ties to even.
uint32_t NineDecimals(double fraction) {
    if (fraction == 0.0) {
        return 0;
    }
    uint64_t mantissa;
    int shift;
    Decompose(fraction, &mantissa, &shift);  // shift >= 53
    if (shift > 84) {
        return 0;  // the product stays below half a unit
    }
    const Product p = TimesBillion(mantissa);
    // Keep one bit below the unit for rounding, and whether anything lies below that bit.
    const int below = shift - 1;
    uint64_t kept;
    bool sticky;
    if (below >= 64) {
        kept = p.hi >> (below - 64);
        sticky = p.lo != 0 || (p.hi & ((uint64_t{1} << (below - 64)) - 1)) != 0;
    } else {
        kept = (p.hi << (64 - below)) | (p.lo >> below);
        sticky = (p.lo & ((uint64_t{1} << below) - 1)) != 0;
    }
    uint32_t digits = static_cast<uint32_t>(kept >> 1);  // below 10^9 + 1
    const bool half = (kept & 1) != 0;
    if (half && (sticky || (digits & 1) != 0)) {
        ++digits;
    }
    return digits;
}

// "00" to "99": the digits are written two at a time, halving the divisions.
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// The last count digits of value, with leading zeros. Divisions stay in 32 bits: a 64-bit
// division is a library call on 32-bit Windows.
void WriteDigits(char* out, uint32_t value, int count) {
    while (count >= 2) {
        count -= 2;
        const uint32_t pair = value % 100;
        value /= 100;
        std::memcpy(out + count, &kDigitPairs[2 * pair], 2);
    }
    if (count == 1) {
        out[0] = static_cast<char>('0' + value % 10);
    }
}

int DigitCount(uint32_t value) {
    int n = 1;
    for (uint32_t limit = 10; n < 10 && value >= limit; limit *= 10) {
        ++n;
    }
    return n;
}

char* WriteUnsigned(char* out, uint64_t value) {
    if (value >= kBillion) {
        const uint32_t high = static_cast<uint32_t>(value / kBillion);  // below 2^24
        const uint32_t low = static_cast<uint32_t>(value - uint64_t{high} * kBillion);
        const int n = DigitCount(high);
        WriteDigits(out, high, n);
        WriteDigits(out + n, low, 9);
        return out + n + 9;
    }
    const uint32_t small = static_cast<uint32_t>(value);
    const int n = DigitCount(small);
    WriteDigits(out, small, n);
    return out + n;
}

}  // namespace

size_t FormatFixed9(char* out, double value) {
    if (!(std::fabs(value) < kTwoTo53)) {
        return 0;
    }
    const double magnitude = std::fabs(value);
    // For non-negative values truncation is the floor; in 32 bits it needs no library call.
    const double whole = magnitude < 2147483648.0
                             ? static_cast<double>(static_cast<int32_t>(magnitude))
                             : std::floor(magnitude);
    uint64_t integer = WholeOf(whole);
    uint32_t decimals = NineDecimals(magnitude - whole);  // the subtraction is exact
    if (decimals == kBillion) {
        ++integer;
        decimals = 0;
    }
    char* p = out;
    if (std::signbit(value)) {
        *p++ = '-';
    }
    p = WriteUnsigned(p, integer);
    *p++ = '.';
    WriteDigits(p, decimals, 9);
    p += 9;
    return static_cast<size_t>(p - out);
}

void FormatNumber(char* out, size_t size, double value, int width, int precision) {
    const int fixed = std::snprintf(out, size, "%*.*f", width, precision, value);
    if (fixed >= 0 && static_cast<size_t>(fixed) < size) {
        return;
    }
    std::snprintf(out, size, "%*.*e", width, precision, value);
}

void FormatNumberLine(char* out, size_t size, const char* before, double value, int width,
                      int precision, const char* after) {
    const size_t beforeLength = std::strlen(before);
    const size_t afterLength = std::strlen(after);
    const size_t room = size - beforeLength - afterLength;  // for the number and the NUL
    std::memcpy(out, before, beforeLength);
    FormatNumber(out + beforeLength, room, value, width, precision);
    const size_t numberLength = std::strlen(out + beforeLength);
    std::memcpy(out + beforeLength + numberLength, after, afterLength + 1);
}

void FormatRangeEnd(char* out, size_t size, double value, int precision) {
    if (size < 2) {
        return;
    }
    FormatNumber(out, size - 1, value, 9, precision);
    const size_t length = std::strlen(out);
    out[length] = ' ';
    out[length + 1] = '\0';
}
