// The commands every front end runs the same way, in the steps the window's start and its
// formula dialog take: the preferences at start, the restored formula, a formula typed.
#pragma once

#include <cstdint>

// The start's preferences: the built-in defaults and the X step, then Quorvy.ini over them.
void LoadStartPreferences();
// The formula restored from Quorvy.ini parsed as at start; false, parsing nothing, when it is
// empty. The range pass is the caller's to run when it shows its window.
bool ParseRestoredFormula();
// OK in the formula dialog: the text, cut to the 255 characters the record holds, goes into the
// preferences at once; true when its parentheses balance, else their message was shown and the
// dialog stays open. The caller parses an accepted formula with ManageTree.
bool AcceptFormulaText(const char* text);

// A new X range as the settings dialog's OK gives it, with the same checks and messages: the
// count, the switches and the formula stay. True when committed; a refused range is not taken.
bool CommitXRange(double minX, double maxX);

// Zoom and pan. A change of view starts from the range on screen; each of its steps gives the
// whole change since then (zoom by factor around column, then a move by panColumns), so that
// the last step alone decides the range. True when the step's range was committed.
void BeginViewChange();
bool ChangeView(double column, int32_t width, double factor, double panColumns);
// The range last set in Settings (or read at start), to which Reset view returns.
void NoteSettingsRange();
bool ResetView();

// The X that pixel column of a plot width columns wide shows and the formula's value there, by
// the evaluator; false where the formula is undefined. The evaluation's trace stays off and the
// plot's state is left as it was.
bool ValueAtColumn(double column, int32_t width, double* x, double* y);
