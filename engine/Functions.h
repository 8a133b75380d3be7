// The seventeen functions of the formula language with their domain tests, and the one table
// that names them and gives each its code. The parser takes the names from it, the traced tree
// walk and the compiled program the functions, so that both give the same bits.
#pragma once

#include <cmath>
#include <cstdint>
#include <string_view>

// A function applied outside its domain yields this value and raises the error flag.
constexpr double kEvalErrorValue = -1.0e200;

// Each function takes its argument and the error flag. The domain tests are written so that a
// NaN argument fails them; the cotangent's is the exception, as it tests the tangent for zero
// and a NaN tangent passes, and several functions have no test at all.
using FormulaFunction = double (*)(double v, int32_t& error);

namespace functions {

inline double Fail(int32_t& error) {
    error = 1;
    return kEvalErrorValue;
}
inline double ArcSinh(double v, int32_t&) {
    return std::asinh(v);
}
inline double ArcSin(double v, int32_t& e) {
    return v >= -1.0 && v <= 1.0 ? std::asin(v) : Fail(e);
}
inline double ArcCosh(double v, int32_t& e) {
    return v >= 1.0 ? std::acosh(v) : Fail(e);
}
inline double ArcCos(double v, int32_t& e) {
    return v >= -1.0 && v <= 1.0 ? std::acos(v) : Fail(e);
}
inline double ArcTanh(double v, int32_t& e) {
    return v > -1.0 && v < 1.0 ? std::atanh(v) : Fail(e);
}
inline double ArcTan(double v, int32_t&) {
    return std::atan(v);
}
inline double CTan(double v, int32_t& e) {
    const double t = std::tan(v);
    return t == 0.0 ? Fail(e) : 1.0 / t;
}
inline double Tanh(double v, int32_t&) {
    return std::tanh(v);
}
inline double Tan(double v, int32_t&) {
    return std::tan(v);
}
inline double Sinh(double v, int32_t&) {
    return std::sinh(v);
}
inline double Sin(double v, int32_t&) {
    return std::sin(v);
}
inline double Cosh(double v, int32_t&) {
    return std::cosh(v);
}
inline double Cos(double v, int32_t&) {
    return std::cos(v);
}
inline double Log(double v, int32_t& e) {
    return v > 0.0 ? std::log(v) : Fail(e);
}
inline double Sqrt(double v, int32_t& e) {
    return v >= 0.0 ? std::sqrt(v) : Fail(e);
}
inline double Abs(double v, int32_t&) {
    return v > 0.0 ? v : -v;
}  // so ABS(0) is -0.0
inline double Exp(double v, int32_t&) {
    return std::exp(v);
}
inline double Unknown(double, int32_t&) {
    return 0.0;
}

}  // namespace functions

struct FunctionEntry {
    const char* name;
    FormulaFunction function;
};

// The functions in code order: a function's code is its position counted from 1. The parser
// replaces the names in this order, so a longer name stands before every shorter name it
// contains ("ARCTAN" before "CTAN" and "TAN") and is consumed whole.
constexpr FunctionEntry kFunctions[] = {
    {"ARCSINH", functions::ArcSinh}, {"ARCSIN", functions::ArcSin},
    {"ARCCOSH", functions::ArcCosh}, {"ARCCOS", functions::ArcCos},
    {"ARCTANH", functions::ArcTanh}, {"ARCTAN", functions::ArcTan},
    {"CTAN", functions::CTan},       {"TANH", functions::Tanh},
    {"TAN", functions::Tan},         {"SINH", functions::Sinh},
    {"SIN", functions::Sin},         {"COSH", functions::Cosh},
    {"COS", functions::Cos},         {"LOG", functions::Log},
    {"SQRT", functions::Sqrt},       {"ABS", functions::Abs},
    {"EXP", functions::Exp},
};

constexpr int kTokenCount = static_cast<int>(sizeof kFunctions / sizeof kFunctions[0]);

// The codes are bytes of the normalised formula text; below the blank they cannot be taken for
// a printable character of a formula.
static_assert(kTokenCount < ' ', "function codes must stay control characters");

// True when no name contains, or repeats, a name that stands before it: the parser would replace
// that earlier name first, and the later name would be cut up or never found.
constexpr bool LongerNamesComeFirst() {
    for (int later = 1; later < kTokenCount; ++later) {
        const std::string_view name = kFunctions[later].name;
        for (int earlier = 0; earlier < later; ++earlier) {
            if (name.find(kFunctions[earlier].name) != std::string_view::npos) {
                return false;
            }
        }
    }
    return true;
}
static_assert(LongerNamesComeFirst(), "a name must stand before every shorter name it contains");

// Deliberately not constexpr: CodeOf reaches it only for a name missing from the table, and in a
// constant expression that stops the compilation (also where exceptions are switched off, as in
// the WebAssembly build, which cannot compile a throw).
inline char NoFunctionHasThisName() {
    return 0;
}

// The code of the function of that name. Taken in a constant expression, a name missing from
// the table stops the compilation.
constexpr char CodeOf(std::string_view name) {
    for (int i = 0; i < kTokenCount; ++i) {
        if (name == kFunctions[i].name) {
            return static_cast<char>(i + 1);
        }
    }
    return NoFunctionHasThisName();
}

inline FormulaFunction FunctionFor(char code) {
    return code >= 1 && code <= kTokenCount ? kFunctions[code - 1].function : functions::Unknown;
}

inline double ApplyFunction(char code, double v, int32_t& error) {
    return FunctionFor(code)(v, error);
}

// Plain IEEE arithmetic: a zero divisor gives an infinity or a NaN, never an error.
inline double ApplyOperator(char op, double left, double right) {
    switch (op) {
        case '+':
            return left + right;
        case '-':
            return left - right;
        case '*':
            return left * right;
        case '/':
            return left / right;
        default:
            return 0.0;
    }
}
