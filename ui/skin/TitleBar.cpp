// The mouse on the self-drawn title bar: drag by the band, the three button cells,
// the palette flip on a logo double-click and the roll-up on a right-click.
#include "Skin.h"

static const int32_t RolledUpHeight = 23;  // rings, band and separator, nothing below
static const UINT SizeOnlyFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
static const UINT TopmostOnlyFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;

// Positions are read unsigned, so a point left of or above the window lies far off
// to the right or below and falls into no zone but the cells' open right end.
static int32_t PointX(LPARAM lParam) { return LOWORD(lParam); }
static int32_t PointY(LPARAM lParam) { return HIWORD(lParam); }

static bool InLogoZone(int32_t x, int32_t y) { return x >= 3 && x <= 31 && y >= 2 && y <= 20; }
static bool InBandRows(int32_t y) { return y > 3 && y < 20; }

static int32_t ClientWidth(HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    return rect.right;
}

BOOL OnTitleBarLButtonDown(HWND window, LPARAM lParam) {
    int32_t x = PointX(lParam);
    int32_t y = PointY(lParam);
    if (InLogoZone(x, y)) return TRUE;
    if (!InBandRows(y)) return FALSE;
    if (x >= ClientWidth(window) - 60) return FALSE;  // the cells act on the release
    // Let the system's own move loop run as if the caption had been grabbed.
    ReleaseCapture();
    SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    return TRUE;
}

// Two releases on the logo within the double-click time flip the palette; the
// dialog class turns the second press into WM_LBUTTONDBLCLK, so only releases count.
static void OnLogoRelease(HWND window) {
    uint32_t now = GetTickCount();
    if (app.lastLogoClickTick == 0) {
        app.lastLogoClickTick = now;
        return;
    }
    uint32_t elapsed = now - app.lastLogoClickTick;  // unsigned: right across a wrap
    if (elapsed > GetDoubleClickTime()) {
        app.lastLogoClickTick = GetTickCount();
        return;
    }
    app.skinPalette = static_cast<SkinPalette>(static_cast<uint8_t>(app.skinPalette) ^ 1);
    app.lastLogoClickTick = 0;
    InvalidateRect(window, nullptr, TRUE);
}

BOOL OnTitleBarLButtonUp(HWND window, LPARAM lParam) {
    int32_t x = PointX(lParam);
    int32_t y = PointY(lParam);
    if (InLogoZone(x, y)) {
        OnLogoRelease(window);
        return TRUE;
    }
    if (!InBandRows(y)) return FALSE;
    int32_t width = ClientWidth(window);
    if (x >= width - 20) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return TRUE;
    }
    if (x >= width - 40) {
        ShowWindow(window, SW_MINIMIZE);
        return TRUE;
    }
    if (x < width - 60) return FALSE;
    if (!app.topmostPinned) {
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, TopmostOnlyFlags);
        app.topmostPinned = 1;
    } else {
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, TopmostOnlyFlags);
        app.topmostPinned = 0;
    }
    InvalidateRect(window, nullptr, FALSE);
    return TRUE;
}

BOOL OnTitleBarRButtonDown(HWND window, LPARAM lParam) {
    if (!InBandRows(PointY(lParam))) return FALSE;
    RECT rect = {};
    GetWindowRect(window, &rect);
    int32_t width = rect.right - rect.left;
    if (!app.rolledUp) {
        app.savedHeight = rect.bottom - rect.top;
        SetWindowPos(window, nullptr, 0, 0, width, RolledUpHeight, SizeOnlyFlags);
        app.rolledUp = 1;
    } else {
        SetWindowPos(window, nullptr, 0, 0, width, app.savedHeight, SizeOnlyFlags);
        app.rolledUp = 0;
    }
    InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}
