// The self-drawn frame of the main window: painting, the pixel-font title and the
// title bar's mouse handling, plus the layout fit for either frame kind.
#pragma once

#include "../../app/AppState.h"

// A drawing target for the pixel font. Production plots with SetPixel on a DC.
struct PixelSink {
    void (*Plot)(PixelSink* sink, int32_t x, int32_t y, COLORREF colour);
    HDC dc;
};

enum GlyphFlag : uint8_t { GlyphFlagNone = 0, GlyphFlagDots = 1, GlyphFlagLowered = 2 };

struct DecodedChar {
    uint8_t glyphIndex;
    uint8_t flags;
    uint8_t length;
};

DecodedChar DecodeFontChar(const char* text);
// Draws any text in the pixel font with the pen's top-left corner at (x, y);
// returns the pen's x after the last character.
int32_t DrawBitmapText(PixelSink* sink, const char* text, int32_t x, int32_t y, COLORREF colour);
void DrawTitleText(PixelSink* sink, SkinPalette palette);

void PaintSkinnedFrame();
void EraseSkinnedBackground(HWND window, HDC dc);

BOOL OnTitleBarLButtonDown(HWND window, LPARAM lParam);
BOOL OnTitleBarLButtonUp(HWND window, LPARAM lParam);
BOOL OnTitleBarRButtonDown(HWND window, LPARAM lParam);

void GrowForSkinnedFrame(HWND window);
void ShiftChildrenForPlainFrame();
