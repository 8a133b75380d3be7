#include "app/PrnProcs_win.h"

#include <commdlg.h>

#include "app/PassWork_win.h"
#include "app/GdiSurface_win.h"
#include "plot/Draw.h"

namespace {

PRINTDLGA pd;
HDC gPrinterPort = nullptr;
RECT PrinterClippingRect = {0, 0, 0, 0};
int32_t PageisOpen = 0;
int32_t OpenPrintManager = 0;
int32_t Abort = 0;

constexpr char kDocumentName[] = "Quorvy Graph";

// Plot coordinates are 16-bit: a page larger than that is drawn on its first 32767 units.
int16_t PageExtent(int deviceUnits) {
    return static_cast<int16_t>(deviceUnits > INT16_MAX ? INT16_MAX : deviceUnits);
}

void FreeGlobal(HGLOBAL& handle) {
    if (handle != nullptr) {
        GlobalFree(handle);
        handle = nullptr;
    }
}

// The printer chosen in either dialog lives in the device-mode and device-names handles until
// the end of the next print job; every path that ends a job frees them here.
void FreePrinterChoice() {
    FreeGlobal(pd.hDevNames);
    FreeGlobal(pd.hDevMode);
}

}  // namespace

PrintDialogFunction gPrintDialog = PrintDlgA;

void PreparePrStuff(HWND hWnd) {
    ZeroMemory(&pd, sizeof pd);
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = hWnd;
    pd.Flags = PD_RETURNDC;
}

void PageSetup() {
    pd.Flags = PD_PRINTSETUP;
    gPrintDialog(&pd);
}

int32_t PrepareForPrinting() {
    Abort = 1;
    PageisOpen = 0;
    OpenPrintManager = 0;
    pd.Flags = PD_RETURNDC;
    OpenPrintManager = gPrintDialog(&pd) ? 1 : 0;
    if (OpenPrintManager && pd.hDC != nullptr) {
        DOCINFOA info;
        ZeroMemory(&info, sizeof info);
        info.cbSize = sizeof info;
        info.lpszDocName = kDocumentName;
        const int16_t Vres = PageExtent(GetDeviceCaps(pd.hDC, VERTRES));
        const int16_t Hres = PageExtent(GetDeviceCaps(pd.hDC, HORZRES));
        SetRect(&PrinterClippingRect, 0, 0, Hres, Vres);
        gPrinterPort = pd.hDC;
        StartDocA(gPrinterPort, &info);
    } else if (OpenPrintManager) {
        OpenPrintManager = 0;  // confirmed without a device: nothing to end but the choice
        FreePrinterChoice();
    }
    if (OpenPrintManager) {
        Abort = 0;
    }
    return Abort ? 0 : 1;
}

void CloseCurrPage() {
    if (PageisOpen) {
        EndPage(gPrinterPort);
        PageisOpen = 0;
    }
}

void OpenNewPage() {
    CloseCurrPage();
    if (PageisOpen) {
        return;
    }
    if (StartPage(gPrinterPort) > 0) {
        PageisOpen = 1;
    } else {
        Abort = 1;
    }
}

void EndOfPrinting() {
    if (!OpenPrintManager) {
        return;
    }
    CloseCurrPage();
    EndDoc(gPrinterPort);
    FreePrinterChoice();
    DeleteDC(gPrinterPort);
    gPrinterPort = nullptr;
    pd.hDC = nullptr;
    OpenPrintManager = 0;
}

void DoPrint() {
    if (!PrepareForPrinting()) {
        return;
    }
    OpenNewPage();
    BeginPassWork(PassWork::AskedFor);
    {
        GdiSurface surface(gPrinterPort);
        const QRect page = ToQRect(PrinterClippingRect);
        DrawInThisContext(&surface, &page);
    }
    EndPassWork();
    EndOfPrinting();
}
