#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/EvalProgram.h"
#include "engine/Functions.h"
#include "support/Formula.h"
#include "support/MessageCapture.h"

namespace {

using EvalTest = EngineTest;

uint64_t Bits(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

double EvaluateFormula(const char* formula, double x) {
    ParseFormula(formula);
    return Evaluate_Tree(x);
}

struct ValueCase {
    const char* formula;
    double x;
    double expected;
};

const ValueCase kValueCases[] = {
    {"1-2+3", 0, 2},
    {"10-2-3", 0, 5},
    {"8/4/2", 0, 1},
    {"8/2*4", 0, 16},
    {"-X+1", 2, -1},
    {"1/2X", 4, 0.125},
    {"2X", 3, 6},
    {"X2", 3, 6},
    {"XX", 3, 9},
    {"2(X+1)", 3, 8},
    {"X(X+1)", 3, 12},
    {"2SIN(X)*X", 1, 2 * std::sin(1.0) * 1},
    {"LOG(X)+X/2", 4, std::log(4.0) + 2},
    {"SQRT(ABS(X))*COS(X)", -4, 2 * std::cos(-4.0)},
    {"SIN2X", 0.25, std::sin(0.5)},
    {"SIN X+1", 0.5, std::sin(0.5) + 1},
    {"16777217", 0, 16777217},
    {"007X", 2, 14},
    {"CTAN(X)", 1, 1 / std::tan(1.0)},
    {"ARCSINH(X)", -2, std::asinh(-2.0)},
    {"ARCCOSH(X)", 1, 0},
    {"ARCCOSH(X)", 3, std::acosh(3.0)},
    {"ARCTANH(X)", 0.5, std::atanh(0.5)},
    {"ARCSIN(X)", 1, std::asin(1.0)},
    {"ARCCOS(X)", -1, std::acos(-1.0)},
    {"ARCTAN(X)", 1, std::atan(1.0)},
    {"TANH(X)+TAN(X)", 0.3, std::tanh(0.3) + std::tan(0.3)},
    {"SINH(X)-COSH(X)", 0.3, std::sinh(0.3) - std::cosh(0.3)},
    {"EXP(X)", 1, std::exp(1.0)},
    {"SQRT(X)", 0, 0},
    {"LOG(X)", 1, 0},
    {"X+SIN", 5, 5 + std::sin(0.0)},
    {"X+Y", 5, 5},
    {"3.5*X", 2, 0},
};

TEST_F(EvalTest, Results) {
    for (const auto& c : kValueCases) {
        MessageCapture capture;
        const double y = EvaluateFormula(c.formula, c.x);
        EXPECT_EQ(g_fEvalError, 0) << c.formula << " at " << c.x;
        EXPECT_DOUBLE_EQ(y, c.expected) << c.formula << " at " << c.x;
        EXPECT_EQ(g_x, c.x);
    }
    EXPECT_NEAR(EvaluateFormula("CTAN(X)", 1), 0.642093, 1e-6);
}

struct PointCase {
    const char* formula;
    double x;
};

const PointCase kUndefinedCases[] = {
    {"LOG(X)", 0},          {"LOG(X)", -1},        {"SQRT(X)", -0.0001}, {"ARCSIN(X)", 1.0001},
    {"ARCSIN(X)", -1.0001}, {"ARCCOS(X)", 1.0001}, {"ARCTANH(X)", 1},    {"ARCTANH(X)", -1},
    {"ARCCOSH(X)", 0.5},    {"CTAN(X)", 0},        {"LOG(0/X)", 0},      {"SQRT(0/X)", 0},
    {"ARCSIN(0/X)", 0},
};

TEST_F(EvalTest, UndefinedPointsRaiseTheFlag) {
    for (const auto& c : kUndefinedCases) {
        const double y = EvaluateFormula(c.formula, c.x);
        EXPECT_EQ(g_fEvalError, 1) << c.formula << " at " << c.x;
        EXPECT_EQ(Bits(y), Bits(kEvalErrorValue)) << c.formula << " at " << c.x;
    }
    EXPECT_EQ(Bits(kEvalErrorValue), 0xE974E718D7D7625Aull);
}

TEST_F(EvalTest, NonFiniteResultsWithoutAnError) {
    double y = EvaluateFormula("1/X", 0);
    EXPECT_EQ(g_fEvalError, 0);
    EXPECT_TRUE(std::isinf(y) && y > 0);
    y = EvaluateFormula("0/X", 0);
    EXPECT_EQ(g_fEvalError, 0);
    EXPECT_TRUE(std::isnan(y));
    y = EvaluateFormula("EXP(X)", 1000);
    EXPECT_EQ(g_fEvalError, 0);
    EXPECT_TRUE(std::isinf(y));
    y = EvaluateFormula("CTAN(0/X)", 0);  // NaN passes the cotangent's test
    EXPECT_EQ(g_fEvalError, 0);
    EXPECT_TRUE(std::isnan(y));
}

TEST_F(EvalTest, AbsOfZeroIsNegativeZero) {
    const double y = EvaluateFormula("ABS(X)", 0);
    EXPECT_EQ(y, 0.0);
    EXPECT_TRUE(std::signbit(y));
    EXPECT_EQ(EvaluateFormula("ABS(X)", -3), 3);
}

// Every function name, parsed alone, computes the function of that name, on the compiled path
// and on the traced walk, and the trace calls it by that name: names, codes and functions must
// not drift apart when the function table is edited.
TEST_F(EvalTest, EachFunctionNameComputesItsOwnFunction) {
    using Reference = double (*)(double);
    const struct {
        const char* name;
        Reference reference;
        double xs[3];
    } cases[] = {
        {"ARCSINH", [](double v) { return std::asinh(v); }, {-2, 0.5, 3}},
        {"ARCSIN", [](double v) { return std::asin(v); }, {-0.5, 0.25, 0.75}},
        {"ARCCOSH", [](double v) { return std::acosh(v); }, {1.5, 2, 7}},
        {"ARCCOS", [](double v) { return std::acos(v); }, {-0.5, 0.25, 0.75}},
        {"ARCTANH", [](double v) { return std::atanh(v); }, {-0.5, 0.25, 0.75}},
        {"ARCTAN", [](double v) { return std::atan(v); }, {-2, 0.5, 3}},
        {"CTAN", [](double v) { return 1.0 / std::tan(v); }, {-2, 0.5, 3}},
        {"TANH", [](double v) { return std::tanh(v); }, {-2, 0.5, 3}},
        {"TAN", [](double v) { return std::tan(v); }, {-2, 0.5, 3}},
        {"SINH", [](double v) { return std::sinh(v); }, {-2, 0.5, 3}},
        {"SIN", [](double v) { return std::sin(v); }, {-2, 0.5, 3}},
        {"COSH", [](double v) { return std::cosh(v); }, {-2, 0.5, 3}},
        {"COS", [](double v) { return std::cos(v); }, {-2, 0.5, 3}},
        {"LOG", [](double v) { return std::log(v); }, {0.5, 2, 7}},
        {"SQRT", [](double v) { return std::sqrt(v); }, {0.5, 2, 7}},
        {"ABS", [](double v) { return std::fabs(v); }, {-2, 0.5, 3}},
        {"EXP", [](double v) { return std::exp(v); }, {-2, 0.5, 3}},
    };
    ASSERT_EQ(std::size(cases), static_cast<size_t>(kTokenCount));
    for (const auto& c : cases) {
        ParseFormula(std::string(c.name) + "(X)");
        ASSERT_NE(g_hRoot, nullptr) << c.name;
        ASSERT_EQ(g_hRoot->Type, IsAToken) << c.name;
        EXPECT_STREQ(StrTok[g_hRoot->OperatorOrToken - 1], c.name);
        for (double x : c.xs) {
            gPrefs.bEnableEvalDebug = 0;
            EXPECT_DOUBLE_EQ(Evaluate_Tree(x), c.reference(x)) << c.name << " at " << x;
            EXPECT_EQ(g_fEvalError, 0) << c.name << " at " << x;
            gPrefs.bEnableEvalDebug = 1;
            MessageCapture capture;
            EXPECT_DOUBLE_EQ(Evaluate_Tree(x), c.reference(x)) << c.name << " traced at " << x;
            ASSERT_FALSE(capture.messages().empty()) << c.name;
            EXPECT_EQ(capture.messages()[0].text.rfind(std::string(c.name) + " of ", 0), 0u)
                << capture.messages()[0].text;
        }
    }
}

TEST_F(EvalTest, TheRestOfTheTreeIsSkippedAfterAnError) {
    double y = EvaluateFormula("LOG(X)+5", -1);
    EXPECT_EQ(g_fEvalError, 1);
    EXPECT_EQ(Bits(y), Bits(kEvalErrorValue));
    y = EvaluateFormula("SIN(LOG(X))", -1);
    EXPECT_EQ(g_fEvalError, 1);
    // the library's sine of the error value, computed at run time as the evaluator does
    volatile double errorValue = kEvalErrorValue;
    EXPECT_EQ(Bits(y), Bits(std::sin(errorValue)));
    y = EvaluateFormula("2*SQRT(X)*X", -1);  // the last X is entered after the error: 0
    EXPECT_EQ(g_fEvalError, 1);
    EXPECT_EQ(Bits(y), Bits(2 * kEvalErrorValue * 0.0));
}

TEST_F(EvalTest, NoTreeIsZeroWithoutError) {
    EXPECT_EQ(Evaluate_Tree(12.5), 0.0);
    EXPECT_EQ(g_fEvalError, 0);
}

TEST_F(EvalTest, EachEvaluationClearsTheFlag) {
    ParseFormula("LOG(X)");
    Evaluate_Tree(-1);
    ASSERT_EQ(g_fEvalError, 1);
    Evaluate_Tree(1);
    EXPECT_EQ(g_fEvalError, 0);
}

TEST_F(EvalTest, PartialTreeEvaluatesAbsentPartsAsZero) {
    g_hRoot =
        NodeAlloc('+', 0.0, NodeAlloc('X', 0.0, nullptr, nullptr, IsAnX), nullptr, IsAnOperator);
    EXPECT_EQ(Evaluate_Tree(7), 7);
    EXPECT_EQ(g_fEvalError, 0);
}

TEST_F(EvalTest, TreeBuiltByHandIsSeenAfterItChanges) {
    g_hRoot = NodeAlloc('X', 0.0, nullptr, nullptr, IsAnX);
    EXPECT_EQ(Evaluate_Tree(3), 3);
    g_hRoot = DeleteTree(g_hRoot);
    g_hRoot = NodeAlloc('N', 9.0, nullptr, nullptr, IsAValue);
    EXPECT_EQ(Evaluate_Tree(3), 9);
}

TEST_F(EvalTest, TraceOfSineAtOneHalf) {
    ParseFormula("SIN(X)");
    gPrefs.bEnableEvalDebug = 1;
    MessageCapture capture;
    EXPECT_DOUBLE_EQ(Evaluate_Tree(0.5), std::sin(0.5));
    const std::vector<TraceBox> expected = {
        {"before calling CalcOnToken in Evaluate_SubTree (g_x) 1 ", "SIN of 0.500000"},
        {"switching in CalcOnToken 2 ", "SIN of 0.500000"},
        {"exiting CalcOnToken  2 ", "0.479426"},
    };
    ExpectTraceBoxes(capture, expected);
}

TEST_F(EvalTest, TraceWritesTheErrorValueAndSkipsTheRest) {
    ParseFormula("LOG(X)+SQRT(X)");
    gPrefs.bEnableEvalDebug = 1;
    MessageCapture capture;
    Evaluate_Tree(-1);
    ASSERT_EQ(capture.messages().size(), 3u);  // the square root is never entered
    EXPECT_EQ(capture.messages()[0].text, "LOG of -1.000000");
    EXPECT_EQ(capture.messages()[2].text, "-inf");
    EXPECT_EQ(capture.messages()[2].title, "exiting CalcOnToken  3 ");
}

TEST_F(EvalTest, TraceRoundsToSinglePrecisionAsBinary32Does) {
    const std::string floatMax = "340282346638528859811704183484516925440.000000";
    const double tie = 0x1.ffffffp+127;  // half an ulp above the largest float
    const struct {
        double x;
        std::string shown;
    } cases[] = {
        {3.4028235e38, floatMax},
        {std::nextafter(tie, 0.0), floatMax},
        {tie, "inf"},
        {1e39, "inf"},
        {16777217, "16777216.000000"},  // rounds to the nearest float
        {0.1, "0.100000"},
    };
    ParseFormula("ABS(X)");
    gPrefs.bEnableEvalDebug = 1;
    for (const auto& c : cases) {
        for (double sign : {1.0, -1.0}) {
            MessageCapture capture;
            Evaluate_Tree(sign * c.x);
            ASSERT_EQ(capture.messages().size(), 3u);
            EXPECT_EQ(capture.messages()[0].text,
                      std::string("ABS of ") + (sign < 0 ? "-" : "") + c.shown);
            EXPECT_EQ(capture.messages()[2].text, c.shown) << c.x;
        }
    }
}

TEST_F(EvalTest, NoTraceWhenSwitchedOff) {
    ParseFormula("SIN(X)");
    MessageCapture capture;
    Evaluate_Tree(0.5);
    EXPECT_TRUE(capture.messages().empty());
}

// The untraced evaluation runs a compiled copy of the tree; the traced one walks the tree.
// Both must agree to the bit, flag included, also after domain errors.
void ExpectSameAsTreeWalk(const std::string& formula, double x) {
    ParseFormula(formula);
    gPrefs.bEnableEvalDebug = 0;
    const double fast = Evaluate_Tree(x);
    const int32_t fastFlag = g_fEvalError;
    gPrefs.bEnableEvalDebug = 1;
    const double walked = Evaluate_Tree(x);
    const int32_t walkedFlag = g_fEvalError;
    gPrefs.bEnableEvalDebug = 0;
    EXPECT_EQ(fastFlag, walkedFlag) << formula << " at " << x;
    if (std::isnan(fast) && std::isnan(walked)) {
        return;  // which NaN comes out of two NaN operands depends on operand order in code
    }
    EXPECT_EQ(Bits(fast), Bits(walked))
        << formula << " at " << x << ": " << fast << " vs " << walked;
}

// Formulas that mix failing functions with every form of operand, for the comparisons of the
// evaluation paths.
const char* const kComparedFormulas[] = {
    "2SIN(X)*X",
    "LOG(X)+X/2",
    "SQRT(ABS(X))*COS(X)",
    "LOG(X)+5",
    "5+LOG(X)*X",
    "SIN(LOG(X))",
    "X*(LOG(X)+X)-3",
    "(LOG(X)+2)/(SQRT(X)+X)",
    "2-SQRT(X)*3+X",
    "ARCSIN(X)+ARCCOS(X)*2X",
    "3/LOG(X)X",
    "X-(2-(X-LOG(X)))*X",
    "SQRT(X)(X+1)",
    "2*-X",
    "X+Y",
    "CTAN(X)-ARCTANH(X)",
    "EXP(LOG(X)+LOG(X))",
    "ARCCOSH(X)*ARCCOSH(X)",
    "1/X-0/X",
    "(X+SIN)*2",
    // a failure inside a left operand whose right one is X, a constant or a subtree
    "LOG(X)*X-X",
    "(SQRT(X)+1)/X*3",
    "ARCSIN(X)+X*LOG(X)",
    "2/(ARCCOSH(X)-X)+SQRT(-X)",
    "X-LOG(X-1)*SIN(X)+LOG(1-X)",
    "1/X/0*X",
    "0/X*EXP(X)",
    // deeper than the block stack: run one sample at a time
    "X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+(X+"
    "(X+(X+LOG(X)))))))))))))))))))))))))))))))))",
};

TEST_F(EvalTest, CompiledEvaluationMatchesTheTreeWalk) {
    MessageCapture capture;
    const double xs[] = {-2, -1, -0.5, 0, 0.5, 1, 2, 1e300, -1e300};
    for (const char* formula : kComparedFormulas) {
        for (double x : xs) {
            ExpectSameAsTreeWalk(formula, x);
        }
    }
}

// Random formulas from the language's pieces, compared at random points.
std::string RandomFormula(std::mt19937& rng, int depth) {
    const char* leaves[] = {"X", "2", "0", "1"};
    const char* functions[] = {"LOG",     "SQRT", "SIN", "ARCSIN", "ARCCOSH",
                               "ARCTANH", "CTAN", "ABS", "EXP"};
    const char operators[] = {'+', '-', '*', '/'};
    std::uniform_int_distribution<int> pick(0, 9);
    const int kind = depth <= 0 ? 0 : pick(rng);
    if (kind < 3) {
        return leaves[pick(rng) % 4];
    }
    if (kind < 6) {
        return std::string(functions[pick(rng) % 9]) + "(" + RandomFormula(rng, depth - 1) + ")";
    }
    return "(" + RandomFormula(rng, depth - 1) + operators[pick(rng) % 4] +
           RandomFormula(rng, depth - 1) + ")";
}

TEST_F(EvalTest, CompiledEvaluationMatchesTheTreeWalkOnRandomFormulas) {
    MessageCapture capture;
    std::mt19937 rng(20261207);
    std::uniform_real_distribution<double> xs(-3.0, 3.0);
    for (int i = 0; i < 400; ++i) {
        const std::string formula = RandomFormula(rng, 5);
        if (formula.size() > 255) {
            continue;
        }
        for (int j = 0; j < 4; ++j) {
            ExpectSameAsTreeWalk(formula, xs(rng));
        }
        capture.Clear();
    }
}

// The fuzzer's corpus: a switch byte, then the formula text.
const char* const kFuzzCorpus[] = {
#include "FuzzCorpus.inc"
};

// The X walks the block comparison runs each formula over: a short last block, a single sample,
// a block cut by a step that stops advancing X, steps at the ends of the double range.
struct WalkCase {
    double minX;
    double maxX;
    uint32_t iterations;
};
// clang-format off
constexpr WalkCase kBlockWalks[] = {
    {-3, 3, 200},         {-1, 1, 1},       {-2, 2, 9},
    {-1e300, 1e300, 130}, {0, 4e-323, 100}, {1e15, 1e15 + 1, 100},
    // across powers of two either way; steps of one and a half and half a unit at 1; an addition
    // that lands within half a unit below -1
    {0.999, 1.001, 1000}, {-1.001, -0.999, 1000}, {-4, 4, 4096},
    {0x1.0000000000001p0, 0x1.0000000000061p0, 64}, {1, 0x1.0000000000040p0, 128},
    {-0x1.0000000000080p0, -0x1.fffffffffffb0p-1, 128},
};
// clang-format on

bool SameBits(double a, double b) {
    return Bits(a) == Bits(b) || (std::isnan(a) && std::isnan(b));
}

struct Sample {
    double x;
    double y;
    int32_t error;
};

::testing::AssertionResult SameSample(const SampleBlock& block, int i, double y, int32_t error,
                                      const Sample& e) {
    const bool undefined = e.error != 0 || !std::isfinite(e.y);
    if (Bits(block.x[i]) == Bits(e.x) && SameBits(y, e.y) && SameBits(block.y[i], e.y) &&
        error == e.error && block.undefined[i] == undefined) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "at X " << e.x << " (block: " << block.x[i] << "): " << y << " flag " << error
           << " vs " << e.y << " flag " << e.error;
}

// Every sample of the passes' block walk against the one-sample path at the same X: the X, the
// value and the error flag, and the undefined mark the passes use.
void ExpectBlocksMatchOneSample(const std::string& formula) {
    ParseFormula(formula);
    for (const WalkCase& w : kBlockWalks) {
        gPrefs.MinX = w.minX;
        gPrefs.MaxX = w.maxX;
        gPrefs.Iterations = w.iterations;
        ComputeDeltaX();
        std::vector<Sample> expected;
        WalkX([&expected](double x) {
            const double y = Evaluate_Tree(x);
            expected.push_back({x, y, g_fEvalError});
            return true;
        });
        size_t next = 0;
        WalkSampleBlocks([&](const SampleBlock& block) {
            double y[kSampleBlock];
            int32_t error[kSampleBlock];
            // Only a formula without a tree is left to Evaluate_Tree: its samples are compared
            // as the passes see them.
            const bool evaluated = Evaluate_Block(block.x, block.count, y, error);
            EXPECT_TRUE(evaluated || g_hRoot == nullptr) << formula;
            for (int i = 0; i < block.count && next < expected.size(); ++i, ++next) {
                const Sample& e = expected[next];
                const auto same = evaluated ? SameSample(block, i, y[i], error[i], e)
                                            : SameSample(block, i, block.y[i], e.error, e);
                EXPECT_TRUE(same) << formula;
                if (!same) {
                    return false;
                }
            }
            return true;
        });
        EXPECT_EQ(next, expected.size()) << formula << " over " << w.minX << ".." << w.maxX;
    }
}

TEST_F(EvalTest, BlocksMatchTheOneSamplePathOnEveryTableAndTheCorpus) {
    MessageCapture capture;
    for (const auto& c : kValueCases) {
        ExpectBlocksMatchOneSample(c.formula);
    }
    for (const auto& c : kUndefinedCases) {
        ExpectBlocksMatchOneSample(c.formula);
    }
    for (const char* formula : kComparedFormulas) {
        ExpectBlocksMatchOneSample(formula);
    }
    for (const char* input : kFuzzCorpus) {
        ExpectBlocksMatchOneSample(input[0] != '\0' ? input + 1 : input);
    }
    std::mt19937 rng(20261208);
    for (int i = 0; i < 200; ++i) {
        ExpectBlocksMatchOneSample(RandomFormula(rng, 5));
        capture.Clear();
    }
}

// The traced walk goes one sample at a time, each traced just before the pass handles it.
TEST_F(EvalTest, TracedWalkEvaluatesOneSampleAtATime) {
    ParseFormula("SIN(X)");
    gPrefs.bEnableEvalDebug = 1;
    MessageCapture capture;
    double y[kSampleBlock];
    int32_t error[kSampleBlock];
    const double x[] = {0.5, 1};
    EXPECT_FALSE(Evaluate_Block(x, 2, y, error));
    EXPECT_TRUE(capture.messages().empty());
    std::vector<size_t> boxesBefore;
    WalkSampleBlocks([&](const SampleBlock& block) {
        EXPECT_EQ(block.count, 1);
        boxesBefore.push_back(capture.messages().size());
        return boxesBefore.size() < 3;
    });
    EXPECT_EQ(boxesBefore, (std::vector<size_t>{3, 6, 9}));
}

}  // namespace

namespace {

// A chain of `depth` SIN nodes over X, built and released without recursion.
_FNCNODE* SineChain(int depth) {
    _FNCNODE* node = NodeAlloc('X', 0.0, nullptr, nullptr, IsAnX);
    for (int i = 0; i < depth; ++i) {
        node = NodeAlloc(kSin, 0.0, node, nullptr, IsAToken);
    }
    return node;
}

void ReleaseChain(_FNCNODE* node) {
    while (node != nullptr) {
        _FNCNODE* below = node->Left;
        node->Left = nullptr;
        DeleteTree(node);
        node = below;
    }
}

TEST(EvalProgramTest, CompilingADeepChainStopsAtTheCapacity) {
    auto program = std::make_unique<EvalProgram>();
    _FNCNODE* fits = SineChain(EvalProgram::kCapacity - 1);
    EXPECT_TRUE(program->Compile(fits));
    int32_t error = 0;
    EXPECT_EQ(program->Run(0.0, error), 0.0);
    ReleaseChain(fits);
    // Far deeper than any stack holds frames for: refused before the recursion gets there.
    _FNCNODE* deep = SineChain(1000000);
    EXPECT_FALSE(program->Compile(deep));
    ReleaseChain(deep);
}

}  // namespace
