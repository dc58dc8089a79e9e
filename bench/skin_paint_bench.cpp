// Times full paints of the skinned frame on a real window of the main window's size.
// It is not linked with the program's library, so the painting and font sources are
// compiled in here as they are.
#include "../app/AppState.cpp"
#include "../ui/skin/BitmapFont.cpp"
#include "../ui/skin/FramePaint.cpp"

#include <stdio.h>
#include <stdlib.h>

static int paintCount = 0;

static LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        ++paintCount;
        PaintSkinnedFrame();
        return 0;
    case WM_ERASEBKGND:
        EraseSkinnedBackground(window, reinterpret_cast<HDC>(wParam));
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static int plotCount = 0;
static void CountPlot(PixelSink*, int32_t, int32_t, COLORREF) { ++plotCount; }

// Set pixels of a bitmap row, one SetPixel call each. A loop, not a compiler
// built-in: this file is built by MSVC too.
static int CountBits(uint32_t row) {
    int count = 0;
    for (; row; row &= row - 1) ++count;
    return count;
}

static double MillisecondsPerPaint(HWND window, UINT flags, int rounds) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    paintCount = 0;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < rounds; ++i) {
        RedrawWindow(window, nullptr, nullptr, flags);
        GdiFlush();
    }
    QueryPerformanceCounter(&end);
    if (paintCount != rounds) printf("warning: %d paints for %d redraws\n", paintCount, rounds);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) / rounds;
}

int main(int argc, char** argv) {
    int width = argc > 2 ? atoi(argv[1]) : 540;
    int height = argc > 2 ? atoi(argv[2]) : 418;
    int rounds = argc > 3 ? atoi(argv[3]) : 500;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = BenchWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SkinPaintBench";
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "SkinPaintBench", PRODUCT_TITLE, WS_POPUP | WS_VISIBLE, 100, 100, width, height,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) return 1;
    app.mainWindow = window;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);

    PixelSink counter = {CountPlot, nullptr};
    DrawTitleText(&counter, SkinPalette::Blue);
    int logoAndPin = 0;
    for (uint32_t row : LogoBitmap) logoAndPin += CountBits(row);
    for (uint32_t row : PinBitmap) logoAndPin += CountBits(row);

    MillisecondsPerPaint(window, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW, 20);  // warm-up
    double paintOnly = MillisecondsPerPaint(window, RDW_INVALIDATE | RDW_UPDATENOW, rounds);
    double withErase = MillisecondsPerPaint(window, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW, rounds);
    app.skinPalette = SkinPalette::Amber;
    app.topmostPinned = 1;
    double amberPinned = MillisecondsPerPaint(window, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW, rounds);

    printf("client %d x %d, %d rounds; SetPixel calls per paint: %d title + %d logo and pin\n", width, height, rounds,
           plotCount, logoAndPin);
    printf("full paint (WM_PAINT): %.3f ms\n", paintOnly);
    printf("full paint with erase (WM_ERASEBKGND + WM_PAINT): %.3f ms\n", withErase);
    printf("amber, pinned, with erase: %.3f ms\n", amberPinned);
    printf("budget 2 ms per full paint: %s\n", withErase < 2.0 && amberPinned < 2.0 ? "OK" : "OVER");
    DestroyWindow(window);
    return 0;
}
