// Support for tests of the self-drawn frame: a 32-bit DIB section that the main
// window's paints can be routed into.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

// A top-down 32-bit DIB section selected into a memory DC.
struct DibCapture {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;

    DibCapture(int width, int height, COLORREF background);
    ~DibCapture();
    DibCapture(const DibCapture&) = delete;
    DibCapture& operator=(const DibCapture&) = delete;

    // The pixel as a COLORREF (0x00BBGGRR).
    COLORREF pixel(int x, int y) const;
};

// Sends WM_PAINT to the window while BeginPaint hands out the DC of a DIB section of
// the window's client size (pre-filled with `background`); returns the capture.
// `endPaintCalls`, when given, receives how many times EndPaint was called.
std::unique_ptr<DibCapture> PaintIntoDib(HWND window, COLORREF background = RGB(1, 2, 3),
                                         int* endPaintCalls = nullptr);
