// Helpers for tests that parse and evaluate formulas through the program's own globals.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/Analize.h"
#include "engine/Eval.h"
#include "plot/Draw.h"
#include "settings/Prefs.h"

// Parses text as the formula dialog would hand it over.
inline void ParseFormula(const std::string& text) {
    ParseFormulaText(text.c_str());
}

// A tree as a compact text: operators as (op left right), functions as NAME(arg), "_" for an
// absent part.
inline std::string Describe(const _FNCNODE* node) {
    if (node == nullptr) {
        return "_";
    }
    switch (node->Type) {
        case IsAnX:
            return "X";
        case IsAValue: {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.17g", node->Value);
            return buffer;
        }
        case IsAToken:
            return std::string(StrTok[node->OperatorOrToken - 1]) + "(" + Describe(node->Left) +
                   ")";
        case IsAnOperator:
            return std::string("(") + node->OperatorOrToken + " " + Describe(node->Left) + " " +
                   Describe(node->Right) + ")";
    }
    return "?";
}

// Every test starts from the defaults with no tree and leaves no tree behind.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetToStartState(); }
    void TearDown() override { g_hRoot = DeleteTree(g_hRoot); }
};
