// The preferences record, its built-in defaults and the X step derived from it.
#pragma once

#include <cstdint>

#include "app/Common.h"

struct _PrefsStruct {
    char UserFnStr[256];
    double MinX;
    double MaxX;
    uint32_t Iterations;
    int32_t bEnableParsingDebug;
    int32_t bEnableEvalDebug;
    int32_t bAutoScaleX;
    int32_t bAutoScaleY;
    int32_t bDontDraw;
    int32_t bSaveWinPos;
    QRect WPosRect;
    char DecimalPoint[2];
};

extern _PrefsStruct gPrefs;
extern const QRect InitialRect;
extern double g_DeltaX;

void InitPrefs();
void InitGVars();
// g_DeltaX = (MaxX - MinX) / Iterations.
void ComputeDeltaX();
