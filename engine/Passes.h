// The count of samples of the passes over the X walk (the range pass, the drawing pass, the
// export) and the rule by which a stop in one pass ends later passes at the same sample.
#pragma once

#include <cstdint>

enum class PassKind : uint8_t { Range, Drawing, Export };

// How far a stop reaches. The window keeps a stop of the range pass for the drawing passes until
// the next range pass, so that the plot, its scale and Curve Info describe the same samples; a
// front end that writes several outputs of one measure (quorvy-plot, the page) keeps every stop
// for every later pass, until ClearPassStop or the next range pass.
enum class StopReach : uint8_t { RangeToDrawing, EveryLaterPass };

void SetStopReach(StopReach reach);

// A pass begins and ends; the range pass forgets every earlier stop.
void BeginPass(PassKind kind);
void EndPass();
// After each sample of a pass: asks UserAbort, and answers 1 when the pass stops after this
// sample, because the user asked now or because an earlier stop reaches this pass here.
int32_t PassSampleDone();
// PassSampleDone after each of count samples, until it answers 1: returns 1 when the pass stops,
// with the samples done up to and including the one after which it stops in *done.
int32_t PassSamplesDone(int32_t count, int32_t* done);
void ClearPassStop();
// No pass counted and no stop kept, as at start (the reach stays).
void ResetPasses();

// The samples of a whole walk as the window's passes expect them: Iterations + 1.
double ExpectedSamples();
// The samples the pass under way (or the last one) has counted.
uint64_t PassSampleCount();
// The sample after which a kept stop ends the later passes; 0 when none is kept.
uint64_t PassStoppedAt();
// The samples of the whole walk, as the last pass that ran to its end before any stop counted
// them; 0 when none did.
uint64_t PassWalkSamples();
