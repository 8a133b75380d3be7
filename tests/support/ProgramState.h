// The one reset of the program's global state between tests.
#pragma once

#include "engine/Analize.h"
#include "settings/Prefs.h"

// The preferences at their defaults (no formula), the X step, no formula tree, no times.
inline void ResetProgramState() {
    gPrefs = _PrefsStruct{};
    InitGVars();
    g_hRoot = DeleteTree(g_hRoot);
    g_DrawingTime = 0.0;
    g_ExportingTime = 0.0;
}
