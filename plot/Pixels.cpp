#include "plot/Pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "settings/Prefs.h"

double gMinY = 0.0;
double gMaxY = 0.0;
double gRangeOfY = 0.0;
double gScaleXFactor = 1.0;
double gScaleYFactor = 1.0;

namespace {

DrawSurface* DestHdc = nullptr;
uint16_t H = 0;
uint16_t W = 0;
int16_t HalfY = 0;
int16_t HalfX = 0;
int16_t OldH = 0;
int16_t OldV = 0;

// Without automatic scaling only one pixel per unit within this window is drawn.
constexpr double kUnscaledLimit = 32766.0;

bool UnscaledCoordinate(double offset, double value, int16_t* coordinate) {
    if (!(value >= -kUnscaledLimit && value <= kUnscaledLimit)) {
        return false;
    }
    return ToCoordinate(offset, coordinate);
}

// Where the row and the column of a sample fall before they become coordinates.
double RowPosition(double y) {
    return gPrefs.bAutoScaleY ? (gMinY - y) / gScaleYFactor + H : HalfY - y;
}

double ColumnPosition(double x) {
    return gPrefs.bAutoScaleX ? (x - gPrefs.MinX) / gScaleXFactor : HalfX + x;
}

bool RowOf(double y, double position, int16_t* v) {
    if (gPrefs.bAutoScaleY) {
        return ToCoordinate(position, v);
    }
    return UnscaledCoordinate(position, y, v);
}

bool ColumnOf(double x, double position, int16_t* h) {
    if (gPrefs.bAutoScaleX) {
        return ToCoordinate(position, h);
    }
    return UnscaledCoordinate(position, x, h);
}

// Whether a mapped sample sets its pixel after (lastH, lastV) was the last one set.
bool SetsPixel(bool fits, int16_t h, int16_t v, int16_t lastH, int16_t lastV) {
    // Not the pixel just set, whatever its colour; the device clips the right and bottom edges
    // itself, the left and top ones are left out here.
    return fits & ((h != lastH) | (v != lastV)) & (h >= 0) & (v >= 0);
}

void SetPixelOf(int16_t h, int16_t v, bool invalid) {
    DestHdc->SetPixel(h, v, invalid ? OutofRangeColor : pixelColor);
    OldH = h;
    OldV = v;
}

}  // namespace

void PrepareForScaling(DrawSurface* hDc, const QRect* pr) {
    DestHdc = hDc;
    if (gPrefs.bAutoScaleY) {
        H = static_cast<uint16_t>(pr->bottom - pr->top);
        gScaleYFactor = gRangeOfY / H;
    } else {
        HalfY = static_cast<int16_t>((pr->bottom - pr->top) / 2);
        gScaleYFactor = 1.0;
    }
    if (gPrefs.bAutoScaleX) {
        W = static_cast<uint16_t>(pr->right - pr->left);
        gScaleXFactor = (gPrefs.MaxX - gPrefs.MinX) / W;
    } else {
        HalfX = static_cast<int16_t>((pr->right - pr->left) / 2);
        gScaleXFactor = 1.0;
    }
}

void MapAndDraw(double x, double y, int32_t InvalidPixel) {
    int16_t v = 0;
    int16_t h = 0;
    // Both mappings first, without a branch between them, so that their divisions overlap.
    const bool rowFits = RowOf(y, RowPosition(y), &v);
    const bool columnFits = ColumnOf(x, ColumnPosition(x), &h);
    if (SetsPixel(rowFits && columnFits, h, v, OldH, OldV)) {
        SetPixelOf(h, v, InvalidPixel != 0);
    }
}

// The row and column positions of a whole block: loops of a fixed length without a branch
// inside, which the compiler turns into vector divisions; lane by lane the operations of
// RowPosition and ColumnPosition.
void BlockPositions(const SampleBlock& block, const double* ys, double* rows, double* columns) {
    const double minY = gMinY;
    const double scaleY = gScaleYFactor;
    const double height = H;
    const double halfY = HalfY;
    if (gPrefs.bAutoScaleY) {
        for (int i = 0; i < kSampleBlock; ++i) {
            rows[i] = (minY - ys[i]) / scaleY + height;
        }
    } else {
        for (int i = 0; i < kSampleBlock; ++i) {
            rows[i] = halfY - ys[i];
        }
    }
    const double minX = gPrefs.MinX;
    const double scaleX = gScaleXFactor;
    const double halfX = HalfX;
    if (gPrefs.bAutoScaleX) {
        for (int i = 0; i < kSampleBlock; ++i) {
            columns[i] = (block.x[i] - minX) / scaleX;
        }
    } else {
        for (int i = 0; i < kSampleBlock; ++i) {
            columns[i] = halfX + block.x[i];
        }
    }
}

// ToCoordinate of every position when all of them fall on coordinates from 0 to 32767 (inside
// its first case), in vector instructions; false when some position does not. Without SSE2 the
// compiler vectorizes the loops, and a position is first held within +-40000 (a NaN goes to
// -40000) so that its truncation is defined.
bool PlainCoordinates(const double* positions, int16_t* coordinates) {
#if defined(__SSE2__)
    // cvttpd2dq truncates as the cast does, and gives INT32_MIN for a NaN or a position past the
    // 32-bit range: no position needs holding first.
    __m128i outside = _mm_setzero_si128();
    for (int i = 0; i < kSampleBlock; i += 4) {
        const __m128i low = _mm_cvttpd_epi32(_mm_loadu_pd(positions + i));
        const __m128i high = _mm_cvttpd_epi32(_mm_loadu_pd(positions + i + 2));
        const __m128i four = _mm_unpacklo_epi64(low, high);
        outside = _mm_or_si128(outside, _mm_srli_epi32(four, 15));  // below 0 or above 32767
        _mm_storel_epi64(reinterpret_cast<__m128i*>(coordinates + i), _mm_packs_epi32(four, four));
    }
    return _mm_movemask_epi8(_mm_cmpeq_epi32(outside, _mm_setzero_si128())) == 0xFFFF;
#else
    constexpr double kBound = 40000.0;
    int32_t truncated[kSampleBlock];
    for (int i = 0; i < kSampleBlock; ++i) {
        const double p = positions[i];
        const double held = p > -kBound ? (p < kBound ? p : kBound) : -kBound;
        truncated[i] = static_cast<int32_t>(held);
    }
    uint32_t outside = 0;  // a negative coordinate is a large unsigned number
    for (int i = 0; i < kSampleBlock; ++i) {
        outside |= static_cast<uint32_t>(truncated[i]) > INT16_MAX ? 1u : 0u;
    }
    for (int i = 0; i < kSampleBlock; ++i) {
        coordinates[i] = static_cast<int16_t>(truncated[i]);
    }
    return outside == 0;
#endif
}

// The samples of a block whose coordinates (in pixels) all fit and none lies before the origin:
// each sets its pixel unless it repeats the pixel of the sample before it. The changes are found in
// one pass the compiler vectorizes, then listed without a branch on the outcome (which follows the
// curve and is hard to predict).
void ListChanges(int count, PixelBlock* pixels) {
    const int16_t* hs = pixels->h;
    const int16_t* vs = pixels->v;
    bool changed[kSampleBlock];
    changed[0] = hs[0] != OldH || vs[0] != OldV;
    for (int i = 1; i < kSampleBlock; ++i) {
        changed[i] = (hs[i] != hs[i - 1]) | (vs[i] != vs[i - 1]);
    }
    int listed = 0;
    for (int i = 0; i < count; ++i) {
        pixels->sample[listed] = static_cast<int16_t>(i);
        listed += changed[i] ? 1 : 0;
    }
    pixels->count = listed;
}

// Lists the samples of a block that set their pixel by the rules of MapAndDraw, sample after
// sample, from their rows (whether each fits, and where) and column positions.
void ListFromRows(const SampleBlock& block, const bool* rowFits, const int16_t* vs,
                  const double* columns, PixelBlock* pixels) {
    int16_t lastH = OldH;
    int16_t lastV = OldV;
    int listed = 0;
    for (int i = 0; i < block.count; ++i) {
        int16_t h = 0;
        const bool fits = ColumnOf(block.x[i], columns[i], &h) && rowFits[i];
        const bool sets = SetsPixel(fits, h, vs[i], lastH, lastV);
        pixels->h[i] = h;
        pixels->v[i] = vs[i];
        pixels->sample[listed] = static_cast<int16_t>(i);
        listed += sets ? 1 : 0;
        lastH = sets ? h : lastH;
        lastV = sets ? vs[i] : lastV;
    }
    pixels->count = listed;
}

// Any other block, sample after sample by the rules of MapAndDraw.
void ListEachSample(const SampleBlock& block, const double* ys, const double* rows,
                    const double* columns, PixelBlock* pixels) {
    bool rowFits[kSampleBlock];
    int16_t vs[kSampleBlock];
    for (int i = 0; i < block.count; ++i) {
        vs[i] = 0;
        rowFits[i] = RowOf(ys[i], rows[i], &vs[i]);
    }
    ListFromRows(block, rowFits, vs, columns, pixels);
}

// The Y values a block is mapped with: 0.0 for an undefined sample.
const double* MappedYs(const SampleBlock& block, double* held) {
    // The marks eight at a time: a bool is a byte holding 0 or 1.
    static_assert(kSampleBlock % 8 == 0 && sizeof(bool) == 1, "marks are read in words");
    uint64_t undefined = 0;
    for (int i = 0; i < kSampleBlock; i += 8) {
        uint64_t marks;
        std::memcpy(&marks, block.undefined + i, sizeof marks);
        undefined |= marks;
    }
    if (undefined == 0) {
        return block.y;
    }
    for (int i = 0; i < kSampleBlock; ++i) {
        held[i] = block.undefined[i] ? 0.0 : block.y[i];
    }
    return held;
}

void MapBlock(const SampleBlock& block, PixelBlock* pixels) {
    double held[kSampleBlock];
    const double* ys = MappedYs(block, held);
    double rows[kSampleBlock];
    double columns[kSampleBlock];
    BlockPositions(block, ys, rows, columns);
    // Both conversions run before either result is looked at.
    const bool plainRows = PlainCoordinates(rows, pixels->v);
    const bool plainColumns = PlainCoordinates(columns, pixels->h);
    if (gPrefs.bAutoScaleY && gPrefs.bAutoScaleX && plainRows && plainColumns) {
        ListChanges(block.count, pixels);
    } else {
        ListEachSample(block, ys, rows, columns, pixels);
    }
}

namespace {

// Whether some sample of a block is undefined: the marks eight at a time, as in MappedYs.
bool AnyUndefined(const SampleBlock& block) {
    uint64_t undefined = 0;
    for (int i = 0; i < kSampleBlock; i += 8) {
        uint64_t marks;
        std::memcpy(&marks, block.undefined + i, sizeof marks);
        undefined |= marks;
    }
    return undefined != 0;
}

// The row positions of a block, lane by lane the operations of RowPosition.
void RowPositions(const double* ys, double* rows) {
    const double minY = gMinY;
    const double scaleY = gScaleYFactor;
    const double height = H;
    const double halfY = HalfY;
    if (gPrefs.bAutoScaleY) {
        for (int i = 0; i < kSampleBlock; ++i) {
            rows[i] = (minY - ys[i]) / scaleY + height;
        }
    } else {
        for (int i = 0; i < kSampleBlock; ++i) {
            rows[i] = halfY - ys[i];
        }
    }
}

// The column positions of a block, lane by lane the operations of ColumnPosition.
void ColumnPositions(const SampleBlock& block, double* columns) {
    const double minX = gPrefs.MinX;
    const double scaleX = gScaleXFactor;
    const double halfX = HalfX;
    if (gPrefs.bAutoScaleX) {
        for (int i = 0; i < kSampleBlock; ++i) {
            columns[i] = (block.x[i] - minX) / scaleX;
        }
    } else {
        for (int i = 0; i < kSampleBlock; ++i) {
            columns[i] = halfX + block.x[i];
        }
    }
}

// The least and the greatest Y that each float of a block stands for. A float is its Y rounded to
// the nearest float, so the Y lies within half a float step of it: at most |y| * 2^-24, and 2^-150
// among the smallest floats, both exact in double. An undefined sample is mapped at 0.0. A float
// that overflowed gives bounds that are not numbers, which settle no row.
void NarrowBounds(const SampleBlock& block, const float* y, double* low, double* high) {
    for (int i = 0; i < kSampleBlock; ++i) {
        const double d = y[i];
        const double half = std::max(std::fabs(d) * 0x1p-24, 0x1p-150);
        low[i] = d - half;
        high[i] = d + half;
    }
    for (int i = 0; AnyUndefined(block) && i < kSampleBlock; ++i) {
        low[i] = block.undefined[i] ? 0.0 : low[i];
        high[i] = block.undefined[i] ? 0.0 : high[i];
    }
}

// The row of a Y between low and high, with whether it fits, when both bounds settle it: the
// mapping of a Y to its row position and the position to a row are monotone, so bounds with finite
// positions that fit on one row, or miss on the same side (a position past either end), give the
// outcome of every Y between them.
bool SettledRow(double low, double high, double rowLow, double rowHigh, bool* fits, int16_t* v) {
    int16_t vHigh = 0;
    *v = 0;
    *fits = RowOf(low, rowLow, v);
    const bool fitsHigh = RowOf(high, rowHigh, &vHigh);
    if (low == high) {  // an undefined sample
        return true;
    }
    const bool finite = std::isfinite(rowLow) && std::isfinite(rowHigh);
    const bool sameSide = (rowLow > 0) == (rowHigh > 0);
    return finite && *fits == fitsHigh && (*fits ? *v == vHigh : sameSide);
}

// A position as a coordinate from 0 to 32767, as PlainCoordinates takes it; false otherwise.
bool PlainCoordinate(double position, int16_t* coordinate) {
    return std::isfinite(position) && ToCoordinate(position, coordinate) && *coordinate >= 0;
}

// A block whose samples are all defined, with Y values from lowest to highest, drawn with both
// axes scaled: true when every sample falls on one pixel inside the device, which the ends settle
// (rows fall as Y grows, columns grow with X, which the walk makes grow), and pixels then lists
// the first sample alone, or none when it repeats the pixel last set.
bool MapOnOnePixel(const SampleBlock& block, double lowest, double highest, PixelBlock* pixels) {
    int16_t top = 0;
    int16_t bottom = 0;
    int16_t left = 0;
    int16_t right = 0;
    const bool onePixel =
        gPrefs.bAutoScaleY && gPrefs.bAutoScaleX && PlainCoordinate(RowPosition(highest), &top) &&
        PlainCoordinate(RowPosition(lowest), &bottom) && top == bottom &&
        PlainCoordinate(ColumnPosition(block.x[0]), &left) &&
        PlainCoordinate(ColumnPosition(block.x[kSampleBlock - 1]), &right) && left == right;
    if (onePixel) {
        pixels->h[0] = left;
        pixels->v[0] = top;
        pixels->sample[0] = 0;
        pixels->count = left != OldH || top != OldV ? 1 : 0;
    }
    return onePixel;
}

// The least and the greatest float of a block with no undefined sample, as the least and the
// greatest Y they stand for (NarrowBounds, whose ends grow with the float); false when some sample
// is undefined.
bool NarrowExtremes(const SampleBlock& block, const float* y, double* lowest, double* highest) {
    if (AnyUndefined(block)) {
        return false;
    }
    float least = y[0];
    float greatest = y[0];
    for (int i = 1; i < kSampleBlock; ++i) {
        least = y[i] < least ? y[i] : least;
        greatest = y[i] > greatest ? y[i] : greatest;
    }
    const double low = least;
    const double high = greatest;
    *lowest = low - std::max(std::fabs(low) * 0x1p-24, 0x1p-150);
    *highest = high + std::max(std::fabs(high) * 0x1p-24, 0x1p-150);
    return true;
}

}  // namespace

bool MapNarrowBlock(const SampleBlock& block, const float* y, PixelBlock* pixels) {
    double lowest = 0.0;
    double highest = 0.0;
    if (NarrowExtremes(block, y, &lowest, &highest) &&
        MapOnOnePixel(block, lowest, highest, pixels)) {
        return true;  // mostly, where many samples fall on each pixel
    }
    double low[kSampleBlock];
    double high[kSampleBlock];
    NarrowBounds(block, y, low, high);
    double rowsLow[kSampleBlock];
    double rowsHigh[kSampleBlock];
    double columns[kSampleBlock];
    RowPositions(low, rowsLow);
    RowPositions(high, rowsHigh);
    ColumnPositions(block, columns);
    int16_t vsHigh[kSampleBlock];
    const bool plainLow = PlainCoordinates(rowsLow, pixels->v);
    const bool plainHigh = PlainCoordinates(rowsHigh, vsHigh);
    const bool plainColumns = PlainCoordinates(columns, pixels->h);
    int differ = 0;  // a loop the compiler vectorizes, where memcmp may go byte by byte
    for (int i = 0; i < kSampleBlock; ++i) {
        differ |= pixels->v[i] ^ vsHigh[i];
    }
    if (gPrefs.bAutoScaleY && gPrefs.bAutoScaleX && plainLow && plainHigh && plainColumns &&
        differ == 0) {
        ListChanges(block.count, pixels);
        return true;
    }
    bool rowFits[kSampleBlock];
    int16_t vs[kSampleBlock];
    for (int i = 0; i < block.count; ++i) {
        if (!SettledRow(low[i], high[i], rowsLow[i], rowsHigh[i], &rowFits[i], &vs[i])) {
            return false;
        }
    }
    ListFromRows(block, rowFits, vs, columns, pixels);
    return true;
}

void DrawMapped(const PixelBlock& pixels, const SampleBlock& block, int end) {
    int last = -1;
    for (int k = 0; k < pixels.count && pixels.sample[k] < end; ++k) {
        last = pixels.sample[k];
        DestHdc->SetPixel(pixels.h[last], pixels.v[last],
                          block.undefined[last] ? OutofRangeColor : pixelColor);
    }
    if (last >= 0) {
        OldH = pixels.h[last];
        OldV = pixels.v[last];
    }
}

void LastPixel(int16_t* h, int16_t* v) {
    *h = OldH;
    *v = OldV;
}
