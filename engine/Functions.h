// The seventeen functions of the formula language with their domain tests. Shared by the
// traced tree walk and the compiled program so that both give the same bits.
#pragma once

#include <cmath>
#include <cstdint>

#include "engine/Globals.h"

// A function applied outside its domain yields this value and raises the error flag.
constexpr double kEvalErrorValue = -1.0e200;

// Each function takes its argument and the error flag; the domain tests are written so that
// a NaN argument fails them, except where a function has no test at all.
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

// Indexed by function code; index 0 is no function.
constexpr FormulaFunction kFunctionTable[kTokenCount + 1] = {
    functions::Unknown, functions::ArcSinh, functions::ArcSin, functions::ArcCosh,
    functions::ArcCos,  functions::ArcTanh, functions::ArcTan, functions::CTan,
    functions::Tanh,    functions::Tan,     functions::Sinh,   functions::Sin,
    functions::Cosh,    functions::Cos,     functions::Log,    functions::Sqrt,
    functions::Abs,     functions::Exp,
};

inline FormulaFunction FunctionFor(char code) {
    return code >= 1 && code <= kTokenCount ? kFunctionTable[static_cast<int>(code)]
                                            : functions::Unknown;
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
