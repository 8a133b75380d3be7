// Formula evaluator: the value of the current tree at one X, with the error flag for points
// where the formula is undefined.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/EvalProgram.h"
#include "engine/Globals.h"
#include "engine/KeptSamples.h"
#include "settings/Prefs.h"

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

// Samples evaluated together by the passes.
constexpr int kSampleBlock = EvalProgram::kBlock;

// The values of the current tree at count (1 to kSampleBlock) X values with their error flags,
// each bit for bit as Evaluate_Tree gives it, without touching g_x and g_fEvalError. False,
// having evaluated nothing, while the trace is on or when the tree has no compiled program.
bool Evaluate_Block(const double* x, int count, double* y, int32_t* error);

// Samples of the X walk with their values and whether each is undefined (IsUndefinedSample).
struct SampleBlock {
    double x[kSampleBlock];
    double y[kSampleBlock];
    bool undefined[kSampleBlock];
    int count;
};

// Whether any sample of a block is undefined: the marks eight at a time, since a bool is a byte
// holding 0 or 1.
inline bool AnyUndefined(const SampleBlock& block) {
    static_assert(kSampleBlock % 8 == 0 && sizeof(bool) == 1, "marks are read in words");
    uint64_t undefined = 0;
    for (int i = 0; i < kSampleBlock; i += 8) {
        uint64_t marks;
        std::memcpy(&marks, block.undefined + i, sizeof marks);
        undefined |= marks;
    }
    return undefined != 0;
}

// A word with its count lowest bits set (count from 0 to 64): the bits of samples 0 to count - 1
// where bit i stands for sample i.
inline uint64_t LowBits(int count) {
    return count >= 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
}

// True when the passes may evaluate samples ahead in blocks: the trace is off (each traced
// sample shows its boxes just before the pass handles it) and the tree compiles.
bool BlockEvaluationReady();

// Fills y and undefined for the X values of block, by Evaluate_Block or else one sample after
// the other by Evaluate_Tree; past count, every array repeats the last sample.
void EvaluateSamples(SampleBlock& block);
// Past count, every array of block repeats its last sample, for loops over the whole block.
void RepeatLastSample(SampleBlock& block);

// Where the walk of the passes stands: the X walk, the block size, the samples kept (as doubles,
// and as doubles or floats) and the first sample of the next block.
struct BlockWalk {
    XWalk x;
    int size;
    uint64_t kept;
    uint64_t keptNarrow;
    uint64_t first;
};
// A walk from the start; the floats are taken only when narrow.
BlockWalk StartBlockWalk(bool narrow);
// The next block of the walk with its X values and count (0 at the end), and true when its Y
// values are kept only as floats, which then go to narrowY (see TakeNarrowSamples); else with its
// Y values, kept or evaluated. Out of line, as are the passes' visits of a block: a pass is one
// long call, and a WebAssembly engine that starts a function in quick baseline code swaps in its
// optimized code only at the next call, which for these comes with the next block.
bool NextSampleBlock(BlockWalk& walk, SampleBlock& block, float* narrowY);

// The X walk of the passes in blocks of samples with their values, for the drawing pass, which
// can do with a Y kept only as a float: where the range pass kept no more than that,
// visitNarrow(block, y) gets the block with its X values and undefined marks but no Y values, and
// the floats in y; it may evaluate the block itself. Elsewhere visitBlock(block) as below.
template <typename VisitBlock, typename VisitNarrow>
void WalkSampleBlocks(VisitBlock visitBlock, VisitNarrow visitNarrow, bool narrow = true) {
    BlockWalk walk = StartBlockWalk(narrow);
    SampleBlock block;
    float narrowY[kSampleBlock];
    for (;;) {
        const bool floats = NextSampleBlock(walk, block, narrowY);
        if (block.count == 0) {
            return;
        }
        const bool goOn = floats ? visitNarrow(block, static_cast<const float*>(narrowY))
                                 : visitBlock(static_cast<const SampleBlock&>(block));
        if (!goOn) {
            return;
        }
    }
}

// The X walk of the passes in blocks of samples with their values: visitBlock(block) for each,
// until it returns false. The values are those the range pass kept where it kept them for the
// formula and settings now current, else evaluated. The blocks hold one sample each unless
// BlockEvaluationReady.
template <typename VisitBlock>
void WalkSampleBlocks(VisitBlock visitBlock) {
    WalkSampleBlocks(
        visitBlock, [](SampleBlock&, const float*) { return false; }, false);
}

// The X walk with the value at each X: visit(x, y, undefined) for each sample in order, until it
// returns false. The samples evaluated ahead of a stop are dropped unseen.
template <typename Visit>
void WalkSamples(Visit visit) {
    WalkSampleBlocks([&visit](const SampleBlock& block) {
        for (int i = 0; i < block.count; ++i) {
            if (!visit(block.x[i], block.y[i], block.undefined[i])) {
                return false;
            }
        }
        return true;
    });
}
