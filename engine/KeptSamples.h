// The values that the range pass computed for the samples it measured, kept so that the passes
// after it (the drawing pass, printing, the export) take them instead of evaluating the formula
// again. They are the numbers the evaluator gave, so every pass sees what it would compute.
#pragma once

#include <cstdint>

struct SampleBlock;

// The most samples kept: 4,194,304, which take 32 MiB of Y values and 512 KiB of undefined marks.
// The samples of a walk past them are evaluated by every pass, as are all samples while the
// evaluation trace is on (each pass shows its own boxes).
constexpr uint64_t kKeptSamplesBound = uint64_t{1} << 22;

// The range pass starts keeping for the formula and settings now current: what was kept before is
// forgotten, and room is taken for the samples the walk is expected to have, up to the bound.
// Nothing is kept while the trace is on, without a formula, or when the room cannot be had.
void StartKeepingSamples();
// Keeps the first count samples of block, which follow the samples kept so far.
void KeepSamples(const SampleBlock& block, int count);
// Nothing is kept any more, and the room is given back.
void ForgetKeptSamples();

// How many samples from the start of the walk the passes may take instead of evaluating them: 0
// unless the formula, the range, the count and the switches are still those of the range pass
// that kept them and the trace is off.
uint64_t UsableKeptSamples();
// Fills the Y values and undefined marks of block, whose X values and count are set, with the
// kept samples first to first + count - 1.
void TakeKeptSamples(uint64_t first, SampleBlock& block);

// Past the bound, a front end whose user may stop a long range pass (the page) has it keep each
// further Y as a float, up to kNarrowSamplesBound samples from the start of the walk: the drawing
// pass after a stop then maps those samples instead of evaluating them again. A float holds a Y
// only to within half its step, so the drawing pass evaluates again the samples whose pixel it
// does not settle. The room grows with the samples measured, in pieces of kNarrowPiece samples
// (4 MiB of floats and 128 KiB of marks each): 247.5 MiB for 62,914,560 samples at most, taken
// only once the walk passes kKeptSamplesBound.
constexpr uint64_t kNarrowSamplesBound = uint64_t{1} << 26;
constexpr uint64_t kNarrowPiece = uint64_t{1} << 20;
void KeepNarrowSamples(bool keep);
// How many samples from the start of the walk the drawing pass may take kept, as doubles or as
// floats: at least UsableKeptSamples(), under the same conditions.
uint64_t UsableNarrowSamples();
// The floats and undefined marks of the kept samples first to first + count - 1 of block, whose
// X values and count are set, into y and block.undefined; past count both repeat the last sample.
// Every one of those samples lies past UsableKeptSamples().
void TakeNarrowSamples(uint64_t first, SampleBlock& block, float* y);

// For tests: other bounds (0 brings back the usual one), and room that cannot be had.
void SetKeptSamplesBound(uint64_t bound);
void SetNarrowSamplesBound(uint64_t bound);
void RefuseKeptRoom(bool refuse);
