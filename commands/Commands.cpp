#include "commands/Commands.h"

#include "engine/Analize.h"
#include "settings/Prefs.h"
#include "settings/W_prefs.h"

void LoadStartPreferences() {
    InitGVars();
    ReadPreferences();
}

bool ParseRestoredFormula() {
    if (gPrefs.UserFnStr[0] == '\0') {
        return false;
    }
    ManageTree();
    return true;
}

bool AcceptFormulaText(const char* text) {
    SetFormulaText(text);
    return ParenthesesAccepted(gPrefs.UserFnStr);
}
