// The self-drawn frame of the skinned main window: three rings, the title band with
// its logo, the pin, minimise and close cells, and the pixel-font title. Every paint
// draws everything again; nothing is kept between paints but the two flags.
#include "Skin.h"

struct FrameColours {
    COLORREF rings[3];  // outermost first
    COLORREF band;
};

static const FrameColours PaletteColours[2] = {
    {{RGB(0, 0, 0), RGB(85, 85, 170), RGB(42, 42, 85)}, RGB(128, 128, 255)},
    {{RGB(252, 252, 48), RGB(252, 200, 0), RGB(0, 0, 0)}, RGB(252, 200, 0)},
};

static const int32_t BandBottom = 20;  // the separator's row; the band ends one above

// One word per row, bit 0 the leftmost column.
static const uint32_t LogoBitmap[17] = {
    0x400A21, 0x400621, 0x400622, 0x7F8622, 0x008624, 0x008624, 0x008629, 0x00862B, 0x008633,
    0x008635, 0x008625, 0x008629, 0x008609, 0x7F8611, 0x400611, 0x400621, 0x400A21,
};
static const uint32_t PinBitmap[12] = {
    0x0F8, 0x0F8, 0x070, 0x070, 0x3FE, 0x1FC, 0x070, 0x020, 0x020, 0x020, 0x020, 0x020,
};

static void PlotWithSetPixel(PixelSink* sink, int32_t x, int32_t y, COLORREF colour) {
    SetPixel(sink->dc, x, y, colour);
}

// A brush lives for exactly one use; one that cannot be made leaves its element out.
static void FrameWithColour(HDC dc, const RECT* rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush) return;
    FrameRect(dc, rect, brush);
    DeleteObject(brush);
}

static void FillWithColour(HDC dc, const RECT* rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush) return;
    FillRect(dc, rect, brush);
    DeleteObject(brush);
}

// Lines leave out their end point; without the black pen they are left out entirely.
// cppcheck-suppress constParameter ; a pen handle is opaque, nothing to make const
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): coordinates go x before y, as in GDI
static void DrawLine(HDC dc, HPEN pen, int32_t fromX, int32_t fromY, int32_t toX, int32_t toY) {
    if (!pen) return;
    MoveToEx(dc, fromX, fromY, nullptr);
    LineTo(dc, toX, toY);
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): sizes and coordinates go x before y, as in GDI
static void PlotBitmap(HDC dc, const uint32_t* rows, int rowCount, int columnCount, int32_t left, int32_t top) {
    for (int row = 0; row < rowCount; ++row) {
        for (int column = 0; column < columnCount; ++column) {
            if (rows[row] & (1u << column)) SetPixel(dc, left + column, top + row, RGB(0, 0, 0));
        }
    }
}

void PaintSkinnedFrame() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(app.mainWindow, &paint);
    const FrameColours& colours = PaletteColours[app.skinPalette == SkinPalette::Blue ? 0 : 1];

    RECT rect;
    GetClientRect(app.mainWindow, &rect);
    int32_t width = rect.right;
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    for (int ring = 0; ring < 3; ++ring) {
        if (ring > 0) InflateRect(&rect, -1, -1);
        FrameWithColour(dc, &rect, colours.rings[ring]);
    }
    SetRect(&rect, 3, 3, width - 3, BandBottom);
    FillWithColour(dc, &rect, colours.band);

    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HGDIOBJ previousPen = pen ? SelectObject(dc, pen) : nullptr;
    DrawLine(dc, pen, 3, BandBottom, width - 3, BandBottom);
    DrawLine(dc, pen, width - 20, 3, width - 20, BandBottom);
    DrawLine(dc, pen, width - 40, 3, width - 40, BandBottom);
    DrawLine(dc, pen, width - 60, 3, width - 60, BandBottom);
    PlotBitmap(dc, LogoBitmap, 17, 23, 6, 3);
    DrawLine(dc, pen, width - 15, 7, width - 7, 16);
    DrawLine(dc, pen, width - 8, 7, width - 16, 16);
    DrawLine(dc, pen, width - 35, 17, width - 25, 17);
    PlotBitmap(dc, PinBitmap, 12, 11, width - 56, 5);
    if (app.topmostPinned) DrawLine(dc, pen, width - 54, 18, width - 47, 18);
    if (pen) {
        SelectObject(dc, previousPen);
        DeleteObject(pen);
    }

    PixelSink sink = {PlotWithSetPixel, dc};
    DrawTitleText(&sink, app.skinPalette);
    EndPaint(app.mainWindow, &paint);
}

void EraseSkinnedBackground(HWND window, HDC dc) {
    RECT rect;
    GetClientRect(window, &rect);
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
}
