// The main window's creation and the routing of its messages.
#include "MainWindow.h"
#include "../../app/App.h"
#include "../../engine/Engine.h"
#include "../../i18n/Strings.h"
#include "../skin/Skin.h"

// Creation order is the tab order.
static const ControlSpec MainControls[] = {
    {IDC_GROUP_ACTION, StrGroupAction, ControlKind::GroupBox, nullptr, 14, 32, 510, 100},
    {IDC_ACT_SHUTDOWN, StrActShutDown, ControlKind::FirstRadio, nullptr, 30, 56, 125, 22},
    {IDC_ACT_RESTART, StrActRestart, ControlKind::Radio, nullptr, 170, 56, 110, 22},
    {IDC_ACT_LOGOFF, StrActLogOff, ControlKind::Radio, nullptr, 300, 56, 100, 22},
    {IDC_ACT_STANDBY, StrActStandby, ControlKind::Radio, nullptr, 30, 88, 110, 22},
    {IDC_ACT_HIBERNATE, StrActHibernate, ControlKind::Radio, nullptr, 170, 88, 120, 22},
    {IDC_FORCE, StrForceClose, ControlKind::CheckBox, nullptr, 300, 88, 214, 22},
    {IDC_GROUP_WHEN, StrGroupWhen, ControlKind::GroupBox, nullptr, 14, 142, 510, 190},
    {IDC_TRIG_NOW, StrTrigNow, ControlKind::FirstRadio, nullptr, 30, 167, 100, 22},
    {IDC_TRIG_AFTER, StrTrigAfter, ControlKind::Radio, nullptr, 30, 200, 72, 22},
    {IDC_CD_HOURS, NoStringId, ControlKind::TimeField, "01", 112, 197, 42, 24},
    {0, NoStringId, ControlKind::Label, ":", 159, 200, 10, 20},
    {IDC_CD_MINUTES, NoStringId, ControlKind::TimeField, "00", 174, 197, 42, 24},
    {0, NoStringId, ControlKind::Label, ":", 221, 200, 10, 20},
    {IDC_CD_SECONDS, NoStringId, ControlKind::TimeField, "00", 236, 197, 42, 24},
    {IDC_TRIG_AT, StrTrigAt, ControlKind::Radio, nullptr, 30, 234, 72, 22},
    {IDC_AT_HOURS, NoStringId, ControlKind::TimeField, "07", 112, 231, 42, 24},
    {0, NoStringId, ControlKind::Label, ":", 159, 234, 10, 20},
    {IDC_AT_MINUTES, NoStringId, ControlKind::TimeField, "00", 174, 231, 42, 24},
    {IDC_TRIG_PROCESS, StrTrigProcessExit, ControlKind::Radio, nullptr, 30, 268, 150, 22},
    {IDC_PROCESS_LIST, NoStringId, ControlKind::DropList, nullptr, 42, 294, 325, 220},
    {IDC_REFRESH, StrRefresh, ControlKind::PushButton, nullptr, 378, 293, 98, 27},
    {IDC_STATUS, StrStatusReady, ControlKind::Label, nullptr, 18, 343, 505, 22},
    {IDC_START, StrStart, ControlKind::PushButton, nullptr, 18, 372, 185, 40},
    {IDC_STOP, StrStop, ControlKind::PushButton, nullptr, 215, 372, 135, 40},
    {IDC_LANGUAGE, NoStringId, ControlKind::PushButton, "DE | EN", 365, 388, 70, 24},
    {IDC_ABOUT, StrAbout, ControlKind::PushButton, nullptr, 443, 388, 80, 24},
};

void RelabelMainControls() {
    RelabelControls(app.mainWindow, MainControls);
}

BOOL InitMainWindow(HWND window) {
    // Everything below, the process list included, reaches the window through the record.
    app.mainWindow = window;
    ApplyDwmPolicy(window);
    if (app.noSkin != 1) GrowForSkinnedFrame(window);
    app.guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    for (const ControlSpec& spec : MainControls) {
        HWND control = CreateControl(window, spec);
        switch (spec.id) {
        case IDC_FORCE:
            CheckRadioButton(window, IDC_ACT_SHUTDOWN, IDC_ACT_HIBERNATE, IDC_ACT_SHUTDOWN);
            break;
        case IDC_PROCESS_LIST:
            app.processList = control;
            break;
        case IDC_REFRESH:
            CheckRadioButton(window, IDC_TRIG_NOW, IDC_TRIG_PROCESS, IDC_TRIG_AT);
            break;
        case IDC_STATUS:
            app.statusLabel = control;
            break;
        case IDC_START:
            app.startButton = control;
            break;
        case IDC_STOP:
            app.stopButton = control;
            EnableWindow(app.stopButton, FALSE);
            break;
        default:  // the labels, fields and other buttons are finished by their row
            break;
        }
    }

    RefreshProcessList();
    if (app.noSkin == 1) ShiftChildrenForPlainFrame();
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    ArmSelfCheckNotice(window);
    return TRUE;
}

static void ShowAboutBox(HWND window) {
    MessageBoxA(window, Text(StrAboutText), Text(StrAboutTitle), MB_ICONINFORMATION);
}

// TRUE for the six commands of the window, whether or not their guard lets them act;
// FALSE for everything else, IDOK and IDCANCEL included, so Escape closes nothing.
static BOOL OnMainCommand(HWND window, WPARAM wParam) {
    WORD id = LOWORD(wParam);
    WORD notification = HIWORD(wParam);
    switch (id) {
    case IDC_START:
        if (app.runState == RunState::Idle) StartTrigger();
        return TRUE;
    case IDC_STOP:
        CancelRun();
        return TRUE;
    case IDC_REFRESH:
        if (app.runState == RunState::Idle) RefreshProcessList();
        return TRUE;
    case IDC_PROCESS_LIST:
        // An armed trigger keeps its kind; only the list's selection moves then.
        if (notification == CBN_SELCHANGE && app.runState == RunState::Idle)
            CheckRadioButton(window, IDC_TRIG_NOW, IDC_TRIG_PROCESS, IDC_TRIG_PROCESS);
        return TRUE;
    case IDC_LANGUAGE:
        ToggleLanguage();
        RelabelWindows();
        return TRUE;
    case IDC_ABOUT:
        ShowAboutBox(window);
        return TRUE;
    default:
        return FALSE;
    }
}

static void OnMainTimer(WPARAM wParam) {
    UINT id = static_cast<UINT>(wParam);
    if (id == TIMER_COUNTDOWN) OnCountdownTick();
    if (id == TIMER_SELFCHECK) ShowSelfCheckNotice();
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return InitMainWindow(window);

    // The self-drawn frame owns painting and the title bar's mouse; the standard
    // frame leaves all five to the dialog manager.
    if (app.noSkin != 1) {
        switch (message) {
        case WM_PAINT:
            PaintSkinnedFrame();
            return TRUE;
        case WM_ERASEBKGND:
            EraseSkinnedBackground(window, reinterpret_cast<HDC>(wParam));
            return TRUE;
        case WM_LBUTTONDOWN:
            return OnTitleBarLButtonDown(window, lParam);
        case WM_LBUTTONUP:
            return OnTitleBarLButtonUp(window, lParam);
        case WM_RBUTTONDOWN:
            return OnTitleBarRButtonDown(window, lParam);
        default:  // the same for both frames, below
            break;
        }
    }

    switch (message) {
    case WM_COMMAND:
        return OnMainCommand(window, wParam);
    case WM_TIMER:
        OnMainTimer(wParam);
        return TRUE;
    case MsgTriggerFired:
        OnTriggerFired(static_cast<uint32_t>(wParam));
        return TRUE;
    case MsgWaitEnded:
        OnWaitEnded(static_cast<uint32_t>(wParam), static_cast<UINT_PTR>(lParam));
        return TRUE;
    case WM_CLOSE:
        CancelRun();
        DestroyWindow(window);
        return TRUE;
    case WM_DESTROY:
        // A wait cancelled by the close never reports back to a window that is gone.
        LetSystemSleep();
        KillTimer(app.mainWindow, TIMER_SELFCHECK);
        PostQuitMessage(0);
        return TRUE;
    default:  // the dialog manager's own handling
        return FALSE;
    }
}
