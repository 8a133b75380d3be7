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

QColor SampleColor(bool invalid) {
    return invalid ? OutofRangeColor : pixelColor;
}

void SetPixelOf(int16_t h, int16_t v, bool invalid) {
    DestHdc->SetPixel(h, v, SampleColor(invalid));
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

namespace {

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

}  // namespace

// The row and column positions of a whole block: loops of a fixed length without a branch
// inside, which the compiler turns into vector divisions.
void BlockPositions(const SampleBlock& block, const double* ys, double* rows, double* columns) {
    RowPositions(ys, rows);
    ColumnPositions(block, columns);
}

// How close to a pixel edge a position found with a reciprocal may lie and still give the
// coordinate that the division gives.
//
// The division gives q = fl(a / s) = (a / s)(1 + e2), the reciprocal q' = fl(a * fl(1 / s)) =
// (a / s)(1 + e1)(1 + e3), each |ei| <= u = 2^-53 (an underflow adds at most 2^-1074; an overflow
// or a NaN gives a position outside the plain range). So |q' - q| <= (3u + u^2)|a / s|. A row is
// fl(q + H) with H <= 65535: where fl(q' + H) lies in 0..32767, |q'| < 2^17, so |q' - q| < 2^-34,
// and each of the two additions moves its sum by at most u * 2^16 = 2^-37: the two rows differ by
// less than 2^-33 (a column, without H, by less than 2^-34). A position at least this margin
// away from every integer therefore truncates as the exact one does; it is far larger than the
// bound so that extended precision or a fused multiply-add cannot cross it either.
constexpr double kPixelEdgeMargin = 1.0 / (1 << 20);

#if defined(__SSE2__)
namespace {

// The verdict of a loop over truncated positions: none had a bit past bit 14 (each lay from 0 to
// 32767), and every fractional part lay at least margin away from 0 and from 1.
bool PlainWithMargin(__m128i outside, __m128d lowestPart, __m128d highestPart, double margin) {
    const bool inside = _mm_movemask_epi8(_mm_cmpeq_epi32(outside, _mm_setzero_si128())) == 0xFFFF;
    const __m128d nearEdge = _mm_or_pd(_mm_cmplt_pd(lowestPart, _mm_set1_pd(margin)),
                                       _mm_cmpgt_pd(highestPart, _mm_set1_pd(1.0 - margin)));
    return inside && _mm_movemask_pd(nearEdge) == 0;
}

}  // namespace
#endif

// ToCoordinate of every position when all of them fall on coordinates from 0 to 32767 (inside
// its first case), and each lies at least margin away from its coordinate and the next one, in
// vector instructions; false when some position does not. Without SSE2 the compiler vectorizes
// the loops, and a position is first held within +-40000 (a NaN goes to -40000) so that its
// truncation is defined.
bool PlainCoordinates(const double* positions, int16_t* coordinates, double margin) {
#if defined(__SSE2__)
    // cvttpd2dq truncates as the cast does, and gives INT32_MIN for a NaN or a position past the
    // 32-bit range: no position needs holding first.
    __m128i outside = _mm_setzero_si128();
    // The smallest and largest fractional parts, of positions inside the 32-bit range.
    __m128d lowestPart = _mm_set1_pd(1.0);
    __m128d highestPart = _mm_setzero_pd();
    for (int i = 0; i < kSampleBlock; i += 4) {
        const __m128d first = _mm_loadu_pd(positions + i);
        const __m128d second = _mm_loadu_pd(positions + i + 2);
        const __m128i firstTwo = _mm_cvttpd_epi32(first);
        const __m128i secondTwo = _mm_cvttpd_epi32(second);
        const __m128i four = _mm_unpacklo_epi64(firstTwo, secondTwo);
        outside = _mm_or_si128(outside, _mm_srli_epi32(four, 15));  // below 0 or above 32767
        const __m128d firstPart = _mm_sub_pd(first, _mm_cvtepi32_pd(firstTwo));
        const __m128d secondPart = _mm_sub_pd(second, _mm_cvtepi32_pd(secondTwo));
        lowestPart = _mm_min_pd(lowestPart, _mm_min_pd(firstPart, secondPart));
        highestPart = _mm_max_pd(highestPart, _mm_max_pd(firstPart, secondPart));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(coordinates + i), _mm_packs_epi32(four, four));
    }
    return PlainWithMargin(outside, lowestPart, highestPart, margin);
#else
    constexpr double kBound = 40000.0;
    int32_t truncated[kSampleBlock];
    double parts[kSampleBlock];
    for (int i = 0; i < kSampleBlock; ++i) {
        const double p = positions[i];
        const double held = p > -kBound ? (p < kBound ? p : kBound) : -kBound;
        truncated[i] = static_cast<int32_t>(held);
        parts[i] = held - truncated[i];
    }
    uint32_t outside = 0;  // a negative coordinate is a large unsigned number
    for (int i = 0; i < kSampleBlock; ++i) {
        outside |= static_cast<uint32_t>(truncated[i]) > INT16_MAX ? 1u : 0u;
        outside |= ((parts[i] < margin) | (parts[i] > 1.0 - margin)) ? 1u : 0u;
    }
    for (int i = 0; i < kSampleBlock; ++i) {
        coordinates[i] = static_cast<int16_t>(truncated[i]);
    }
    return outside == 0;
#endif
}

// Bit i set where sample i lies on another pixel than sample i - 1 (sample 0: than the last
// pixel set).
uint64_t PixelChanges(const PixelBlock& pixels) {
    const int16_t* hs = pixels.h;
    const int16_t* vs = pixels.v;
#if defined(__SSE2__)
    // Eight samples at a time beside the eight before them, one place earlier.
    uint64_t changes = 0;
    for (int i = 0; i < kSampleBlock; i += 8) {
        const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hs + i));
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(vs + i));
        __m128i previousH;
        __m128i previousV;
        if (i == 0) {
            previousH = _mm_insert_epi16(_mm_slli_si128(h, 2), OldH, 0);
            previousV = _mm_insert_epi16(_mm_slli_si128(v, 2), OldV, 0);
        } else {
            previousH = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hs + i - 1));
            previousV = _mm_loadu_si128(reinterpret_cast<const __m128i*>(vs + i - 1));
        }
        const __m128i same =
            _mm_and_si128(_mm_cmpeq_epi16(h, previousH), _mm_cmpeq_epi16(v, previousV));
        const auto sameBits =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(same, _mm_setzero_si128())));
        changes |= static_cast<uint64_t>(~sameBits & 0xFFu) << i;
    }
    return changes;
#else
    uint64_t changes = ((hs[0] != OldH) | (vs[0] != OldV)) ? 1u : 0u;
    for (int i = 1; i < kSampleBlock; ++i) {
        changes |= static_cast<uint64_t>((hs[i] != hs[i - 1]) | (vs[i] != vs[i - 1])) << i;
    }
    return changes;
#endif
}

// The samples of a block whose coordinates (in pixels) all fit and none lies before the origin:
// each sets its pixel unless it repeats the pixel of the sample before it.
void MarkChanges(int count, PixelBlock* pixels) {
    static_assert(kSampleBlock == 64, "the changes of a block fill one word");
    const uint64_t changes = PixelChanges(*pixels);
    pixels->sets = changes & LowBits(count);
}

// Marks the samples of a block that set their pixel by the rules of MapAndDraw, sample after
// sample, from their rows (whether each fits, and where) and column positions.
void MarkFromRows(const SampleBlock& block, const bool* rowFits, const int16_t* vs,
                  const double* columns, PixelBlock* pixels) {
    int16_t lastH = OldH;
    int16_t lastV = OldV;
    uint64_t sets = 0;
    for (int i = 0; i < block.count; ++i) {
        int16_t h = 0;
        const bool fits = ColumnOf(block.x[i], columns[i], &h) && rowFits[i];
        const bool setsPixel = SetsPixel(fits, h, vs[i], lastH, lastV);
        pixels->h[i] = h;
        pixels->v[i] = vs[i];
        sets |= static_cast<uint64_t>(setsPixel) << i;
        lastH = setsPixel ? h : lastH;
        lastV = setsPixel ? vs[i] : lastV;
    }
    pixels->sets = sets;
    // Past count, the block repeats its last sample.
    std::fill(pixels->h + block.count, pixels->h + kSampleBlock, pixels->h[block.count - 1]);
    std::fill(pixels->v + block.count, pixels->v + kSampleBlock, pixels->v[block.count - 1]);
}

// Any other block, sample after sample by the rules of MapAndDraw.
void MarkEachSample(const SampleBlock& block, const double* ys, const double* rows,
                    const double* columns, PixelBlock* pixels) {
    bool rowFits[kSampleBlock];
    int16_t vs[kSampleBlock];
    for (int i = 0; i < block.count; ++i) {
        vs[i] = 0;
        rowFits[i] = RowOf(ys[i], rows[i], &vs[i]);
    }
    MarkFromRows(block, rowFits, vs, columns, pixels);
}

// The Y values a block is mapped with: 0.0 for an undefined sample.
const double* MappedYs(const SampleBlock& block, double* held) {
    if (!AnyUndefined(block)) {
        return block.y;
    }
    for (int i = 0; i < kSampleBlock; ++i) {
        held[i] = block.undefined[i] ? 0.0 : block.y[i];
    }
    return held;
}

// The coordinates of a block under automatic scaling of both axes, with a multiplication by the
// reciprocal of each scale where BlockPositions divides: the positions may differ from the
// divided ones in their last bits, so the coordinates are taken only where PlainCoordinates with
// kPixelEdgeMargin takes them all, rows and columns; false otherwise.
#if defined(__SSE2__)
// One loop with the positions kept in registers, lane by lane the operations of the loops below.
bool ReciprocalCoordinates(const SampleBlock& block, const double* ys, PixelBlock* pixels) {
    const __m128d minY = _mm_set1_pd(gMinY);
    const __m128d rowsPerUnit = _mm_set1_pd(1.0 / gScaleYFactor);
    const __m128d height = _mm_set1_pd(H);
    const __m128d minX = _mm_set1_pd(gPrefs.MinX);
    const __m128d columnsPerUnit = _mm_set1_pd(1.0 / gScaleXFactor);
    __m128i outside = _mm_setzero_si128();
    // The smallest and largest fractional parts of rows and columns, held in few registers so that
    // none of the loop's values goes through memory.
    __m128d lowestPart = _mm_set1_pd(1.0);
    __m128d highestPart = _mm_setzero_pd();
    const auto row = [&](int i) {
        return _mm_add_pd(_mm_mul_pd(_mm_sub_pd(minY, _mm_loadu_pd(ys + i)), rowsPerUnit), height);
    };
    const auto column = [&](int i) {
        return _mm_mul_pd(_mm_sub_pd(_mm_loadu_pd(block.x + i), minX), columnsPerUnit);
    };
    const auto part = [](__m128d position, __m128i truncated) {
        return _mm_sub_pd(position, _mm_cvtepi32_pd(truncated));
    };
    for (int i = 0; i < kSampleBlock; i += 4) {
        const __m128d rowA = row(i);
        const __m128d rowB = row(i + 2);
        const __m128d columnA = column(i);
        const __m128d columnB = column(i + 2);
        const __m128i rowA32 = _mm_cvttpd_epi32(rowA);
        const __m128i rowB32 = _mm_cvttpd_epi32(rowB);
        const __m128i columnA32 = _mm_cvttpd_epi32(columnA);
        const __m128i columnB32 = _mm_cvttpd_epi32(columnB);
        const __m128i rows = _mm_unpacklo_epi64(rowA32, rowB32);
        const __m128i columns = _mm_unpacklo_epi64(columnA32, columnB32);
        // below 0 or above 32767
        outside = _mm_or_si128(outside, _mm_srli_epi32(_mm_or_si128(rows, columns), 15));
        const __m128d rowPartA = part(rowA, rowA32);
        const __m128d rowPartB = part(rowB, rowB32);
        const __m128d columnPartA = part(columnA, columnA32);
        const __m128d columnPartB = part(columnB, columnB32);
        lowestPart = _mm_min_pd(lowestPart, _mm_min_pd(_mm_min_pd(rowPartA, rowPartB),
                                                       _mm_min_pd(columnPartA, columnPartB)));
        highestPart = _mm_max_pd(highestPart, _mm_max_pd(_mm_max_pd(rowPartA, rowPartB),
                                                         _mm_max_pd(columnPartA, columnPartB)));
        const __m128i coordinates = _mm_packs_epi32(rows, columns);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(pixels->v + i), coordinates);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(pixels->h + i),
                         _mm_unpackhi_epi64(coordinates, coordinates));
    }
    return PlainWithMargin(outside, lowestPart, highestPart, kPixelEdgeMargin);
}
#else
bool ReciprocalCoordinates(const SampleBlock& block, const double* ys, PixelBlock* pixels) {
    double rows[kSampleBlock];
    double columns[kSampleBlock];
    const double minY = gMinY;
    const double rowsPerUnit = 1.0 / gScaleYFactor;
    const double height = H;
    for (int i = 0; i < kSampleBlock; ++i) {
        rows[i] = (minY - ys[i]) * rowsPerUnit + height;
    }
    const double minX = gPrefs.MinX;
    const double columnsPerUnit = 1.0 / gScaleXFactor;
    for (int i = 0; i < kSampleBlock; ++i) {
        columns[i] = (block.x[i] - minX) * columnsPerUnit;
    }
    // Both conversions run before either result is looked at.
    const bool plainRows = PlainCoordinates(rows, pixels->v, kPixelEdgeMargin);
    const bool plainColumns = PlainCoordinates(columns, pixels->h, kPixelEdgeMargin);
    return plainRows && plainColumns;
}
#endif

void MapBlock(const SampleBlock& block, PixelBlock* pixels) {
    double held[kSampleBlock];
    const double* ys = MappedYs(block, held);
    double rows[kSampleBlock];
    double columns[kSampleBlock];
    const bool bothScaled = gPrefs.bAutoScaleY && gPrefs.bAutoScaleX;
    if (bothScaled && ReciprocalCoordinates(block, ys, pixels)) {
        MarkChanges(block.count, pixels);
        return;
    }
    // A position near a pixel edge or outside the plain range: the whole block by division.
    BlockPositions(block, ys, rows, columns);
    const bool plainRows = PlainCoordinates(rows, pixels->v, 0.0);
    const bool plainColumns = PlainCoordinates(columns, pixels->h, 0.0);
    if (bothScaled && plainRows && plainColumns) {
        MarkChanges(block.count, pixels);
    } else {
        MarkEachSample(block, ys, rows, columns, pixels);
    }
}

namespace {

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
// (rows fall as Y grows, columns grow with X, which the walk makes grow), and pixels then has the
// first sample alone set its pixel, or none when it repeats the pixel last set.
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
        std::fill(pixels->h, pixels->h + kSampleBlock, left);
        std::fill(pixels->v, pixels->v + kSampleBlock, top);
        pixels->sets = left != OldH || top != OldV ? 1 : 0;
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
    const bool plainLow = PlainCoordinates(rowsLow, pixels->v, 0.0);
    const bool plainHigh = PlainCoordinates(rowsHigh, vsHigh, 0.0);
    const bool plainColumns = PlainCoordinates(columns, pixels->h, 0.0);
    int differ = 0;  // a loop the compiler vectorizes, where memcmp may go byte by byte
    for (int i = 0; i < kSampleBlock; ++i) {
        differ |= pixels->v[i] ^ vsHigh[i];
    }
    if (gPrefs.bAutoScaleY && gPrefs.bAutoScaleX && plainLow && plainHigh && plainColumns &&
        differ == 0) {
        MarkChanges(block.count, pixels);
        return true;
    }
    bool rowFits[kSampleBlock];
    int16_t vs[kSampleBlock];
    for (int i = 0; i < block.count; ++i) {
        if (!SettledRow(low[i], high[i], rowsLow[i], rowsHigh[i], &rowFits[i], &vs[i])) {
            return false;
        }
    }
    MarkFromRows(block, rowFits, vs, columns, pixels);
    return true;
}

// A block that sets one pixel (mostly, where many samples fall on each pixel) sets it alone.
void DrawMapped(const PixelBlock& pixels, const SampleBlock& block, int end) {
    const uint64_t sets = pixels.sets & LowBits(end);
    if (sets == 0) {
        return;
    }
    int last = kSampleBlock - 1;
    while (((sets >> last) & 1) == 0) {
        --last;
    }
    if ((sets & (sets - 1)) == 0) {
        SetPixelOf(pixels.h[last], pixels.v[last], block.undefined[last]);
        return;
    }
    static_assert(kSampleBlock == kPixelsAtOnce, "a block's pixels are set at once");
    QColor colors[kSampleBlock];
    std::fill(colors, colors + kSampleBlock, pixelColor);
    if (AnyUndefined(block)) {
        for (int i = 0; i < kSampleBlock; ++i) {
            colors[i] = SampleColor(block.undefined[i]);
        }
    }
    DestHdc->SetPixels(pixels.h, pixels.v, colors, sets);
    OldH = pixels.h[last];
    OldV = pixels.v[last];
}

void LastPixel(int16_t* h, int16_t* v) {
    *h = OldH;
    *v = OldV;
}
