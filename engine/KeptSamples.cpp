#include "engine/KeptSamples.h"

#include <algorithm>
#include <cstring>

#include "engine/Analize.h"
#include "engine/Eval.h"
#include "engine/Globals.h"
#include "platform/LargeRoom.h"
#include "settings/Prefs.h"

namespace {

constexpr uint64_t kMarkBits = 64;

// What the kept values depend on: the tree (its address and the generation of the nodes), the X
// walk, and the switches.
struct KeptFor {
    const _FNCNODE* root;
    uint32_t generation;
    uint32_t iterations;
    double walk[3];  // MinX, MaxX, the step: compared bit for bit
    int32_t switches[4];
};

KeptFor CurrentSettings() {
    return {g_hRoot,
            g_TreeGeneration,
            gPrefs.Iterations,
            {gPrefs.MinX, gPrefs.MaxX, g_DeltaX},
            {gPrefs.bAutoScaleX, gPrefs.bAutoScaleY, gPrefs.bDontDraw, gPrefs.bEnableEvalDebug}};
}

bool SameSettings(const KeptFor& a, const KeptFor& b) {
    return a.root == b.root && a.generation == b.generation && a.iterations == b.iterations &&
           std::memcmp(a.walk, b.walk, sizeof a.walk) == 0 &&
           std::equal(a.switches, a.switches + 4, b.switches);
}

// The Y values of samples 0 to room - 1, then their undefined marks, one bit each, in one piece.
struct KeptStore {
    double* y = nullptr;
    uint64_t* marks = nullptr;
    uint64_t room = 0;   // a whole number of mark words
    uint64_t limit = 0;  // the most samples this range pass keeps
    uint64_t count = 0;
    bool valid = false;
    KeptFor keptFor{};
};
KeptStore gKept;

uint64_t gBound = kKeptSamplesBound;
bool gRoomRefused = false;

size_t RoomBytes(uint64_t samples) {
    return static_cast<size_t>(samples * sizeof(double) + samples / kMarkBits * sizeof(uint64_t));
}

void ReleaseRoom() {
    GiveBackLargeRoom(gKept.y, RoomBytes(gKept.room));
    gKept.y = nullptr;
    gKept.marks = nullptr;
    gKept.room = 0;
}

// Room for at least samples samples. A room far larger than needed is given back, so that a small
// plot after a large one does not hold the large one's memory.
bool TakeRoom(uint64_t samples) {
    const uint64_t wanted = (samples + kMarkBits - 1) / kMarkBits * kMarkBits;
    if (gKept.room >= wanted && gKept.room / 4 <= wanted) {
        return true;
    }
    ReleaseRoom();
    void* room = gRoomRefused ? nullptr : TakeLargeRoom(RoomBytes(wanted));
    if (room == nullptr) {
        return false;
    }
    gKept.y = static_cast<double*>(room);
    gKept.marks = reinterpret_cast<uint64_t*>(gKept.y + wanted);
    gKept.room = wanted;
    return true;
}

// The marks of count samples (at most a word) from sample first on, sample first in bit 0. A block
// of the walk is one word, but a block after a stop may straddle two.
static_assert(kSampleBlock <= kMarkBits, "the marks of a block fit a word");

uint64_t LowBits(int count) {
    return count >= static_cast<int>(kMarkBits) ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
}

void PutMarks(uint64_t first, int count, uint64_t marks) {
    const uint64_t shift = first % kMarkBits;
    uint64_t* word = gKept.marks + first / kMarkBits;
    word[0] = (word[0] & ~(LowBits(count) << shift)) | (marks << shift);
    if (shift + static_cast<uint64_t>(count) > kMarkBits) {
        const uint64_t rest = kMarkBits - shift;
        word[1] = (word[1] & ~(LowBits(count) >> rest)) | (marks >> rest);
    }
}

uint64_t GetMarks(uint64_t first, int count) {
    const uint64_t shift = first % kMarkBits;
    const uint64_t* word = gKept.marks + first / kMarkBits;
    uint64_t marks = word[0] >> shift;
    if (shift + static_cast<uint64_t>(count) > kMarkBits) {
        marks |= word[1] << (kMarkBits - shift);
    }
    return marks & LowBits(count);
}

// The undefined marks of samples 0 to count - 1 as bits, sample 0 in bit 0: eight marks (bytes
// holding 0 or 1) at a time, gathered into one byte by a multiplication that moves byte k's bit
// to bit 56 + k without carries. Nothing past count is read.
uint64_t MarksOf(const bool* undefined, int count) {
    static_assert(sizeof(bool) == 1, "a mark is a byte");
    uint64_t marks = 0;
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t eight;
        std::memcpy(&eight, undefined + i, sizeof eight);
        marks |= ((eight * 0x0102040810204080u) >> 56) << i;
    }
    for (; i < count; ++i) {
        marks |= static_cast<uint64_t>(undefined[i]) << i;
    }
    return marks;
}

}  // namespace

void StartKeepingSamples() {
    gKept.valid = false;
    gKept.count = 0;
    if (gPrefs.bEnableEvalDebug != 0 || g_hRoot == nullptr) {
        return;
    }
    // The walk takes Iterations + 1 samples, and its accumulated rounding may add one.
    gKept.limit = std::min(static_cast<uint64_t>(gPrefs.Iterations) + 2, gBound);
    if (!TakeRoom(gKept.limit)) {
        return;
    }
    gKept.keptFor = CurrentSettings();
    gKept.valid = true;
}

void KeepSamples(const SampleBlock& block, int count) {
    if (!gKept.valid || gKept.count == gKept.limit) {
        return;
    }
    const uint64_t first = gKept.count;
    const auto n = static_cast<int>(std::min<uint64_t>(count, gKept.limit - first));
    std::copy(block.y, block.y + n, gKept.y + first);
    PutMarks(first, n, MarksOf(block.undefined, n));
    gKept.count = first + static_cast<uint64_t>(n);
}

void ForgetKeptSamples() {
    gKept.valid = false;
    gKept.count = 0;
    ReleaseRoom();
}

uint64_t UsableKeptSamples() {
    if (!gKept.valid || gPrefs.bEnableEvalDebug != 0) {
        return 0;
    }
    return SameSettings(CurrentSettings(), gKept.keptFor) ? gKept.count : 0;
}

void TakeKeptSamples(uint64_t first, SampleBlock& block) {
    std::copy(gKept.y + first, gKept.y + first + block.count, block.y);
    const uint64_t marks = GetMarks(first, block.count);
    if (marks == 0) {  // mostly
        std::fill(block.undefined, block.undefined + block.count, false);
    } else {
        for (int i = 0; i < block.count; ++i) {
            block.undefined[i] = ((marks >> i) & 1) != 0;
        }
    }
    RepeatLastSample(block);
}

void SetKeptSamplesBound(uint64_t bound) {
    gBound = bound != 0 ? bound : kKeptSamplesBound;
}

void RefuseKeptRoom(bool refuse) {
    gRoomRefused = refuse;
}
