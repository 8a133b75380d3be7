#include "engine/Eval.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "platform/Common.h"
#include "engine/Analize.h"
#include "engine/EvalProgram.h"
#include "engine/Functions.h"
#include "settings/Prefs.h"

namespace {

constexpr size_t kTraceBufferSize = 200;

// Nodes entered so far in the evaluation under way; shown in the trace titles only.
uint32_t NRecursion = 0;

// The current tree compiled for untraced evaluation, remade whenever the tree may differ.
struct CompiledTree {
    EvalProgram program;
    const _FNCNODE* root = nullptr;
    uint32_t generation = 0;
    bool usable = false;
};
CompiledTree gCompiled;

const EvalProgram* ProgramFor(const _FNCNODE* root) {
    if (gCompiled.root != root || gCompiled.generation != g_TreeGeneration) {
        gCompiled.root = root;
        gCompiled.generation = g_TreeGeneration;
        gCompiled.usable = gCompiled.program.Compile(root);
    }
    return gCompiled.usable ? &gCompiled.program : nullptr;
}

// Half an ulp above FLT_MAX: binary32 rounding takes anything below it to FLT_MAX and anything
// from it on (the tie goes to the even neighbour, infinity) to infinity.
constexpr double kFloatOverflowBound = 0x1.ffffffp+127;

// val rounded to single precision as IEEE binary32 rounds it. Only values inside the float
// range are converted by a cast, whose result is then defined.
float RoundToSingle(double val) {
    const double magnitude = std::fabs(val);
    if (!(magnitude > FLT_MAX)) {
        return static_cast<float>(val);  // also a NaN
    }
    const float rounded = magnitude < kFloatOverflowBound ? FLT_MAX : HUGE_VALF;
    return val < 0.0 ? -rounded : rounded;
}

// The trace shows values rounded to single precision, as "%f"; infinities and NaN (the error
// value rounds to -inf) are written the same everywhere.
void FormatTraceValue(char* buffer, size_t size, double val) {
    const float rounded = RoundToSingle(val);
    if (std::isnan(rounded)) {
        std::snprintf(buffer, size, "nan");
    } else if (std::isinf(rounded)) {
        std::snprintf(buffer, size, rounded > 0 ? "inf" : "-inf");
    } else {
        std::snprintf(buffer, size, "%f", static_cast<double>(rounded));
    }
}

void ShowTrace(const char* title, const char* text) {
    char fullTitle[kTraceBufferSize];
    std::snprintf(fullTitle, sizeof fullTitle, "%s %u ", title, static_cast<unsigned>(NRecursion));
    ShowMyMessage(nullptr, text, fullTitle, kMbOk);
}

}  // namespace

double Evaluate_Tree(double x) {
    g_x = x;
    g_fEvalError = 0;
    NRecursion = 0;
    if (gPrefs.bEnableEvalDebug == 0 && g_hRoot != nullptr) {
        if (const EvalProgram* program = ProgramFor(g_hRoot)) {
            int32_t error = 0;
            const double y = program->Run(x, error);
            g_fEvalError = error;
            return y;
        }
    }
    return Evaluate_SubTree(g_hRoot);
}

bool BlockEvaluationReady() {
    return gPrefs.bEnableEvalDebug == 0 && g_hRoot != nullptr && ProgramFor(g_hRoot) != nullptr;
}

bool Evaluate_Block(const double* x, int count, double* y, int32_t* error) {
    if (!BlockEvaluationReady()) {
        return false;
    }
    ProgramFor(g_hRoot)->RunBlock(x, count, y, error);
    return true;
}

void EvaluateSamples(SampleBlock& block) {
    int32_t error[kSampleBlock];
    if (Evaluate_Block(block.x, block.count, block.y, error)) {
        for (int i = 0; i < block.count; ++i) {
            block.undefined[i] = error[i] != 0 || !std::isfinite(block.y[i]);
        }
    } else {
        for (int i = 0; i < block.count; ++i) {
            block.y[i] = Evaluate_Tree(block.x[i]);
            block.undefined[i] = IsUndefinedSample(block.y[i]);
        }
    }
    RepeatLastSample(block);
}

BlockWalk StartBlockWalk(bool narrow) {
    const uint64_t kept = UsableKeptSamples();
    return {StartXWalk(), BlockEvaluationReady() ? kSampleBlock : 1, kept,
            narrow ? UsableNarrowSamples() : kept, 0};
}

[[gnu::noinline]] bool NextSampleBlock(BlockWalk& walk, SampleBlock& block, float* narrowY) {
    block.count = NextXs(walk.x, block.x, walk.size);
    if (block.count == 0) {
        return false;
    }
    const uint64_t first = walk.first;
    walk.first += static_cast<uint64_t>(block.count);
    if (walk.first <= walk.kept) {
        TakeKeptSamples(first, block);
    } else if (walk.first <= walk.keptNarrow && first >= walk.kept) {
        TakeNarrowSamples(first, block, narrowY);
        return true;
    } else {
        EvaluateSamples(block);
    }
    return false;
}

void RepeatLastSample(SampleBlock& block) {
    const int last = block.count - 1;
    std::fill(block.x + block.count, block.x + kSampleBlock, block.x[last]);
    std::fill(block.y + block.count, block.y + kSampleBlock, block.y[last]);
    std::fill(block.undefined + block.count, block.undefined + kSampleBlock, block.undefined[last]);
}

double Evaluate_SubTree(const _FNCNODE* subtree) {
    if (subtree == nullptr || g_fEvalError != 0) {
        return 0.0;
    }
    ++NRecursion;
    switch (subtree->Type) {
        case IsAToken: {
            DebugSymbol("before calling CalcOnToken in Evaluate_SubTree (g_x)", g_x,
                        subtree->OperatorOrToken);
            const double argument = Evaluate_SubTree(subtree->Left);
            return CalcOnToken(subtree->OperatorOrToken, argument);
        }
        case IsAnOperator: {
            const double left = Evaluate_SubTree(subtree->Left);
            const double right = Evaluate_SubTree(subtree->Right);
            return ProcessOperator(subtree->OperatorOrToken, left, right);
        }
        case IsAValue:
            return subtree->Value;
        case IsAnX:
            return g_x;
        default:
            return 0.0;
    }
}

double CalcOnToken(char T, double thisValue) {
    DebugSymbol("switching in CalcOnToken", thisValue, T);
    int32_t error = 0;
    const double result = ApplyFunction(T, thisValue, error);
    if (error) {
        g_fEvalError = 1;
    }
    DebugEvaluate("exiting CalcOnToken ", result);
    return result;
}

double ProcessOperator(char O, double LeftArg, double RightArg) {
    return ApplyOperator(O, LeftArg, RightArg);
}

void DebugEvaluate(const char* title, double val) {
    if (gPrefs.bEnableEvalDebug == 0) {
        return;
    }
    char text[kTraceBufferSize];
    FormatTraceValue(text, sizeof text, val);
    ShowTrace(title, text);
}

void DebugSymbol(const char* title, double val, char tok) {
    if (gPrefs.bEnableEvalDebug == 0) {
        return;
    }
    char value[64];  // a single-precision "%f" needs at most 47
    FormatTraceValue(value, sizeof value, val);
    const bool known = tok >= 1 && tok <= kTokenCount;
    char text[kTraceBufferSize];
    std::snprintf(text, sizeof text, "%s of %s", known ? StrTok[tok - 1] : "?", value);
    ShowTrace(title, text);
}
