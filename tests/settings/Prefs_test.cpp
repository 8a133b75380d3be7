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

namespace {

const QRect kScreen = {0, 0, 1024, 768};

TEST(WindowRect, TheDefaultPlaceAndAMovedWindowAreUsable) {
    EXPECT_TRUE(WindowRectUsable(InitialRect, kScreen));
    EXPECT_TRUE(WindowRectUsable({140, 80, 530, 480}, kScreen));
    EXPECT_TRUE(WindowRectUsable({0, 0, 1024, 768}, kScreen));
}

TEST(WindowRect, AMinimisedCaptionStripIsTooSmall) {
    EXPECT_FALSE(WindowRectUsable({0, 741, 160, 768}, kScreen));
    EXPECT_FALSE(WindowRectUsable({10, 10, 10 + kMinWindowWidth - 1, 400}, kScreen));
    EXPECT_FALSE(WindowRectUsable({10, 10, 400, 10 + kMinWindowHeight - 1}, kScreen));
    EXPECT_TRUE(WindowRectUsable({10, 10, 10 + kMinWindowWidth, 10 + kMinWindowHeight}, kScreen));
}

TEST(WindowRect, EmptyOrInvertedIsNotUsable) {
    EXPECT_FALSE(WindowRectUsable({0, 0, 0, 0}, kScreen));
    EXPECT_FALSE(WindowRectUsable({430, 430, 40, 30}, kScreen));
}

TEST(WindowRect, WhollyOffTheScreenIsNotUsable) {
    EXPECT_FALSE(WindowRectUsable({5000, 5000, 5390, 5400}, kScreen));
    EXPECT_FALSE(WindowRectUsable({-3000, -3000, -2610, -2600}, kScreen));
    EXPECT_FALSE(WindowRectUsable({-32000, -32000, -31840, -31973}, kScreen));
    EXPECT_FALSE(WindowRectUsable({1024, 100, 1414, 500}, kScreen));  // just right of it
}

TEST(WindowRect, ReachableWhenEnoughOfItIsOnTheScreen) {
    const int32_t edge = static_cast<int32_t>(kMinVisibleOnScreen);
    EXPECT_TRUE(WindowRectUsable({1024 - edge, 100, 1414 - edge, 500}, kScreen));
    EXPECT_FALSE(WindowRectUsable({1025 - edge, 100, 1415 - edge, 500}, kScreen));
    EXPECT_TRUE(WindowRectUsable({100, -400 + edge, 490, edge}, kScreen));
    EXPECT_FALSE(WindowRectUsable({100, -401 + edge, 490, edge - 1}, kScreen));
}

TEST(WindowRect, SidesWhoseDifferenceOverflowsAreNotUsable) {
    EXPECT_FALSE(WindowRectUsable({INT32_MIN, 30, INT32_MAX, 430}, kScreen));
    EXPECT_FALSE(WindowRectUsable({40, INT32_MIN, 430, INT32_MAX}, kScreen));
    EXPECT_FALSE(WindowRectUsable({INT32_MAX, 30, INT32_MIN, 430}, kScreen));
    // as wide as 32 bits allow, and over the screen: usable by size and place
    EXPECT_TRUE(WindowRectUsable({-1, 0, INT32_MAX - 1, 400}, kScreen));
}

TEST(WindowRect, TheScreenNeedNotStartAtZero) {
    const QRect left = {-1280, -200, 0, 824};  // a monitor left of the main one
    EXPECT_TRUE(WindowRectUsable({-1000, -100, -610, 300}, left));
    EXPECT_FALSE(WindowRectUsable({100, 100, 490, 500}, left));
}

TEST(WindowRect, KeepWindowRectStoresTheRectangle) {
    InitGVars();
    KeepWindowRect({1, 2, 3, 4});
    EXPECT_EQ(gPrefs.WPosRect.left, 1);
    EXPECT_EQ(gPrefs.WPosRect.top, 2);
    EXPECT_EQ(gPrefs.WPosRect.right, 3);
    EXPECT_EQ(gPrefs.WPosRect.bottom, 4);
}

}  // namespace
