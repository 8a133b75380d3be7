#include "engine/KeptSamples.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

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

void PutMarks(uint64_t* marks, uint64_t first, int count, uint64_t bits) {
    const uint64_t shift = first % kMarkBits;
    uint64_t* word = marks + first / kMarkBits;
    word[0] = (word[0] & ~(LowBits(count) << shift)) | (bits << shift);
    if (shift + static_cast<uint64_t>(count) > kMarkBits) {
        const uint64_t rest = kMarkBits - shift;
        word[1] = (word[1] & ~(LowBits(count) >> rest)) | (bits >> rest);
    }
}

uint64_t GetMarks(const uint64_t* marks, uint64_t first, int count) {
    const uint64_t shift = first % kMarkBits;
    const uint64_t* word = marks + first / kMarkBits;
    uint64_t bits = word[0] >> shift;
    if (shift + static_cast<uint64_t>(count) > kMarkBits) {
        bits |= word[1] << (kMarkBits - shift);
    }
    return bits & LowBits(count);
}

void SpreadMarks(uint64_t bits, SampleBlock& block) {
    if (bits == 0) {  // mostly
        std::fill(block.undefined, block.undefined + block.count, false);
        return;
    }
    for (int i = 0; i < block.count; ++i) {
        block.undefined[i] = ((bits >> i) & 1) != 0;
    }
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

// The floats of the samples past the kept doubles, in pieces of kNarrowPiece samples taken as the
// walk reaches them: each piece holds its floats, then their undefined marks.
constexpr uint64_t kMostPieces = kNarrowSamplesBound / kNarrowPiece;
constexpr size_t kPieceBytes = kNarrowPiece * sizeof(float) + kNarrowPiece / kMarkBits * 8;
static_assert(kNarrowPiece % kMarkBits == 0, "a piece holds whole mark words");

struct NarrowStore {
    float* pieces[kMostPieces] = {};
    uint64_t limit = 0;  // the most samples from the start of the walk kept, doubles and floats
    uint64_t count = 0;  // the samples kept so far, doubles and floats
    bool keep = false;   // the front end's choice
};
NarrowStore gNarrow;

uint64_t gNarrowBound = kNarrowSamplesBound;

uint64_t* PieceMarks(float* piece) {
    return reinterpret_cast<uint64_t*>(piece + kNarrowPiece);
}

// The pieces from the one that holds float first on are given back.
void ReleasePiecesFrom(uint64_t first) {
    for (uint64_t p = (first + kNarrowPiece - 1) / kNarrowPiece; p < kMostPieces; ++p) {
        std::free(gNarrow.pieces[p]);
        gNarrow.pieces[p] = nullptr;
    }
}

// The piece of float index, taken when the walk first reaches it; null when it cannot be had.
float* PieceFor(uint64_t index) {
    float*& piece = gNarrow.pieces[index / kNarrowPiece];
    if (piece == nullptr && !gRoomRefused) {
        piece = static_cast<float*>(std::malloc(kPieceBytes));
    }
    return piece;
}

// The narrow store starts after the doubles when the walk is longer than they hold; pieces a
// shorter walk does not need are given back.
void StartNarrow() {
    gNarrow.count = 0;
    gNarrow.limit = 0;
    const uint64_t samples = static_cast<uint64_t>(gPrefs.Iterations) + 2;
    const bool past = gKept.valid && gKept.limit < samples;
    if (gNarrow.keep && past) {
        gNarrow.limit = std::min(samples, std::max(gNarrowBound, gKept.limit));
        gNarrow.count = gKept.limit;
    }
    ReleasePiecesFrom(gNarrow.limit > gKept.limit ? gNarrow.limit - gKept.limit : 0);
}

// A Y as the nearest float; one past the range of floats (or not a number) as infinity, which
// settles no pixel.
float AsFloat(double y) {
    constexpr double kLargest = std::numeric_limits<float>::max();
    return std::fabs(y) <= kLargest ? static_cast<float>(y)
                                    : std::numeric_limits<float>::infinity();
}

// Keeps count samples of block from sample from on as floats, which follow the doubles; stops
// keeping where a piece cannot be had.
void KeepNarrow(const SampleBlock& block, int from, int count) {
    int done = 0;
    const auto n = static_cast<int>(std::min<uint64_t>(count, gNarrow.limit - gNarrow.count));
    while (done < n) {
        const uint64_t index = gNarrow.count - gKept.limit;
        float* piece = PieceFor(index);
        if (piece == nullptr) {
            gNarrow.limit = gNarrow.count;
            return;
        }
        const uint64_t at = index % kNarrowPiece;
        const auto part = static_cast<int>(std::min<uint64_t>(n - done, kNarrowPiece - at));
        for (int i = 0; i < part; ++i) {
            piece[at + i] = AsFloat(block.y[from + done + i]);
        }
        PutMarks(PieceMarks(piece), at, part, MarksOf(block.undefined + from + done, part));
        done += part;
        gNarrow.count += static_cast<uint64_t>(part);
    }
}

}  // namespace

void StartKeepingSamples() {
    gKept.valid = false;
    gKept.count = 0;
    gNarrow.count = 0;
    gNarrow.limit = 0;
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
    StartNarrow();
}

void KeepSamples(const SampleBlock& block, int count) {
    if (!gKept.valid) {
        return;
    }
    const uint64_t first = gKept.count;
    const auto n = static_cast<int>(std::min<uint64_t>(count, gKept.limit - first));
    if (n > 0) {
        std::copy(block.y, block.y + n, gKept.y + first);
        PutMarks(gKept.marks, first, n, MarksOf(block.undefined, n));
        gKept.count = first + static_cast<uint64_t>(n);
    }
    if (n < count && gNarrow.count < gNarrow.limit) {
        KeepNarrow(block, n, count - n);
    }
}

void ForgetKeptSamples() {
    gKept.valid = false;
    gKept.count = 0;
    gNarrow.count = 0;
    gNarrow.limit = 0;
    ReleaseRoom();
    ReleasePiecesFrom(0);
}

uint64_t UsableKeptSamples() {
    if (!gKept.valid || gPrefs.bEnableEvalDebug != 0) {
        return 0;
    }
    return SameSettings(CurrentSettings(), gKept.keptFor) ? gKept.count : 0;
}

void TakeKeptSamples(uint64_t first, SampleBlock& block) {
    std::copy(gKept.y + first, gKept.y + first + block.count, block.y);
    SpreadMarks(GetMarks(gKept.marks, first, block.count), block);
    RepeatLastSample(block);
}

void KeepNarrowSamples(bool keep) {
    gNarrow.keep = keep;
}

uint64_t UsableNarrowSamples() {
    const uint64_t kept = UsableKeptSamples();
    return kept == gKept.limit && gNarrow.limit != 0 ? gNarrow.count : kept;
}

void TakeNarrowSamples(uint64_t first, SampleBlock& block, float* y) {
    const int count = block.count;
    int done = 0;
    uint64_t bits = 0;
    while (done < count) {
        const uint64_t index = first + static_cast<uint64_t>(done) - gKept.limit;
        const float* piece = gNarrow.pieces[index / kNarrowPiece];
        const uint64_t at = index % kNarrowPiece;
        const auto part = static_cast<int>(std::min<uint64_t>(count - done, kNarrowPiece - at));
        std::copy(piece + at, piece + at + part, y + done);
        bits |= GetMarks(PieceMarks(gNarrow.pieces[index / kNarrowPiece]), at, part) << done;
        done += part;
    }
    SpreadMarks(bits, block);
    std::fill(y + count, y + kSampleBlock, y[count - 1]);
    RepeatLastSample(block);
}

void SetKeptSamplesBound(uint64_t bound) {
    gBound = bound != 0 ? bound : kKeptSamplesBound;
}

void SetNarrowSamplesBound(uint64_t bound) {
    gNarrowBound = bound != 0 ? std::min(bound, kNarrowSamplesBound) : kNarrowSamplesBound;
}

void RefuseKeptRoom(bool refuse) {
    gRoomRefused = refuse;
}
