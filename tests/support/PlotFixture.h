// Plot tests: defaults, no tree, a fresh abort hook that counts the polls.
#pragma once

#include "platform/CommonPortable.h"
#include "plot/Draw.h"
#include "plot/Pixels.h"
#include "plot/RasterCanvas.h"
#include "support/Formula.h"
#include "support/MessageCapture.h"

class PlotTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        polls = 0;
        abortAfter = 0;
        SetAbortHook(&CountPoll, this);
    }
    void TearDown() override {
        SetAbortHook(nullptr, nullptr);
        EngineTest::TearDown();
    }

    void SetRange(double minX, double maxX, uint32_t iterations) {
        gPrefs.MinX = minX;
        gPrefs.MaxX = maxX;
        gPrefs.Iterations = iterations;
        ComputeDeltaX();
    }

    // Samples walked by the range pass (it polls once per sample).
    int CountRangeSamples() {
        polls = 0;
        PrecalcRangeOfY();
        return polls;
    }

    // The poll is asked only after every spacing-th sample (0: after each).
    void PollEvery(uint32_t spacing) { SetAbortHook(&CountPoll, this, spacing); }

    int polls = 0;
    int abortAfter = 0;  // 0: never

  private:
    static int32_t CountPoll(void* context) {
        auto* self = static_cast<PlotTest*>(context);
        ++self->polls;
        return self->abortAfter > 0 && self->polls >= self->abortAfter ? 1 : 0;
    }
};
