#include "SkinCapture.h"

#include "IatPatch.h"
#include "TestSupport.h"
#include "ui/main/MainWindow.h"

DibCapture::DibCapture(int w, int h, COLORREF background) : width(w), height(h) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* memory = nullptr;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    bits = static_cast<uint32_t*>(memory);
    previousBitmap = SelectObject(dc, bitmap);
    uint32_t fill = (GetRValue(background) << 16) | (GetGValue(background) << 8) | GetBValue(background);
    for (int i = 0; bits && i < w * h; ++i) bits[i] = fill;
}

DibCapture::~DibCapture() {
    SelectObject(dc, previousBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

COLORREF DibCapture::pixel(int x, int y) const {
    if (!bits || x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
    uint32_t value = bits[y * width + x];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

namespace {

HDC paintTarget = nullptr;
int endPaints = 0;

HDC WINAPI CaptureBeginPaint(HWND window, PAINTSTRUCT* paint) {
    *paint = PAINTSTRUCT();
    paint->hdc = paintTarget;
    GetClientRect(window, &paint->rcPaint);
    // The real update region would otherwise stay invalid and paint again and again.
    ValidateRect(window, nullptr);
    return paintTarget;
}

BOOL WINAPI CaptureEndPaint(HWND, const PAINTSTRUCT*) {
    ++endPaints;
    return TRUE;
}

}  // namespace

std::unique_ptr<DibCapture> PaintIntoDib(HWND window, COLORREF background, int* endPaintCalls) {
    RECT client = {};
    GetClientRect(window, &client);
    std::unique_ptr<DibCapture> capture(new DibCapture(client.right, client.bottom, background));
    paintTarget = capture->dc;
    endPaints = 0;
    {
        IatPatch begin("user32.dll", "BeginPaint", AsPatch(&CaptureBeginPaint));
        IatPatch end("user32.dll", "EndPaint", AsPatch(&CaptureEndPaint));
        SendMessageA(window, WM_PAINT, 0, 0);
    }
    GdiFlush();
    if (endPaintCalls) *endPaintCalls = endPaints;
    return capture;
}
