// The top-most warning that counts the last seconds down. The count itself is kept
// by the run states; this window only shows it and passes every cancel on.
#include "Engine.h"
#include "../app/App.h"

const char* WarningNoun() {
    switch (app.action) {
    case ActionKind::Restart: return Text(StrWarnRestart);
    case ActionKind::LogOff: return Text(StrWarnLogOff);
    case ActionKind::Standby: return Text(StrWarnStandby);
    case ActionKind::Hibernate: return Text(StrWarnHibernate);
    default: return Text(StrWarnShutDown);
    }
}

void UpdateWarningText() {
    if (!app.warningText) return;
    wsprintfA(app.warningTextBuffer, Text(StrWarningFormat), WarningNoun(), app.remainingSeconds);
    SetWindowTextA(app.warningText, app.warningTextBuffer);
}

static void InitWarningWindow(HWND window) {
    app.warningWindow = window;
    ApplyDwmPolicy(window);
    SetWindowTextA(window, Text(StrWarningTitle));

    app.warningText = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_LEFT, 18, 20, 330, 58, window,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_WARN_TEXT)), app.instance,
                                      nullptr);
    if (app.warningText)
        SendMessageA(app.warningText, WM_SETFONT, reinterpret_cast<WPARAM>(app.guiFont), TRUE);

    HWND cancel = CreateWindowExA(0, "BUTTON", Text(StrCancel), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_FLAT, 92, 88,
                                  180, 36, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_WARN_CANCEL)),
                                  app.instance, nullptr);
    if (cancel) SendMessageA(cancel, WM_SETFONT, reinterpret_cast<WPARAM>(app.guiFont), TRUE);

    UpdateWarningText();
    MessageBeep(MB_ICONEXCLAMATION);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
}

INT_PTR CALLBACK WarningDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        InitWarningWindow(window);
        return TRUE;
    case WM_COMMAND:
        // Escape arrives as IDCANCEL and is deliberately not a cancel: only the
        // button, the close box and Alt+F4 stop the action.
        if (LOWORD(wParam) != IDC_WARN_CANCEL) return FALSE;
        CancelRun();
        return TRUE;
    case WM_CLOSE:
        CancelRun();
        return TRUE;
    case WM_DESTROY:
        app.warningWindow = nullptr;
        app.warningText = nullptr;
        return TRUE;
    }
    return FALSE;
}
