#include "settings/SetGetD.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void FormatFieldDouble(char (&buffer)[kFieldBufferSize], double value) {
    std::memset(buffer, 0, sizeof buffer);
    std::snprintf(buffer, sizeof buffer, "%e", value);
}

void FormatFieldLong(char (&buffer)[kFieldBufferSize], int32_t value) {
    std::memset(buffer, 0, sizeof buffer);
    std::snprintf(buffer, sizeof buffer, "%ld", static_cast<long>(value));
}

double ParseFieldDouble(const char* text) {
    return std::strtod(text, nullptr);
}

long long LeadingInteger(const char* text) {
    return std::strtoll(text, nullptr, 10);
}

int32_t ParseFieldLong(const char* text) {
    const long long value = LeadingInteger(text);
    return value < INT32_MIN   ? INT32_MIN
           : value > INT32_MAX ? INT32_MAX
                               : static_cast<int32_t>(value);
}
