// Fits the main window to its frame kind once, while the window is being built.
#include "Skin.h"

// Room for the self-drawn title bar: the window grows at the bottom and keeps its
// width and top-left corner, so the controls stay below the bar.
void GrowForSkinnedFrame(HWND window) {
    RECT bounds;
    GetWindowRect(window, &bounds);
    SetWindowPos(window, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top + 20,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The standard caption lies outside the client area, so the band the controls leave
// free for the drawn title bar is not needed: every child moves up by it.
void ShiftChildrenForPlainFrame() {
    for (HWND child = GetWindow(app.mainWindow, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT bounds;
        GetWindowRect(child, &bounds);
        POINT corner = {bounds.left, bounds.top};
        ScreenToClient(app.mainWindow, &corner);
        SetWindowPos(child, nullptr, corner.x, corner.y - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}
