// The engine's run states, the one wait thread and the warning countdown.
//
// There are no locks: the wait thread reads only fields written before it was
// created, writes only its wait handles and the watched process's handle, and
// reports by posting to the main window. The cancel event is the one object both
// threads use at the same time. Each run has a number of its own, handed to its
// thread and sent back with its end, so the late end of an earlier run is told
// apart from the running one's even when Windows gave both threads the same id.
#include "Engine.h"
#include "../power/Power.h"

static void SetStatus(StringId text) { SetWindowTextA(app.statusLabel, Text(text)); }

static void EnableStop() {
    EnableWindow(app.startButton, FALSE);
    EnableWindow(app.stopButton, TRUE);
}

// Windows 8 and later do not count time asleep in a wait's time-out, so a PC that
// idles to sleep would hold an armed run back until someone wakes it. Only the
// system is kept awake (the screen still goes dark), only while a run is armed, and
// never into the action: a standby or hibernate of our own must not be held back. A
// call that fails leaves the run as it is; it will still come, if late.
static void KeepSystemAwake() {
    app.keepingAwake = 1;
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
}

void LetSystemSleep() {
    if (!app.keepingAwake) return;
    app.keepingAwake = 0;
    SetThreadExecutionState(ES_CONTINUOUS);
}

void EnterWaiting() {
    KeepSystemAwake();
    app.runState = RunState::Waiting;
    SetStatus(StrStatusWaiting);
    EnableStop();
}

void EnterWarning() {
    app.runState = RunState::Warning;
    SetStatus(StrStatusWarning);
    EnableStop();
    if (!app.warningWindow) {
        // Without the window the countdown still runs and STOP still cancels it.
        HWND window = CreateDialogParamA(app.instance, MAKEINTRESOURCEA(IDD_WARNING), app.mainWindow,
                                         WarningDialogProc, 0);
        if (window) app.warningWindow = window;
    }
    UpdateWarningText();
    SetTimer(app.mainWindow, TIMER_COUNTDOWN, 1000, nullptr);
}

void EnterIdle() {
    LetSystemSleep();
    app.runState = RunState::Idle;
    ResetEvent(app.cancelEvent);
    EnableWindow(app.startButton, TRUE);
    EnableWindow(app.stopButton, FALSE);
    SetStatus(StrStatusReady);
}

static void CloseMonitoredProcess() {
    if (!app.monitoredProcess) return;
    CloseHandle(app.monitoredProcess);
    app.monitoredProcess = nullptr;
}

void StartWaitThread() {
    EnterWaiting();
    // A thread that fired may not have posted its end yet when the user has already
    // cancelled the warning and pressed START again. It has nothing left to do but
    // post; its handle goes now, and its late report is told apart by its run's
    // number. Not by its id: once its handle is closed and it has exited, the new
    // thread may get the same one.
    if (app.waitThread) CloseHandle(app.waitThread);
    ++app.waitRun;
    app.waitThread = CreateThread(nullptr, 0, WaitThreadProc, reinterpret_cast<LPVOID>(app.waitRun), 0, nullptr);
    if (app.waitThread) return;
    CloseMonitoredProcess();
    EnterIdle();
    MessageBoxA(app.mainWindow, Text(StrErrWaitThread), PRODUCT_TITLE, MB_ICONERROR);
}

DWORD WINAPI WaitThreadProc(LPVOID run) {
    BOOL fired = FALSE;
    if (app.waitMode == WaitMode::ProcessExit) {
        app.waitHandles[0] = app.cancelEvent;
        app.waitHandles[1] = app.monitoredProcess;
        // The event comes first, so a cancel wins over a process that ends at the
        // same moment; a failed wait cancels.
        fired = WaitForMultipleObjects(2, app.waitHandles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1;
        CloseMonitoredProcess();
    } else {
        // A failed wait counts as the time having elapsed: the user still gets the
        // warning and can cancel it there.
        fired = WaitForSingleObject(app.cancelEvent, app.waitMilliseconds) != WAIT_OBJECT_0;
    }
    if (fired) PostMessageA(app.mainWindow, MsgTriggerFired, app.warningSeconds, 0);
    // The end names its run, so that it cannot be taken for the end of a later one.
    PostMessageA(app.mainWindow, MsgWaitEnded, fired ? 0 : 1, reinterpret_cast<LPARAM>(run));
    return 0;
}

void OnTriggerFired(uint32_t seconds) {
    app.remainingSeconds = seconds ? seconds : 1;
    EnterWarning();
}

void OnWaitEnded(uint32_t code, UINT_PTR run) {
    // The late end of a run before the current one: its handle is closed already.
    if (run != app.waitRun) return;
    if (app.waitThread) {
        CloseHandle(app.waitThread);
        app.waitThread = nullptr;
    }
    if (code != 1) return;
    EnterIdle();
    SetStatus(StrStatusCancelled);
}

static void CloseWarningWindow() {
    if (app.warningWindow) DestroyWindow(app.warningWindow);
}

void OnCountdownTick() {
    if (app.runState != RunState::Warning) return;
    if (app.remainingSeconds > 0) {
        --app.remainingSeconds;
        UpdateWarningText();
        if (app.remainingSeconds > 0) return;
    }
    KillTimer(app.mainWindow, TIMER_COUNTDOWN);
    CloseWarningWindow();
    app.runState = RunState::Executing;
    SetStatus(StrStatusExecuting);
    LetSystemSleep();
    ExecutePowerAction();
    EnterIdle();
}

void CancelRun() {
    switch (app.runState) {
    case RunState::Waiting:
        // The thread answers with MsgWaitEnded; the run ends when that arrives.
        SetStatus(StrStatusStopping);
        SetEvent(app.cancelEvent);
        return;
    case RunState::Warning:
        KillTimer(app.mainWindow, TIMER_COUNTDOWN);
        CloseWarningWindow();
        EnterIdle();
        SetStatus(StrStatusCancelled);
        return;
    default:
        return;
    }
}
