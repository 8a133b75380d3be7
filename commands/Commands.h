// The commands every front end runs the same way, in the steps the window's start and its
// formula dialog take: the preferences at start, the restored formula, a formula typed.
#pragma once

// The start's preferences: the built-in defaults and the X step, then Quorvy.ini over them.
void LoadStartPreferences();
// The formula restored from Quorvy.ini parsed as at start; false, parsing nothing, when it is
// empty. The range pass is the caller's to run when it shows its window.
bool ParseRestoredFormula();
// OK in the formula dialog: the text, cut to the 255 characters the record holds, goes into the
// preferences at once; true when its parentheses balance, else their message was shown and the
// dialog stays open. The caller parses an accepted formula with ManageTree.
bool AcceptFormulaText(const char* text);
