#include <gtest/gtest.h>

#include <cstring>

#include "settings/Prefs.h"

namespace {

TEST(Prefs, DefaultsAfterInitGVars) {
    std::memset(&gPrefs, 0x5A, sizeof gPrefs);  // every field must be set, not left over
    gPrefs.UserFnStr[0] = '\0';
    InitGVars();
    EXPECT_EQ(gPrefs.MinX, -100.0);
    EXPECT_EQ(gPrefs.MaxX, 100.0);
    EXPECT_EQ(gPrefs.Iterations, 10000u);
    EXPECT_EQ(g_DeltaX, 0.02);
    EXPECT_EQ(gPrefs.bAutoScaleX, 1);
    EXPECT_EQ(gPrefs.bAutoScaleY, 1);
    EXPECT_EQ(gPrefs.bDontDraw, 0);
    EXPECT_EQ(gPrefs.bEnableParsingDebug, 0);
    EXPECT_EQ(gPrefs.bEnableEvalDebug, 0);
    EXPECT_EQ(gPrefs.bSaveWinPos, 0);
    EXPECT_STREQ(gPrefs.DecimalPoint, ".");
    EXPECT_STREQ(gPrefs.UserFnStr, "");
    EXPECT_EQ(gPrefs.WPosRect.left, 40);
    EXPECT_EQ(gPrefs.WPosRect.top, 30);
    EXPECT_EQ(gPrefs.WPosRect.right, 430);
    EXPECT_EQ(gPrefs.WPosRect.bottom, 430);
    EXPECT_EQ(gPrefs.WPosRect.right - gPrefs.WPosRect.left, 390);
    EXPECT_EQ(gPrefs.WPosRect.bottom - gPrefs.WPosRect.top, 400);
}

TEST(Prefs, InitPrefsLeavesTheFormula) {
    std::strcpy(gPrefs.UserFnStr, "2SIN(X)*X");
    gPrefs.MinX = 5;
    InitPrefs();
    EXPECT_STREQ(gPrefs.UserFnStr, "2SIN(X)*X");
    EXPECT_EQ(gPrefs.MinX, -100.0);
}

TEST(Prefs, DeltaXUsesIterationsAsUnsigned) {
    InitGVars();
    gPrefs.MinX = 0;
    gPrefs.MaxX = 1;
    gPrefs.Iterations = 10;
    ComputeDeltaX();
    EXPECT_EQ(g_DeltaX, 0.1);
    gPrefs.Iterations = 0xFFFFFFFFu;
    ComputeDeltaX();
    EXPECT_GT(g_DeltaX, 0.0);
    EXPECT_EQ(g_DeltaX, 1.0 / 4294967295.0);
}

}  // namespace
