// The top-most warning that counts the last seconds down. The count itself is kept
// by the run states; this window only shows it and passes every cancel on.
#include "Engine.h"
#include "../app/App.h"
#include "../ui/Controls.h"

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

static const ControlSpec WarningControls[] = {
    {IDC_WARN_TEXT, NoStringId, ControlKind::Label, nullptr, 18, 20, 330, 58},
    {IDC_WARN_CANCEL, StrCancel, ControlKind::PushButton, nullptr, 92, 88, 180, 36},
};

static void InitWarningWindow(HWND window) {
    app.warningWindow = window;
    ApplyDwmPolicy(window);
    SetWindowTextA(window, Text(StrWarningTitle));

    app.warningText = CreateControl(window, WarningControls[0]);
    CreateControl(window, WarningControls[1]);

    UpdateWarningText();
    MessageBeep(MB_ICONEXCLAMATION);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
}

void RelabelWarningWindow() {
    if (!app.warningWindow) return;
    SetWindowTextA(app.warningWindow, Text(StrWarningTitle));
    RelabelControls(app.warningWindow, WarningControls);
    UpdateWarningText();
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
    default:  // the dialog manager's own handling
        return FALSE;
    }
}
