// The printing paths of the Windows program, with the print dialog replaced by stand-ins that
// answer as the real one can: confirmed with or without a device context, or cancelled.
#include <gtest/gtest.h>

#include <windows.h>

#include <commdlg.h>

#include "app/PrnProcs_win.h"

namespace {

int gDialogCalls = 0;
PRINTDLGA* gRecord = nullptr;
HGLOBAL gDevMode = nullptr;
HGLOBAL gDevNames = nullptr;

// What the dialog leaves in the record when the user picks a printer: movable memory handles.
void ChoosePrinter(PRINTDLGA* record) {
    gDevMode = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVMODEA));
    gDevNames = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVNAMES) + 64);
    record->hDevMode = gDevMode;
    record->hDevNames = gDevNames;
}

BOOL WINAPI ConfirmWithoutDevice(LPPRINTDLGA record) {
    ++gDialogCalls;
    gRecord = record;
    ChoosePrinter(record);
    record->hDC = nullptr;
    return TRUE;
}

// The printer was chosen before (in Print setup); the print dialog is confirmed with it.
BOOL WINAPI ConfirmTheChosenPrinterWithoutDevice(LPPRINTDLGA record) {
    ++gDialogCalls;
    gRecord = record;
    record->hDC = nullptr;
    return TRUE;
}

BOOL WINAPI ChooseInSetup(LPPRINTDLGA record) {
    ++gDialogCalls;
    gRecord = record;
    ChoosePrinter(record);
    return TRUE;
}

BOOL WINAPI Cancel(LPPRINTDLGA record) {
    ++gDialogCalls;
    gRecord = record;
    return FALSE;
}

bool Freed(HGLOBAL handle) {
    return GlobalFlags(handle) == GMEM_INVALID_HANDLE && GlobalSize(handle) == 0;
}

bool Valid(HGLOBAL handle) {
    return GlobalFlags(handle) != GMEM_INVALID_HANDLE && GlobalSize(handle) != 0;
}

class PrintDialogReplaced : public ::testing::Test {
  protected:
    void SetUp() override {
        gDialogCalls = 0;
        gRecord = nullptr;
        gDevMode = nullptr;
        gDevNames = nullptr;
        PreparePrStuff(nullptr);
    }
    void TearDown() override { gPrintDialog = PrintDlgA; }
};

TEST_F(PrintDialogReplaced, ConfirmedWithoutADeviceContextFreesThePrinterHandles) {
    gPrintDialog = ConfirmWithoutDevice;
    DoPrint();
    EXPECT_EQ(gDialogCalls, 1);
    ASSERT_NE(gRecord, nullptr);
    EXPECT_EQ(gRecord->hDevMode, nullptr);
    EXPECT_EQ(gRecord->hDevNames, nullptr);
    EXPECT_EQ(gRecord->hDC, nullptr);
    EXPECT_TRUE(Freed(gDevMode));
    EXPECT_TRUE(Freed(gDevNames));
}

TEST_F(PrintDialogReplaced, ConfirmedWithoutADeviceContextStartsNothing) {
    gPrintDialog = ConfirmWithoutDevice;
    EXPECT_EQ(PrepareForPrinting(), 0);
    EXPECT_EQ(gDialogCalls, 1);
    EndOfPrinting();  // nothing to end: the handles were freed once, and stay so
    EXPECT_EQ(gRecord->hDevMode, nullptr);
    EXPECT_EQ(gRecord->hDevNames, nullptr);
    EXPECT_TRUE(Freed(gDevMode));
    EXPECT_EQ(gDialogCalls, 1);
}

TEST_F(PrintDialogReplaced, ThePrinterFromSetupIsFreedAtTheEndOfTheNextPrint) {
    gPrintDialog = ChooseInSetup;
    PageSetup();
    EXPECT_TRUE(Valid(gDevMode));
    EXPECT_TRUE(Valid(gDevNames));
    gPrintDialog = ConfirmTheChosenPrinterWithoutDevice;
    DoPrint();
    EXPECT_EQ(gDialogCalls, 2);
    EXPECT_EQ(gRecord->hDevMode, nullptr);
    EXPECT_EQ(gRecord->hDevNames, nullptr);
    EXPECT_TRUE(Freed(gDevMode));
    EXPECT_TRUE(Freed(gDevNames));
}

TEST_F(PrintDialogReplaced, ACancelledPrintKeepsThePrinterFromSetup) {
    gPrintDialog = ChooseInSetup;
    PageSetup();
    gPrintDialog = Cancel;
    DoPrint();
    EXPECT_EQ(gDialogCalls, 2);
    EXPECT_EQ(gRecord->hDevMode, gDevMode);
    EXPECT_EQ(gRecord->hDevNames, gDevNames);
    EXPECT_TRUE(Valid(gDevMode));
    EXPECT_TRUE(Valid(gDevNames));
    GlobalFree(gRecord->hDevMode);
    GlobalFree(gRecord->hDevNames);
    gRecord->hDevMode = nullptr;
    gRecord->hDevNames = nullptr;
}

}  // namespace
