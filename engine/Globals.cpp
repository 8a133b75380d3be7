#include "engine/Globals.h"

_FNCNODE* g_hRoot = nullptr;
char g_szInternalFn[kFormulaCapacity] = "";
int32_t g_bOnErrorNotDraw = 0;

double g_x = 0.0;
int32_t g_fEvalError = 0;

double g_DrawingTime = 0.0;
double g_ExportingTime = 0.0;

QWnd g_MainWnd = nullptr;
