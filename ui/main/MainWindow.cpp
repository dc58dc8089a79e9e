// The main window's creation and the routing of its messages.
#include "MainWindow.h"
#include "../../app/App.h"
#include "../../engine/Engine.h"
#include "../../i18n/Strings.h"
#include "../skin/Skin.h"

// What each kind of control is made of; every one of them is a visible child.
struct ControlKind {
    const char* className;
    DWORD style;
    DWORD extendedStyle;
};

static const ControlKind ControlKinds[] = {
    {"BUTTON", 0x50000007, 0},                 // BS_GROUPBOX
    {"BUTTON", 0x50030009, 0},                 // BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP
    {"BUTTON", 0x50010009, 0},                 // BS_AUTORADIOBUTTON | WS_TABSTOP
    {"BUTTON", 0x50010003, 0},                 // BS_AUTOCHECKBOX | WS_TABSTOP
    {"EDIT", 0x50012080, WS_EX_CLIENTEDGE},    // ES_NUMBER | ES_AUTOHSCROLL | WS_TABSTOP
    {"STATIC", 0x50000000, 0},                 // SS_LEFT
    {"COMBOBOX", 0x50210103, 0},               // CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP
    {"BUTTON", 0x50018000, 0},                 // BS_PUSHBUTTON | BS_FLAT | WS_TABSTOP
};

// Creation order is the tab order.
static const ControlSpec MainControls[] = {
    {IDC_GROUP_ACTION, StrGroupAction, GroupBox, nullptr, 14, 32, 510, 100},
    {IDC_ACT_SHUTDOWN, StrActShutDown, FirstRadio, nullptr, 30, 56, 125, 22},
    {IDC_ACT_RESTART, StrActRestart, Radio, nullptr, 170, 56, 110, 22},
    {IDC_ACT_LOGOFF, StrActLogOff, Radio, nullptr, 300, 56, 100, 22},
    {IDC_ACT_STANDBY, StrActStandby, Radio, nullptr, 30, 88, 110, 22},
    {IDC_ACT_HIBERNATE, StrActHibernate, Radio, nullptr, 170, 88, 120, 22},
    {IDC_FORCE, StrForceClose, CheckBox, nullptr, 300, 88, 214, 22},
    {IDC_GROUP_WHEN, StrGroupWhen, GroupBox, nullptr, 14, 142, 510, 190},
    {IDC_TRIG_NOW, StrTrigNow, FirstRadio, nullptr, 30, 167, 100, 22},
    {IDC_TRIG_AFTER, StrTrigAfter, Radio, nullptr, 30, 200, 72, 22},
    {IDC_CD_HOURS, NoStringId, TimeField, "01", 112, 197, 42, 24},
    {0, NoStringId, Label, ":", 159, 200, 10, 20},
    {IDC_CD_MINUTES, NoStringId, TimeField, "00", 174, 197, 42, 24},
    {0, NoStringId, Label, ":", 221, 200, 10, 20},
    {IDC_CD_SECONDS, NoStringId, TimeField, "00", 236, 197, 42, 24},
    {IDC_TRIG_AT, StrTrigAt, Radio, nullptr, 30, 234, 72, 22},
    {IDC_AT_HOURS, NoStringId, TimeField, "07", 112, 231, 42, 24},
    {0, NoStringId, Label, ":", 159, 234, 10, 20},
    {IDC_AT_MINUTES, NoStringId, TimeField, "00", 174, 231, 42, 24},
    {IDC_TRIG_PROCESS, StrTrigProcessExit, Radio, nullptr, 30, 268, 150, 22},
    {IDC_PROCESS_LIST, NoStringId, DropList, nullptr, 42, 294, 325, 220},
    {IDC_REFRESH, StrRefresh, PushButton, nullptr, 378, 293, 98, 27},
    {IDC_STATUS, StrStatusReady, Label, nullptr, 18, 343, 505, 22},
    {IDC_START, StrStart, PushButton, nullptr, 18, 372, 185, 40},
    {IDC_STOP, StrStop, PushButton, nullptr, 215, 372, 135, 40},
    {IDC_LANGUAGE, NoStringId, PushButton, "DE | EN", 365, 388, 70, 24},
    {IDC_ABOUT, StrAbout, PushButton, nullptr, 443, 388, 80, 24},
};

HWND CreateControl(HWND window, const ControlSpec& spec) {
    const ControlKind& kind = ControlKinds[spec.kind];
    const char* text = spec.textId == NoStringId ? spec.literal : Text(static_cast<StringId>(spec.textId));
    HWND control = CreateWindowExA(kind.extendedStyle, kind.className, text, kind.style, spec.x, spec.y,
                                   spec.width, spec.height, window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), app.instance, nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(app.guiFont), TRUE);
    return control;
}

void RelabelMainControls() {
    // The status line follows the run state; RelabelWindows gives it its text.
    for (const ControlSpec& spec : MainControls)
        if (spec.textId != NoStringId && spec.id != IDC_STATUS)
            SetDlgItemTextA(app.mainWindow, spec.id, Text(static_cast<StringId>(spec.textId)));
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
    }
    return FALSE;
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
        KillTimer(app.mainWindow, TIMER_SELFCHECK);
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}
