// The formula tree record, the function-name table and the engine's program-wide globals.
#pragma once

#include <array>
#include <cstdint>

#include "platform/Common.h"
#include "engine/Functions.h"
#include "settings/Prefs.h"

enum NodeTypes : uint8_t {
    IsAToken = 1,      // a function applied to Left
    IsAnOperator = 2,  // Left op Right
    IsAValue = 3,      // a constant
    IsAnX = 4,         // the variable
};

struct _FNCNODE {
    char OperatorOrToken;  // operator character, function code 1..17, 'N' or 'X'
    double Value;
    _FNCNODE* Left;
    _FNCNODE* Right;
    NodeTypes Type;
};

// The function names indexed by code - 1, taken from kFunctions.
constexpr std::array<const char*, kTokenCount> FunctionNames() {
    std::array<const char*, kTokenCount> names{};
    for (int i = 0; i < kTokenCount; ++i) {
        names[i] = kFunctions[i].name;
    }
    return names;
}
inline constexpr std::array<const char*, kTokenCount> StrTok = FunctionNames();

// Each code found by its name, so that it follows its function when the table changes.
enum TokenCode : char {
    kArcSinh = CodeOf("ARCSINH"),
    kArcSin = CodeOf("ARCSIN"),
    kArcCosh = CodeOf("ARCCOSH"),
    kArcCos = CodeOf("ARCCOS"),
    kArcTanh = CodeOf("ARCTANH"),
    kArcTan = CodeOf("ARCTAN"),
    kCTan = CodeOf("CTAN"),
    kTanh = CodeOf("TANH"),
    kTan = CodeOf("TAN"),
    kSinh = CodeOf("SINH"),
    kSin = CodeOf("SIN"),
    kCosh = CodeOf("COSH"),
    kCos = CodeOf("COS"),
    kLog = CodeOf("LOG"),
    kSqrt = CodeOf("SQRT"),
    kAbs = CodeOf("ABS"),
    kExp = CodeOf("EXP"),
};

extern _FNCNODE* g_hRoot;
extern char g_szInternalFn[kFormulaCapacity];
extern int32_t g_bOnErrorNotDraw;

extern double g_x;
extern int32_t g_fEvalError;

// Durations of the last drawing pass and the last export, in seconds.
extern double g_DrawingTime;
extern double g_ExportingTime;

// The main window: target of redraw requests and owner of the help message.
extern QWnd g_MainWnd;
