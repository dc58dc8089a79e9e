// Driving the trigger engine inside the test process: choosing in the real main
// window and ending a run that is still armed.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/AppState.h"
#include "engine/Engine.h"
#include "i18n/Strings.h"
#include "IatPatch.h"
#include "MainWindowHarness.h"
#include "MessageBoxRecorder.h"
#include "TestSupport.h"

// A CreateThread that fails, for the wait thread that cannot be started.
inline HANDLE WINAPI FailCreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

// Checks the action (1..5) and trigger (1..4) radio buttons, each alone in its group.
inline void Choose(int action, int trigger, bool force = false) {
    CheckRadioButton(app.mainWindow, IDC_ACT_SHUTDOWN, IDC_ACT_HIBERNATE, IDC_ACT_SHUTDOWN + action - 1);
    CheckRadioButton(app.mainWindow, IDC_TRIG_NOW, IDC_TRIG_PROCESS, IDC_TRIG_NOW + trigger - 1);
    CheckDlgButton(app.mainWindow, IDC_FORCE, force ? BST_CHECKED : BST_UNCHECKED);
}

inline void SetField(int id, const std::string& text) { SetDlgItemTextA(app.mainWindow, id, text.c_str()); }

inline void SetCountdown(const std::string& hours, const std::string& minutes, const std::string& seconds) {
    SetField(IDC_CD_HOURS, hours);
    SetField(IDC_CD_MINUTES, minutes);
    SetField(IDC_CD_SECONDS, seconds);
}

// Removes a queued MsgTriggerFired; returns its wParam or -1 when none is queued.
inline long long TakeTriggerFired() {
    MSG message;
    if (!PeekMessageA(&message, app.mainWindow, MsgTriggerFired, MsgTriggerFired, PM_REMOVE)) return -1;
    return static_cast<long long>(message.wParam);
}

// The one message box the code under test showed: over the main window, with the
// program's title.
inline void ExpectOneBox(const MessageBoxRecorder& boxes, const std::string& text, UINT flags) {
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, text);
    EXPECT_EQ(boxes.calls()[0].caption, PRODUCT_TITLE);
    EXPECT_EQ(boxes.calls()[0].flags, flags);
    EXPECT_EQ(boxes.calls()[0].owner, app.mainWindow);
}

// Puts a process into the process list as its only, selected entry, shown as the list
// shows a process of that file name.
inline void ListOnly(DWORD processId, const std::string& fileName = "sleeper.exe") {
    std::string text = fileName + "   [PID " + std::to_string(processId) + "]";
    SendMessageA(app.processList, CB_RESETCONTENT, 0, 0);
    LRESULT index = SendMessageA(app.processList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(app.processList, CB_SETITEMDATA, index, processId);
    SendMessageA(app.processList, CB_SETCURSEL, index, 0);
}

// Ends whatever run is armed so the next case starts from Idle: cancels a waiting
// thread and waits for its report, or cancels a warning, or drops a queued trigger.
inline void EndRun() {
    if (app.waitThread) {
        SetEvent(app.cancelEvent);
        WaitForSingleObject(app.waitThread, 5000);
    }
    PumpUntil([] { return app.waitThread == nullptr; }, 2000);
    if (app.runState == RunState::Warning) CancelRun();
    MSG message;
    while (PeekMessageA(&message, app.mainWindow, MsgTriggerFired, MsgWaitEnded, PM_REMOVE)) {
    }
    if (app.runState != RunState::Idle) EnterIdle();
}

// The real main window for each case; whatever run a case armed is ended after it,
// and none can reach a real power call unless the case patches its own fake over
// the guard's.
class EngineTest : public MainWindowTest {
protected:
    void TearDown() override {
        EndRun();
        MainWindowTest::TearDown();
    }

    static void ExpectState(RunState state, StringId status) {
        EXPECT_EQ(app.runState, state);
        EXPECT_EQ(WindowText(app.statusLabel), Text(status));
        EXPECT_EQ(IsWindowEnabled(app.startButton) != FALSE, state == RunState::Idle);
        EXPECT_EQ(IsWindowEnabled(app.stopButton) != FALSE, state != RunState::Idle);
    }

    // The trigger fires for `action`: the warning opens with `seconds` to go.
    static void OpenWarning(ActionKind action, uint32_t seconds) {
        app.action = action;
        EnterWaiting();
        OnTriggerFired(seconds);
    }

    // An idle program that kept the timer would wake once a second for good.
    static void ExpectCountdownStopped() {
        EXPECT_FALSE(KillTimer(app.mainWindow, TIMER_COUNTDOWN)) << "the countdown timer is gone";
    }
};
