// Formula evaluator: the value of the current tree at one X, with the error flag for points
// where the formula is undefined.
#pragma once

#include <cmath>

#include "engine/Globals.h"

// Sets g_x, clears g_fEvalError, returns the value of g_hRoot (0.0 when there is no tree).
double Evaluate_Tree(double x);

// The named steps of the evaluation, exported so that each can be measured on its own: the tree
// walk and the evaluation trace; Evaluate_Tree runs a compiled copy of the tree instead while
// the trace is off.
double Evaluate_SubTree(const _FNCNODE* subtree);
double CalcOnToken(char T, double thisValue);
double ProcessOperator(char O, double LeftArg, double RightArg);
void DebugEvaluate(const char* title, double val);
void DebugSymbol(const char* title, double val, char tok);

// What the range pass, the drawing pass and the export count as a point without a value: a
// raised error flag, or a result that is infinite or not a number (1/X at 0, EXP(1000)).
inline bool IsUndefinedSample(double y) {
    return g_fEvalError != 0 || !std::isfinite(y);
}
