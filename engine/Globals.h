// The formula tree record, the function-name table and the engine's program-wide globals.
#pragma once

#include <cstdint>

#include "app/Common.h"

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

constexpr int kTokenCount = 17;
constexpr int kFormulaCapacity = 256;  // 255 characters and the terminator

// Function codes are positions in StrTok counted from 1; a longer name always stands before
// every shorter name it contains, so that substitution consumes it whole.
extern const char* const StrTok[kTokenCount];

enum TokenCode : char {
    kArcSinh = 1,
    kArcSin,
    kArcCosh,
    kArcCos,
    kArcTanh,
    kArcTan,
    kCTan,
    kTanh,
    kTan,
    kSinh,
    kSin,
    kCosh,
    kCos,
    kLog,
    kSqrt,
    kAbs,
    kExp,
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
