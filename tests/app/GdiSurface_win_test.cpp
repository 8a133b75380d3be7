// The GDI drawing surface keeps the same pen rules as the raster canvas: pens do not nest, a
// replaced pen is released, and RestorePen puts the device context's own pen back.
#include "app/GdiSurface_win.h"

#include <gtest/gtest.h>

namespace {

class GdiSurfaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dc = CreateCompatibleDC(nullptr);
        ownPen = GetCurrentObject(dc, OBJ_PEN);
    }
    void TearDown() override { DeleteDC(dc); }

    HDC dc = nullptr;
    HGDIOBJ ownPen = nullptr;
};

TEST_F(GdiSurfaceTest, ASecondPenReplacesTheFirstAndReleasesIt) {
    GdiSurface surface(dc);
    surface.SelectSolidPen(0x000000FF);
    HGDIOBJ first = GetCurrentObject(dc, OBJ_PEN);
    ASSERT_NE(first, ownPen);
    surface.SelectSolidPen(0x00FF0000);
    HGDIOBJ second = GetCurrentObject(dc, OBJ_PEN);
    EXPECT_NE(second, first);
    EXPECT_EQ(GetObjectType(first), 0u);  // released, not leaked
    surface.RestorePen();
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), ownPen);
    EXPECT_EQ(GetObjectType(second), 0u);
}

TEST_F(GdiSurfaceTest, RestoreWithoutAPenChangesNothing) {
    GdiSurface surface(dc);
    surface.RestorePen();
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), ownPen);
    surface.SelectSolidPen(0);
    surface.RestorePen();
    surface.RestorePen();
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), ownPen);
}

}  // namespace
