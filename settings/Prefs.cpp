#include "settings/Prefs.h"

_PrefsStruct gPrefs = {};
const QRect InitialRect = {40, 30, 430, 430};
double g_DeltaX = 0.0;

void InitPrefs() {
    gPrefs.MinX = -100.0;
    gPrefs.MaxX = 100.0;
    gPrefs.Iterations = 10000;
    gPrefs.bEnableParsingDebug = 0;
    gPrefs.bEnableEvalDebug = 0;
    gPrefs.bAutoScaleX = 1;
    gPrefs.bAutoScaleY = 1;
    gPrefs.bDontDraw = 0;
    gPrefs.bSaveWinPos = 0;
    gPrefs.WPosRect = InitialRect;
    gPrefs.DecimalPoint[0] = '.';
    gPrefs.DecimalPoint[1] = '\0';
}

void ComputeDeltaX() {
    g_DeltaX = (gPrefs.MaxX - gPrefs.MinX) / static_cast<double>(gPrefs.Iterations);
}

void InitGVars() {
    InitPrefs();
    ComputeDeltaX();
}
