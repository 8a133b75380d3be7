#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/Formula.h"
#include "support/MessageCapture.h"

namespace {

const std::string kEmpty = "Espressione VUOTA!?";
const std::string kUnknown = "Che espressione hai digitato?";
const std::string kTooLong = "Espressione troppol lunga";

using AnalizeTest = EngineTest;

struct TreeCase {
    const char* formula;
    const char* tree;
};

TEST_F(AnalizeTest, SpellingsOfOneFormulaGiveOneTree) {
    const char* spellings[] = {"sin(x)", "Sin(X)", "SIN (X)", "s i n ( x )", "SIN(X)", "sIn(x)"};
    for (const char* formula : spellings) {
        ParseFormula(formula);
        EXPECT_EQ(Describe(g_hRoot), "SIN(X)") << formula;
    }
    ParseFormula("x");
    EXPECT_EQ(Describe(g_hRoot), "X");
}

TEST_F(AnalizeTest, WorkedTrees) {
    const TreeCase cases[] = {
        {"-x+1", "(+ (- 0 X) 1)"},
        {"2sin(x)*x", "(* (* 2 SIN(X)) X)"},
        {"8/4/2", "(/ (/ 8 4) 2)"},
        {"1-2+3", "(+ (- 1 2) 3)"},
        {"10-2-3", "(- (- 10 2) 3)"},
        {"8/2*4", "(* (/ 8 2) 4)"},
        {"1/2X", "(/ 1 (* 2 X))"},
        {"X2", "(* X 2)"},
        {"XX", "(* X X)"},
        {"2(X+1)", "(* 2 (+ X 1))"},
        {"X(X+1)", "(* X (+ X 1))"},
        {"SINX", "SIN(X)"},
        {"SIN2X", "SIN((* 2 X))"},
        {"SIN(X)*2", "(* SIN(X) 2)"},
        {"SINX*2", "(* SIN(X) 2)"},
        {"SIN X+1", "(+ SIN(X) 1)"},
        {"(X)", "X"},
        {"((X))", "X"},
        {"007", "7"},
        {"16777217", "16777217"},
        {"ARCTAN(X)", "ARCTAN(X)"},
        {"ARCSINH(X)", "ARCSINH(X)"},
        {"COSH(X)", "COSH(X)"},
        {"SINH(X)", "SINH(X)"},
        {"CTAN(X)", "CTAN(X)"},
        {"ARCCOSH(ARCCOS(X))", "ARCCOSH(ARCCOS(X))"},
        {"X\t(X)", "(* X TAN(X))"},
    };
    for (const auto& c : cases) {
        MessageCapture capture;
        ParseFormula(c.formula);
        EXPECT_EQ(Describe(g_hRoot), c.tree) << c.formula;
        EXPECT_TRUE(capture.messages().empty()) << c.formula;
        EXPECT_EQ(g_bOnErrorNotDraw, 0) << c.formula;
    }
}

TEST_F(AnalizeTest, FunctionNamesBecomeTheirCodes) {
    const struct {
        const char* formula;
        char code;
    } cases[] = {{"ARCTAN(X)", 6}, {"ARCSINH(X)", 1}, {"COSH(X)", 12}, {"SINH(X)", 10},
                 {"TANH(X)", 8},   {"CTAN(X)", 7},    {"EXP(X)", 17},  {"ABS(X)", 16}};
    for (const auto& c : cases) {
        ParseFormula(c.formula);
        ASSERT_NE(g_hRoot, nullptr) << c.formula;
        EXPECT_EQ(g_hRoot->Type, IsAToken) << c.formula;
        EXPECT_EQ(g_hRoot->OperatorOrToken, c.code) << c.formula;
        EXPECT_EQ(g_szInternalFn[0], c.code) << c.formula;
        EXPECT_STREQ(g_szInternalFn + 1, "(X)") << c.formula;
    }
}

TEST_F(AnalizeTest, NormalisedTextKeepsOtherCharacters) {
    MessageCapture capture;
    ParseFormula(" -x + log( x ) ");
    EXPECT_STREQ(g_szInternalFn, "0-X+\x0E(X)");
    ParseFormula("a\tb");  // a tab stays and is the code of TAN
    EXPECT_STREQ(g_szInternalFn, "A\tB");
}

TEST_F(AnalizeTest, NodeShapes) {
    ParseFormula("2X-SIN(X)");
    ASSERT_NE(g_hRoot, nullptr);
    const _FNCNODE* minus = g_hRoot;
    EXPECT_EQ(minus->Type, IsAnOperator);
    EXPECT_EQ(minus->OperatorOrToken, '-');
    EXPECT_EQ(minus->Value, 0.0);
    const _FNCNODE* two = minus->Left->Left;
    EXPECT_EQ(two->Type, IsAValue);
    EXPECT_EQ(two->OperatorOrToken, 'N');
    EXPECT_EQ(two->Value, 2.0);
    EXPECT_EQ(two->Left, nullptr);
    EXPECT_EQ(two->Right, nullptr);
    const _FNCNODE* x = minus->Left->Right;
    EXPECT_EQ(x->Type, IsAnX);
    EXPECT_EQ(x->OperatorOrToken, 'X');
    const _FNCNODE* sine = minus->Right;
    EXPECT_EQ(sine->Type, IsAToken);
    EXPECT_EQ(sine->OperatorOrToken, kSin);
    EXPECT_EQ(sine->Right, nullptr);
    EXPECT_EQ(Describe(sine->Left), "X");
}

struct FailureCase {
    const char* formula;
    std::vector<std::string> messages;
    int32_t flag;
    const char* tree;
};

TEST_F(AnalizeTest, MalformedPartsShowTheirMessageAndBecomeAbsent) {
    const FailureCase cases[] = {
        {"", {kEmpty}, 1, "_"},
        {"()", {kEmpty}, 1, "_"},
        {"X+SIN", {kEmpty}, 1, "(+ X SIN(_))"},
        {"SIN", {kEmpty}, 1, "SIN(_)"},
        {"2*-x", {kEmpty}, 1, "(- (* 2 _) X)"},
        {"x*(-x)", {kEmpty}, 1, "(* X (- _ X))"},
        {"X^2", {kUnknown}, 0, "(* X _)"},
        {"X+Y", {kUnknown}, 0, "(+ X _)"},
        {"3.5*X", {kUnknown}, 0, "(* (* 3 _) X)"},
        {"(X+1)2", {kUnknown}, 0, "(+ X (* 1 _))"},
        {"SIN(X)COS(X)", {kUnknown}, 0, "SIN((* X _))"},
        {")", {kUnknown}, 0, "_"},
        {"Y", {kUnknown}, 0, "_"},
        {"(", {kEmpty}, 1, "_"},
        {"X+(", {kEmpty}, 1, "(+ X _)"},
        {"(X", {kEmpty}, 1, "_"},
        {"Y+", {kUnknown, kEmpty}, 1, "(+ _ _)"},
        {"+", {kEmpty, kEmpty}, 1, "(+ _ _)"},
    };
    for (const auto& c : cases) {
        MessageCapture capture;
        ParseFormula(c.formula);
        EXPECT_EQ(capture.texts(), c.messages) << c.formula;
        EXPECT_EQ(g_bOnErrorNotDraw, c.flag) << c.formula;
        EXPECT_EQ(Describe(g_hRoot), c.tree) << c.formula;
    }
}

TEST_F(AnalizeTest, MessageTitlesOwnerAndStyle) {
    MessageCapture capture;
    ParseFormula("Y+");
    ASSERT_EQ(capture.messages().size(), 2u);
    EXPECT_EQ(capture.messages()[0].title, "Hey!");
    EXPECT_EQ(capture.messages()[1].title, "Attenzione!");
    for (const auto& m : capture.messages()) {
        EXPECT_EQ(m.owner, nullptr);
        EXPECT_EQ(m.style, 0);
    }
}

TEST_F(AnalizeTest, FlagIsClearedByTheNextParse) {
    MessageCapture capture;
    ParseFormula("2*-x");
    EXPECT_EQ(g_bOnErrorNotDraw, 1);
    ParseFormula("X");
    EXPECT_EQ(g_bOnErrorNotDraw, 0);
}

TEST_F(AnalizeTest, LeadingMinusNeedsRoomInTheBuffer) {
    MessageCapture capture;
    const std::string full = "-" + std::string(254, 'X');
    ParseFormula(full);
    ASSERT_GE(capture.messages().size(), 2u);
    EXPECT_EQ(capture.messages()[0].text, kTooLong);
    EXPECT_EQ(capture.messages()[0].title, "Attenzione!");
    EXPECT_EQ(capture.messages()[1].text, kEmpty);
    EXPECT_EQ(std::string(g_szInternalFn), full);

    capture.Clear();
    const std::string roomy = "-" + std::string(253, 'X');
    ParseFormula(roomy);
    EXPECT_TRUE(capture.messages().empty());
    EXPECT_EQ(std::strlen(g_szInternalFn), 255u);
    EXPECT_EQ(std::string(g_szInternalFn), "0" + roomy);
}

TEST_F(AnalizeTest, LongDigitRunsKeepTheirValue) {
    MessageCapture capture;
    ParseFormula(std::string(250, '9'));
    ASSERT_NE(g_hRoot, nullptr);
    EXPECT_EQ(g_hRoot->Type, IsAValue);
    EXPECT_DOUBLE_EQ(g_hRoot->Value, 1e250);
    EXPECT_TRUE(capture.messages().empty());

    ParseFormula(std::string(210, '1') + "X");
    EXPECT_EQ(Describe(g_hRoot).substr(0, 4), "(* 1");
    EXPECT_EQ(Describe(g_hRoot->Right), "X");
}

TEST_F(AnalizeTest, ParenthesesCountOnlyTheFinalBalance) {
    const struct {
        const char* text;
        int16_t result;
    } cases[] = {{"", 0},      {"(X)", 0},  {")X(", 0},    {"((X)", -1},
                 {"(X))", -1}, {"(((", -1}, {"SIN(X", -1}, {"(()())", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParentsBalanced(c.text), c.result) << c.text;
        MessageCapture capture;
        EXPECT_EQ(ParenthesesAccepted(c.text), c.result == 0) << c.text;
        if (c.result == 0) {
            EXPECT_TRUE(capture.messages().empty()) << c.text;
        } else {
            ASSERT_EQ(capture.messages().size(), 1u) << c.text;
            EXPECT_EQ(capture.messages()[0].text, "Ricontrolla le parentesi");
            EXPECT_EQ(capture.messages()[0].title, "Errore!");
            EXPECT_EQ(capture.messages()[0].owner, nullptr);
            EXPECT_EQ(capture.messages()[0].style, kMbIconInformation);
        }
    }
}

TEST_F(AnalizeTest, DeleteTreeReleasesPartialTreesAndReturnsNull) {
    EXPECT_EQ(DeleteTree(nullptr), nullptr);
    _FNCNODE* partial =
        NodeAlloc('+', 0.0, NodeAlloc('X', 0.0, nullptr, nullptr, IsAnX), nullptr, IsAnOperator);
    ASSERT_NE(partial, nullptr);
    EXPECT_EQ(partial->OperatorOrToken, '+');
    EXPECT_EQ(partial->Type, IsAnOperator);
    EXPECT_EQ(partial->Left->Type, IsAnX);
    EXPECT_EQ(DeleteTree(partial), nullptr);
}

// The n-th allocation (counted from 1) fails, so that a parse runs out of memory part way.
int gAllocations = 0;
int gFailing = 0;

_FNCNODE* FailingAllocator() {
    return ++gAllocations == gFailing ? nullptr : new _FNCNODE;
}

TEST_F(AnalizeTest, AFailedAllocationReleasesTheOperandsBuiltForIt) {
    const struct {
        const char* formula;
        int failing;
        const char* tree;
    } cases[] = {
        {"X+1", 3, "_"},                      // the "+" node: both leaves would be lost
        {"SIN(X)*2", 2, "(* _ 2)"},           // the function node: its argument would be lost
        {"(X+1)*(X+2)", 3, "(* _ (+ X 2))"},  // the left sum
        {"(X+1)*(X+2)", 7, "_"},              // the product: two whole sums would be lost
        {"2X+3", 3, "(+ _ 3)"},               // the juxtaposed product
    };
    for (const auto& c : cases) {
        ASSERT_EQ(LiveNodeCount(), 0u);
        gAllocations = 0;
        gFailing = c.failing;
        SetNodeAllocator(FailingAllocator);
        ParseFormula(c.formula);
        SetNodeAllocator(nullptr);
        EXPECT_EQ(Describe(g_hRoot), c.tree) << c.formula;
        g_hRoot = DeleteTree(g_hRoot);
        EXPECT_EQ(LiveNodeCount(), 0u) << c.formula;
    }
}

// Trace boxes: the title holds the label and the depth, the text the segment.
TEST_F(AnalizeTest, ParseTraceOfXPlusOne) {
    gPrefs.bEnableParsingDebug = 1;
    MessageCapture capture;
    ParseFormula("X+1");
    const std::vector<TraceBox> expected = {
        {" Entering Parser:  1 ", "X+1"},
        {" Find +-:  1 ", "X+1"},
        {" Allocate an operator:  1 ", "X+1"},
        {" before recursing on left:  1 ", "X"},
        {" Entering Parser:  2 ", "X"},
        {" It is a simple X:  2 ", "X"},
        {" before recursing on right:  1 ", "1"},
        {" Entering Parser:  2 ", "1"},
        {" It is a NUMBER:  2 ", "Start with number 1.000000"},
        {" Allocating Left and right Of :  1 ", "+"},
    };
    ExpectTraceBoxes(capture, expected);
}

TEST_F(AnalizeTest, ParseTraceOfJuxtapositionFunctionAndParentheses) {
    gPrefs.bEnableParsingDebug = 1;
    MessageCapture capture;
    ParseFormula("2SIN(X)");
    const std::vector<TraceBox> expected = {
        {" Entering Parser:  1 ", "2\x0B(X)"},
        {" It is a NUMBER:  1 ", "Start with number 2.000000"},
        {" Allocate also the operator:  1 ", "2\x0B(X)"},
        {" before recursing on an Expression  1 ", "\x0B(X)"},
        {" Entering Parser:  2 ", "\x0B(X)"},
        {" Before recursing after a TOKEN:  2 ", "(X)"},
        {" Entering Parser:  3 ", "(X)"},
        {" skipping par:  3 ", "X"},
        {" Entering Parser:  4 ", "X"},
        {" It is a simple X:  4 ", "X"},
    };
    ExpectTraceBoxes(capture, expected);
}

TEST_F(AnalizeTest, ParseTraceCutsLongSegments) {
    gPrefs.bEnableParsingDebug = 1;
    MessageCapture capture;
    ParseFormula(std::string(254, 'X'));
    ASSERT_FALSE(capture.messages().empty());
    EXPECT_EQ(capture.messages()[0].text, std::string(199, 'X'));
    for (const auto& m : capture.messages()) {
        EXPECT_LE(m.text.size(), 199u);
        EXPECT_LE(m.title.size(), 199u);
    }
}

}  // namespace
