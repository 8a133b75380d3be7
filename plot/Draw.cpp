#include "plot/Draw.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/Analize.h"
#include "engine/Eval.h"
#include "engine/Passes.h"
#include "platform/NumberText.h"
#include "plot/Pixels.h"
#include "settings/Prefs.h"

namespace {

double X_WhereMinY = 0.0;
double X_WhereMaxY = 0.0;
NarrowDrawing gNarrowDrawing = {0, 0};

constexpr size_t kLineSize = 100;
constexpr uint32_t kBottomLeft = kDtSingleLine | kDtBottom;
constexpr uint32_t kBottomRight = kDtSingleLine | kDtBottom | kDtRight;
constexpr uint32_t kBottomCentre = kDtSingleLine | kDtBottom | kDtCenter;
constexpr uint32_t kCentred = kDtSingleLine | kDtVCenter | kDtCenter;

using Line = char[kLineSize];

void NumberLine(Line& line, const char* before, double value, int width, int precision,
                const char* after) {
    FormatNumberLine(line, kLineSize, before, value, width, precision, after);
}

void Text(DrawSurface* hDc, const char* text, const QRect& rect, uint32_t format) {
    MyDrawText(hDc, text, static_cast<int16_t>(std::strlen(text)), &rect, format);
}

void DrawLabels(DrawSurface* hDc, const QRect& rect) {
    Line line;
    NumberLine(line, "xMin", gPrefs.MinX, 9, 0, " ");
    Text(hDc, line, rect, kBottomLeft);
    NumberLine(line, "xMax", gPrefs.MaxX, 9, 0, " ");
    Text(hDc, line, rect, kBottomRight);
    char count[32];
    std::snprintf(count, sizeof count, "; iter. %ld", static_cast<long>(gPrefs.Iterations));
    NumberLine(line, "delta ", g_DeltaX, 9, 3, count);
    Text(hDc, line, rect, kBottomCentre);
}

// Where an axis falls: on a coordinate the device can be given (it clips what lies past the
// right or bottom edge), past the 16-bit range on the far side, or before the origin.
enum class AxisPlace { OnDevice, BeyondFarEdge, BeforeOrigin };

// A negative position hides the axes however far out it lies, so its sign is judged on the real
// value before it is narrowed to 16 bits.
AxisPlace PlaceAxis(double position, int16_t* coordinate) {
    if (ToCoordinate(position, coordinate)) {
        return *coordinate < 0 ? AxisPlace::BeforeOrigin : AxisPlace::OnDevice;
    }
    return position < 0 ? AxisPlace::BeforeOrigin : AxisPlace::BeyondFarEdge;
}

// The row of Y = 0 under automatic Y scaling, else the middle row.
AxisPlace AxisRow(int16_t height, int16_t* v) {
    if (gPrefs.bAutoScaleY && g_hRoot != nullptr) {
        return PlaceAxis(gMinY / gScaleYFactor + height, v);
    }
    return PlaceAxis(height / 2, v);
}

// The column of X = 0 under automatic X scaling, else the middle column.
AxisPlace AxisColumn(int16_t width, int16_t* h) {
    if (gPrefs.bAutoScaleX && g_hRoot != nullptr) {
        return PlaceAxis(-gPrefs.MinX / gScaleXFactor, h);
    }
    return PlaceAxis(width / 2, h);
}

int16_t Coord(int32_t value) {
    return static_cast<int16_t>(value);
}

// Full width, with a small closed arrowhead at the right edge.
void DrawXAxis(DrawSurface* hDc, const QRect& r, int16_t v) {
    MyMoveToEx(hDc, Coord(r.left), v, nullptr);
    MyLineTo(hDc, Coord(r.right), v);
    MyLineTo(hDc, Coord(r.right - 2), Coord(v - 2));
    MyLineTo(hDc, Coord(r.right - 2), Coord(v + 2));
    MyLineTo(hDc, Coord(r.right), v);
}

// Full height, with the arrowhead at the top.
void DrawYAxis(DrawSurface* hDc, const QRect& r, int16_t h) {
    MyMoveToEx(hDc, h, Coord(r.bottom), nullptr);
    MyLineTo(hDc, h, Coord(r.top));
    MyLineTo(hDc, Coord(h - 2), Coord(r.top + 2));
    MyLineTo(hDc, Coord(h + 2), Coord(r.top + 2));
    MyLineTo(hDc, h, Coord(r.top));
}

// The samples of a block up to the one after which the pass stops are measured, in order: the
// first X of each extreme wins.
void MeasureEachSample(const SampleBlock& block, int measured) {
    for (int i = 0; i < measured; ++i) {
        if (block.undefined[i]) {
            continue;
        }
        if (block.y[i] > gMaxY) {
            gMaxY = block.y[i];
            X_WhereMaxY = block.x[i];
        }
        if (block.y[i] < gMinY) {
            gMinY = block.y[i];
            X_WhereMinY = block.x[i];
        }
    }
}

// A whole block of defined samples, measured as MeasureEachSample measures it: its largest Y, if
// above gMaxY, becomes gMaxY at the first sample that has it (every sample before it is smaller);
// likewise its smallest. Its Y values are all finite, so the vector maximum and minimum need not
// care for NaNs, and a zero of either sign is found by its value.
void MeasureWholeBlock(const SampleBlock& block) {
#if defined(__SSE2__)
    const auto firstSampleAt = [&block](double value) {
        int i = 0;
        while (block.y[i] != value) {
            ++i;
        }
        return i;
    };
    // Two maxima and two minima side by side, so that each waits only for every other pair.
    static_assert(kSampleBlock % 4 == 0, "a block is read four samples at a time");
    __m128d highA = _mm_loadu_pd(block.y);
    __m128d highB = _mm_loadu_pd(block.y + 2);
    __m128d lowA = highA;
    __m128d lowB = highB;
    for (int i = 4; i < kSampleBlock; i += 4) {
        const __m128d a = _mm_loadu_pd(block.y + i);
        const __m128d b = _mm_loadu_pd(block.y + i + 2);
        highA = _mm_max_pd(highA, a);
        highB = _mm_max_pd(highB, b);
        lowA = _mm_min_pd(lowA, a);
        lowB = _mm_min_pd(lowB, b);
    }
    const __m128d high = _mm_max_pd(highA, highB);
    const __m128d low = _mm_min_pd(lowA, lowB);
    const double highest =
        std::max(_mm_cvtsd_f64(high), _mm_cvtsd_f64(_mm_unpackhi_pd(high, high)));
    const double lowest = std::min(_mm_cvtsd_f64(low), _mm_cvtsd_f64(_mm_unpackhi_pd(low, low)));
    if (highest > gMaxY) {
        const int i = firstSampleAt(highest);
        gMaxY = block.y[i];
        X_WhereMaxY = block.x[i];
    }
    if (lowest < gMinY) {
        const int i = firstSampleAt(lowest);
        gMinY = block.y[i];
        X_WhereMinY = block.x[i];
    }
#else
    MeasureEachSample(block, kSampleBlock);
#endif
}

// Measures the samples of a block up to the one after which the pass stops, and keeps them for
// the passes after this one. Out of line (see NextSampleBlock).
[[gnu::noinline]] bool MeasureBlock(const SampleBlock& block) {
    int32_t measured = 0;
    const bool stops = PassSamplesDone(block.count, &measured) != 0;
    if (measured == kSampleBlock && !AnyUndefined(block)) {
        MeasureWholeBlock(block);
    } else {
        MeasureEachSample(block, measured);
    }
    KeepSamples(block, measured);
    return !stops;
}

// The pixels of a mapped block up to the sample after which the pass stops; false when it stops.
bool DrawPixelBlock(const PixelBlock& pixels, const SampleBlock& block) {
    int32_t end = 0;
    const bool stops = PassSamplesDone(block.count, &end) != 0;
    DrawMapped(pixels, block, end);
    return !stops;
}

// The visits of the drawing pass, out of line (see NextSampleBlock).
[[gnu::noinline]] bool DrawBlock(const SampleBlock& block) {
    PixelBlock pixels;
    MapBlock(block, &pixels);
    return DrawPixelBlock(pixels, block);
}

// Where the range pass kept Y values only as floats, a block whose pixels they do not all settle
// is evaluated again.
[[gnu::noinline]] bool DrawNarrowBlock(SampleBlock& block, const float* y) {
    PixelBlock pixels;
    if (MapNarrowBlock(block, y, &pixels)) {
        ++gNarrowDrawing.mapped;
    } else {
        ++gNarrowDrawing.evaluated;
        EvaluateSamples(block);
        MapBlock(block, &pixels);
    }
    return DrawPixelBlock(pixels, block);
}

}  // namespace

void ResetToStartState() {
    gPrefs = _PrefsStruct{};
    InitGVars();
    g_hRoot = DeleteTree(g_hRoot);
    g_bOnErrorNotDraw = 0;
    g_DrawingTime = 0.0;
    g_ExportingTime = 0.0;
    gMinY = gMaxY = gRangeOfY = 0.0;
    X_WhereMinY = X_WhereMaxY = 0.0;
    ResetPasses();
    ForgetKeptSamples();
    gScaleXFactor = gScaleYFactor = 1.0;
}

ExtremePlaces WhereExtremesOccur() {
    return {X_WhereMinY, X_WhereMaxY};
}

void PrecalcRangeOfY() {
    gMinY = kNoMinY;
    gMaxY = kNoMaxY;
    X_WhereMinY = gPrefs.MinX;
    X_WhereMaxY = gPrefs.MinX;
    BeginPass(PassKind::Range);
    StartKeepingSamples();
    WalkSampleBlocks(MeasureBlock);
    EndPass();
    gRangeOfY = gMaxY - gMinY;
}

void DrawInThisContext(DrawSurface* hDc, const QRect* inRect) {
    void* previousCursor = SetWaitCursor();
    const double start = ElapsedMilliseconds();
    DrawLabels(hDc, *inRect);
    if (g_hRoot != nullptr) {
        DrawCurve(hDc, inRect);
    } else {
        DrawAxes(hDc, inRect);
        Text(hDc, "Nessuna funzione da visualizzare. Scusa!", *inRect, kCentred);
    }
    RestoreCursor(previousCursor);
    g_DrawingTime = (ElapsedMilliseconds() - start) * 0.001;
}

void DrawCurve(DrawSurface* hDc, const QRect* Prec) {
    if (g_bOnErrorNotDraw) {
        Text(hDc, "Funzione non valida", *Prec, kBottomCentre);
        return;
    }
    PrepareForScaling(hDc, Prec);
    if (gPrefs.bDontDraw) {
        return;
    }
    DrawAxes(hDc, Prec);
    // A block is mapped as a whole. The stop is asked after each of its samples, as many times
    // as samples are drawn; the pixels of the samples up to the one after which the pass stops
    // are then set, and the rest of the block is dropped. A stop of the range pass ends this
    // pass at the sample where the range pass ended.
    BeginPass(PassKind::Drawing);
    gNarrowDrawing = {0, 0};
    WalkSampleBlocks(DrawBlock, DrawNarrowBlock);
    EndPass();
}

NarrowDrawing LastNarrowDrawing() {
    return gNarrowDrawing;
}

void DrawAxes(DrawSurface* hDc, const QRect* Prec) {
    hDc->SelectSolidPen(AxisColor);
    const int16_t height = Coord(Prec->bottom - Prec->top);
    const int16_t width = Coord(Prec->right - Prec->left);
    int16_t v = 0;
    int16_t h = 0;
    const AxisPlace row = AxisRow(height, &v);
    const AxisPlace column = AxisColumn(width, &h);
    // Either axis before the origin hides both; one beyond the 16-bit range on the far side is
    // left out on its own.
    if (row != AxisPlace::BeforeOrigin && column != AxisPlace::BeforeOrigin) {
        if (row == AxisPlace::OnDevice) {
            DrawXAxis(hDc, *Prec, v);
        }
        if (column == AxisPlace::OnDevice) {
            DrawYAxis(hDc, *Prec, h);
        }
    }
    hDc->RestorePen();
}

void ForceRedraw() {
    InvalidateClientArea(g_MainWnd);
    PrecalcRangeOfY();
}
