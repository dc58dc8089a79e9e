// The main window's creation and the routing of its messages.
#include "MainWindow.h"
#include "../../app/App.h"

BOOL InitMainWindow(HWND window) {
    app.mainWindow = window;
    ApplyDwmPolicy(window);
    ArmSelfCheckNotice(window);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return TRUE;
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return InitMainWindow(window);
    case WM_TIMER:
        if (static_cast<UINT>(wParam) == TIMER_SELFCHECK) ShowSelfCheckNotice();
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return TRUE;
    case WM_DESTROY:
        KillTimer(app.mainWindow, TIMER_SELFCHECK);
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}
