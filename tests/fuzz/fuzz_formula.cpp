// Arbitrary formula texts of up to 255 bytes through the parser and the evaluator, with the
// traces switched by the first byte and every message captured. The compiled evaluation is
// checked against the tree walk at every point, and the block evaluation of the passes against
// the one-sample path.
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/CommonPortable.h"
#include "engine/Analize.h"
#include "engine/Eval.h"
#include "settings/Prefs.h"

namespace {

void CountMessage(void* context, QWnd, const char* msg, const char* title, int16_t) {
    // Read the texts so that an unterminated one is caught by the address checker.
    *static_cast<size_t*>(context) += std::strlen(msg) + std::strlen(title);
}

// The same bits, or both NaN: which NaN an operation returns when both operands are NaN
// depends on the order the compiler put them in, and no caller looks at it.
bool SameValue(double a, double b) {
    if (a != a && b != b) {
        return true;
    }
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 256) {
        return 0;
    }
    size_t shown = 0;
    SetMessageSink(CountMessage, &shown);
    InitGVars();
    const uint8_t switches = data[0];
    ++data;
    --size;
    gPrefs.bEnableParsingDebug = switches & 1;
    const std::string text(reinterpret_cast<const char*>(data), size);
    ParseFormulaText(text.c_str());  // a text ends at its first NUL, as in the dialog

    const double xs[] = {-2.0, -1.0, 0.0, 0.5, 1.0, 3.0, 1e308};
    constexpr int kPoints = static_cast<int>(sizeof xs / sizeof xs[0]);
    double block[kPoints];
    int32_t blockFlags[kPoints];
    gPrefs.bEnableEvalDebug = 0;
    const bool blocked = Evaluate_Block(xs, kPoints, block, blockFlags);
    if (!blocked && g_hRoot != nullptr) {
        __builtin_trap();
    }
    for (int i = 0; i < kPoints; ++i) {
        const double x = xs[i];
        gPrefs.bEnableEvalDebug = 0;
        const double fast = Evaluate_Tree(x);
        const int32_t fastFlag = g_fEvalError;
        if (blocked && (blockFlags[i] != fastFlag || !SameValue(block[i], fast))) {
            __builtin_trap();
        }
        gPrefs.bEnableEvalDebug = (switches & 2) ? 1 : 0;
        if (gPrefs.bEnableEvalDebug) {
            const double walked = Evaluate_Tree(x);
            if (fastFlag != g_fEvalError || !SameValue(fast, walked)) {
                __builtin_trap();
            }
        }
    }
    g_hRoot = DeleteTree(g_hRoot);
    SetMessageSink(nullptr, nullptr);
    return 0;
}
