// The run states with the real main window and the real wait thread: each row of the
// transitions, who releases what, and the races between STOP and the thread.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "app/App.h"
#include "engine/Engine.h"
#include "i18n/Strings.h"
#include "support/EngineHarness.h"
#include "support/MessageBoxRecorder.h"
#include "support/Processes.h"
#include "ui/main/MainWindow.h"

namespace {

struct ActionCall {
    UINT flags;
    RunState state;
    std::string status;
    bool warningOpen;
    DWORD at;
};
std::vector<ActionCall> actionCalls;
bool cancelInsideAction = false;
bool actionFails = false;

// SetThreadExecutionState's flags in the order they were passed, with the power
// call's place among them.
const EXECUTION_STATE Hold = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;
const EXECUTION_STATE Release = ES_CONTINUOUS;
const EXECUTION_STATE PowerCall = 0;
std::vector<EXECUTION_STATE> awakeCalls;
EXECUTION_STATE WINAPI RecordExecutionState(EXECUTION_STATE flags) {
    awakeCalls.push_back(flags);
    return ES_CONTINUOUS;
}

BOOL WINAPI RecordExitWindowsEx(UINT flags, DWORD) {
    awakeCalls.push_back(PowerCall);
    actionCalls.push_back(
        {flags, app.runState, WindowText(app.statusLabel), app.warningWindow != nullptr, GetTickCount()});
    if (cancelInsideAction) CancelRun();
    if (!actionFails) return TRUE;
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

DWORD warningOpenedAt = 0;
BOOL WINAPI NoteWarningOpened(UINT) {
    warningOpenedAt = GetTickCount();
    return TRUE;
}

BOOL WINAPI RecordPrivilege(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD) {
    SetLastError(0);
    return TRUE;
}

IatPatch* singleWaitPatch = nullptr;
IatPatch* multipleWaitPatch = nullptr;
DWORD WINAPI FailingSingleWait(HANDLE handle, DWORD milliseconds) {
    if (handle == app.cancelEvent) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return singleWaitPatch->originalAs<decltype(&WaitForSingleObject)>()(handle, milliseconds);
}
DWORD WINAPI FailingMultipleWait(DWORD count, const HANDLE* handles, BOOL all, DWORD milliseconds) {
    if (count == 2 && handles == app.waitHandles) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return multipleWaitPatch->originalAs<decltype(&WaitForMultipleObjects)>()(count, handles, all, milliseconds);
}

// What the countdown timer is when the window that owns it is about to go: destroying
// the window would kill every timer anyway.
IatPatch* destroyPatch = nullptr;
BOOL countdownAliveAtDestroy = TRUE;
BOOL WINAPI CheckTimerThenDestroyWindow(HWND window) {
    if (window == app.mainWindow) countdownAliveAtDestroy = KillTimer(window, TIMER_COUNTDOWN);
    return destroyPatch->originalAs<BOOL(WINAPI*)(HWND)>()(window);
}

class RunStatesTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        actionCalls.clear();
        awakeCalls.clear();
        cancelInsideAction = false;
        actionFails = false;
    }

    // Arms a silent wait as START would for a countdown.
    void ArmTimeout(uint32_t milliseconds, uint32_t warning) {
        app.action = ActionKind::LogOff;
        app.waitMode = WaitMode::Timeout;
        app.waitMilliseconds = milliseconds;
        app.warningSeconds = warning;
        StartWaitThread();
    }

    // Arms a wait for the child's end as START would for the process trigger.
    void ArmProcessWatch(const Sleeper& child) {
        app.monitoredProcess = OpenProcess(SYNCHRONIZE, FALSE, child.info.dwProcessId);
        app.waitMode = WaitMode::ProcessExit;
        app.warningSeconds = 60;
        StartWaitThread();
    }

    bool PumpUntilState(RunState state, DWORD ms = 3000) {
        return PumpUntil([state] { return app.runState == state; }, ms);
    }

    IatPatch exitPatch{"user32.dll", "ExitWindowsEx", AsPatch(&RecordExitWindowsEx)};  // over the guard's
    IatPatch privilegePatch{"advapi32.dll", "AdjustTokenPrivileges", AsPatch(&RecordPrivilege)};
    IatPatch awakePatch{"kernel32.dll", "SetThreadExecutionState", AsPatch(&RecordExecutionState)};
    MessageBoxRecorder boxes;
};

TEST_F(RunStatesTest, EachStateShowsItsStatusAndButtons) {
    EnterWaiting();
    ExpectState(RunState::Waiting, StrStatusWaiting);
    app.remainingSeconds = 5;
    EnterWarning();
    ExpectState(RunState::Warning, StrStatusWarning);
    EXPECT_NE(app.warningWindow, nullptr);
    CancelRun();
    SetEvent(app.cancelEvent);
    EnterIdle();
    ExpectState(RunState::Idle, StrStatusReady);
    EXPECT_FALSE(Signalled(app.cancelEvent));
}

TEST_F(RunStatesTest, StopWhileWaitingEndsAsCancelledOnceTheThreadReports) {
    ArmTimeout(60000, 60);
    ExpectState(RunState::Waiting, StrStatusWaiting);
    HANDLE thread = app.waitThread;
    ASSERT_NE(thread, nullptr);

    CancelRun();
    EXPECT_EQ(app.runState, RunState::Waiting);
    EXPECT_EQ(WindowText(app.statusLabel), Text(StrStatusStopping));
    EXPECT_TRUE(Signalled(app.cancelEvent));
    CancelRun();  // a second STOP changes nothing
    EXPECT_EQ(WindowText(app.statusLabel), Text(StrStatusStopping));

    ASSERT_TRUE(PumpUntilState(RunState::Idle));
    ExpectState(RunState::Idle, StrStatusCancelled);
    EXPECT_EQ(app.waitThread, nullptr);
    EXPECT_FALSE(Signalled(app.cancelEvent));
    EXPECT_EQ(app.warningWindow, nullptr);
    EXPECT_TRUE(actionCalls.empty());
}

TEST_F(RunStatesTest, TimeOutOpensTheWarningAndClosesTheThreadHandle) {
    ArmTimeout(30, 7);
    ASSERT_TRUE(PumpUntil([] { return app.runState == RunState::Warning && app.waitThread == nullptr; }, 3000));
    ExpectState(RunState::Warning, StrStatusWarning);
    EXPECT_EQ(app.remainingSeconds, 7u);
    EXPECT_NE(app.warningWindow, nullptr);
    EXPECT_TRUE(actionCalls.empty());
}

TEST_F(RunStatesTest, AFailedTimedWaitStillWarnsAndAFailedProcessWaitCancels) {
    {
        IatPatch patch("kernel32.dll", "WaitForSingleObject", AsPatch(&FailingSingleWait));
        singleWaitPatch = &patch;
        ArmTimeout(60000, 60);
        ASSERT_TRUE(PumpUntil([] { return app.runState == RunState::Warning && app.waitThread == nullptr; }, 3000));
        EXPECT_EQ(app.remainingSeconds, 60u);
        CancelRun();
    }
    Sleeper child;
    ASSERT_NE(child.info.hProcess, nullptr);
    {
        IatPatch patch("kernel32.dll", "WaitForMultipleObjects", AsPatch(&FailingMultipleWait));
        multipleWaitPatch = &patch;
        ArmProcessWatch(child);
        ASSERT_TRUE(PumpUntil([] { return app.waitThread == nullptr; }, 3000));
    }
    ExpectState(RunState::Idle, StrStatusCancelled);
    EXPECT_EQ(app.monitoredProcess, nullptr);
}

TEST_F(RunStatesTest, WatchedProcessEndingStartsTheMinuteOfWarning) {
    Sleeper child;
    ASSERT_NE(child.info.hProcess, nullptr);
    ArmProcessWatch(child);
    HANDLE watched = app.monitoredProcess;
    ASSERT_NE(watched, nullptr);
    // The thread writes both before it waits.
    ASSERT_TRUE(PumpUntil([] { return app.waitHandles[0] && app.waitHandles[1]; }, 3000));
    EXPECT_EQ(app.runState, RunState::Waiting);
    EXPECT_EQ(app.waitHandles[0], app.cancelEvent);
    EXPECT_EQ(app.waitHandles[1], watched);

    TerminateProcess(child.info.hProcess, 0);
    ASSERT_TRUE(PumpUntil([] { return app.runState == RunState::Warning && app.waitThread == nullptr; }, 5000));
    EXPECT_EQ(app.remainingSeconds, 60u);
    EXPECT_EQ(app.monitoredProcess, nullptr);
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(watched, &flags)) << "the watched process's handle was closed";
}

TEST_F(RunStatesTest, StopWhileWatchingAProcessReleasesItsHandle) {
    Sleeper child;
    ASSERT_NE(child.info.hProcess, nullptr);
    ArmProcessWatch(child);
    PumpFor(100);
    CancelRun();
    ASSERT_TRUE(PumpUntilState(RunState::Idle));
    EXPECT_EQ(WindowText(app.statusLabel), Text(StrStatusCancelled));
    EXPECT_EQ(app.monitoredProcess, nullptr);
    EXPECT_EQ(app.waitThread, nullptr);
}

TEST_F(RunStatesTest, StopRacingTheTimeOutStillGivesACancellableWarning) {
    ArmTimeout(1, 60);
    // The thread has timed out and posted, but nothing is handled yet.
    ASSERT_EQ(WaitForSingleObject(app.waitThread, 3000), WAIT_OBJECT_0);
    CancelRun();
    EXPECT_EQ(WindowText(app.statusLabel), Text(StrStatusStopping));
    EXPECT_TRUE(Signalled(app.cancelEvent));

    ASSERT_TRUE(PumpUntil([] { return app.runState == RunState::Warning && app.waitThread == nullptr; }, 3000));
    ExpectState(RunState::Warning, StrStatusWarning);
    EXPECT_EQ(app.remainingSeconds, 60u);
    EXPECT_TRUE(Signalled(app.cancelEvent));  // until the run ends

    SendCommand(IDC_STOP);
    ExpectState(RunState::Idle, StrStatusCancelled);
    ExpectCountdownStopped();
    EXPECT_FALSE(Signalled(app.cancelEvent));
    EXPECT_EQ(app.warningWindow, nullptr);
    PumpFor(50);
    EXPECT_TRUE(actionCalls.empty());
}

TEST_F(RunStatesTest, ALateEndOfTheThreadBeforeLeavesTheNextRunsThreadAlone) {
    ArmTimeout(1, 60);
    HANDLE first = app.waitThread;
    ASSERT_EQ(WaitForSingleObject(first, 3000), WAIT_OBJECT_0);
    // The first thread's end is held back, as if it had been descheduled between its
    // two posts while the user cancelled the warning and pressed START again.
    static MSG late;
    ASSERT_TRUE(PeekMessageA(&late, app.mainWindow, MsgWaitEnded, MsgWaitEnded, PM_REMOVE));
    ASSERT_TRUE(PumpUntilState(RunState::Warning));
    CancelRun();
    // Once the first thread has exited and its handle is closed, Windows may give its
    // id to the next thread: the late end then comes from a thread with the running
    // thread's id. The running thread posts it itself, just before it starts to wait,
    // once as the first run sent it and once naming that id.
    static IatPatch* waitPatch;
    static std::atomic<bool> latePosted;
    latePosted = false;
    IatPatch patch("kernel32.dll", "WaitForSingleObject", AsPatch(+[](HANDLE handle, DWORD milliseconds) -> DWORD {
        if (handle == app.cancelEvent && milliseconds == 60000 && !latePosted.exchange(true)) {
            PostMessageA(app.mainWindow, late.message, late.wParam, late.lParam);
            PostMessageA(app.mainWindow, late.message, late.wParam, static_cast<LPARAM>(GetCurrentThreadId()));
        }
        return waitPatch->originalAs<decltype(&WaitForSingleObject)>()(handle, milliseconds);
    }));
    waitPatch = &patch;
    ArmTimeout(60000, 60);
    HANDLE second = app.waitThread;
    ASSERT_NE(second, nullptr);
    DWORD flags = 0;
    EXPECT_TRUE(first == second || !GetHandleInformation(first, &flags)) << "the first thread's handle was closed";

    ASSERT_TRUE(PumpUntil([] { return latePosted.load(); }, 3000));
    PumpFor(50);
    ExpectState(RunState::Waiting, StrStatusWaiting);
    EXPECT_EQ(app.waitThread, second);
    EXPECT_TRUE(GetHandleInformation(second, &flags));

    CancelRun();
    ASSERT_TRUE(PumpUntilState(RunState::Idle));
    EXPECT_EQ(app.waitThread, nullptr);
    EXPECT_FALSE(GetHandleInformation(second, &flags));
    EXPECT_TRUE(actionCalls.empty());
}

TEST_F(RunStatesTest, CountdownTicksDownAndRunsTheActionOnce) {
    app.forceClose = 1;
    OpenWarning(ActionKind::Restart, 3);
    EXPECT_EQ(app.remainingSeconds, 3u);
    OnCountdownTick();
    EXPECT_EQ(app.remainingSeconds, 2u);
    OnCountdownTick();
    EXPECT_EQ(app.runState, RunState::Warning);
    EXPECT_NE(app.warningWindow, nullptr);
    EXPECT_TRUE(actionCalls.empty());
    OnCountdownTick();
    ASSERT_EQ(actionCalls.size(), 1u);
    EXPECT_EQ(actionCalls[0].flags, static_cast<UINT>(EWX_REBOOT | EWX_FORCE));
    EXPECT_EQ(actionCalls[0].state, RunState::Executing);
    EXPECT_EQ(actionCalls[0].status, Text(StrStatusExecuting));
    EXPECT_FALSE(actionCalls[0].warningOpen);
    ExpectState(RunState::Idle, StrStatusReady);
    EXPECT_EQ(app.remainingSeconds, 0u);

    // The timer is gone and further ticks do nothing.
    ExpectCountdownStopped();
    OnCountdownTick();
    EXPECT_EQ(actionCalls.size(), 1u);
}

TEST_F(RunStatesTest, ATriggerOfZeroSecondsWarnsForOneAndAFailedActionStillEndsReady) {
    actionFails = true;
    OpenWarning(ActionKind::LogOff, 0);
    EXPECT_EQ(app.remainingSeconds, 1u);
    OnCountdownTick();
    ASSERT_EQ(actionCalls.size(), 1u);
    EXPECT_EQ(actionCalls[0].flags, static_cast<UINT>(EWX_LOGOFF));
    // The failure is reported once, over the main window, and the next run can start.
    ExpectOneBox(boxes, app.failureText, MB_OK | MB_ICONERROR);
    ExpectState(RunState::Idle, StrStatusReady);
    ExpectCountdownStopped();
}

TEST_F(RunStatesTest, TicksOutsideTheWarningAndCancelsWhileExecutingDoNothing) {
    app.action = ActionKind::LogOff;
    app.remainingSeconds = 1;
    OnCountdownTick();
    EnterWaiting();
    OnCountdownTick();
    EXPECT_TRUE(actionCalls.empty());
    EXPECT_EQ(app.remainingSeconds, 1u);

    cancelInsideAction = true;
    OnTriggerFired(1);
    OnCountdownTick();
    ASSERT_EQ(actionCalls.size(), 1u);
    ExpectState(RunState::Idle, StrStatusReady);
    EXPECT_FALSE(Signalled(app.cancelEvent));
}

TEST_F(RunStatesTest, TheMainWindowTimerDrivesTheCountdownToTheAction) {
    IatPatch beep("user32.dll", "MessageBeep", AsPatch(&NoteWarningOpened));
    warningOpenedAt = 0;
    app.action = ActionKind::ShutDown;
    EnterWaiting();
    PostMessageA(app.mainWindow, MsgTriggerFired, 2, 0);
    ASSERT_TRUE(PumpUntilState(RunState::Warning, 3000));
    ASSERT_TRUE(PumpUntil([] { return !actionCalls.empty(); }, 10000));
    // From the warning's beep to the action: two ticks of a second, never fewer, and
    // less than two of a needlessly long period, whatever the load delays.
    DWORD elapsed = actionCalls[0].at - warningOpenedAt;
    EXPECT_NE(warningOpenedAt, 0u);
    EXPECT_GE(elapsed, 1800u);
    EXPECT_LT(elapsed, 4000u);
    EXPECT_EQ(actionCalls[0].flags, static_cast<UINT>(EWX_POWEROFF));
    PumpUntilState(RunState::Idle, 1000);
    ExpectState(RunState::Idle, StrStatusReady);
}

TEST_F(RunStatesTest, ClosingTheMainWindowCancelsFirst) {
    ArmTimeout(60000, 60);
    HANDLE thread = app.waitThread;
    SendMessageA(app.mainWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Signalled(app.cancelEvent));
    EXPECT_FALSE(IsWindow(app.mainWindow));
    // The thread sees the cancel and ends; its report goes to a window that is gone.
    EXPECT_EQ(WaitForSingleObject(thread, 3000), WAIT_OBJECT_0);
    CloseHandle(thread);
    app.waitThread = nullptr;
    EXPECT_TRUE(actionCalls.empty());
    EXPECT_EQ(awakeCalls, (std::vector<EXECUTION_STATE>{Hold, Release}));
}

TEST_F(RunStatesTest, ClosingTheMainWindowDuringTheWarningStopsTheCountdownFirst) {
    OpenWarning(ActionKind::ShutDown, 1);
    HWND warning = app.warningWindow;
    ASSERT_NE(warning, nullptr);
    countdownAliveAtDestroy = TRUE;
    {
        IatPatch patch("user32.dll", "DestroyWindow", AsPatch(&CheckTimerThenDestroyWindow));
        destroyPatch = &patch;
        ASSERT_TRUE(patch.active());
        SendMessageA(app.mainWindow, WM_CLOSE, 0, 0);
        destroyPatch = nullptr;
    }
    EXPECT_FALSE(countdownAliveAtDestroy);
    EXPECT_FALSE(IsWindow(app.mainWindow));
    EXPECT_FALSE(IsWindow(warning));
    EXPECT_EQ(app.runState, RunState::Idle);
    EXPECT_TRUE(actionCalls.empty());
}

// Time asleep does not count in a wait, so an armed run keeps the system from idling
// to sleep: from START until just before its action, or until it ends without one.
TEST_F(RunStatesTest, AnArmedRunKeepsTheSystemAwakeUntilItsActionOrItsEnd) {
    enum class Then { Stop, Cancel, RunOut, FailedAction, EndProcess, NoThread, Refused };
    struct Row {
        const char* name;
        int trigger;
        const char* minutes;
        const char* seconds;
        Then then;
        std::vector<EXECUTION_STATE> calls;
    };
    const Row rows[] = {
        {"countdown, then STOP", 2, "02", "00", Then::Stop, {Hold, Release}},
        {"Now, then CANCEL", 1, "", "", Then::Cancel, {Hold, Release}},
        {"countdown to its action", 2, "00", "01", Then::RunOut, {Hold, Release, PowerCall}},
        {"a failed action", 2, "00", "01", Then::FailedAction, {Hold, Release, PowerCall}},
        // The warning counts down after the process ended: the run is still armed.
        {"the watched process ends", 4, "", "", Then::EndProcess, {Hold}},
        {"no wait thread", 2, "02", "00", Then::NoThread, {Hold, Release}},
        {"START refused", 2, "00", "00", Then::Refused, {}},
    };
    Sleeper child;
    ListOnly(child.info.dwProcessId);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        awakeCalls.clear();
        actionFails = row.then == Then::FailedAction;
        Choose(3, row.trigger);
        SetCountdown("00", row.minutes, row.seconds);
        IatPatches noThread;
        if (row.then == Then::NoThread) noThread.add("kernel32.dll", "CreateThread", AsPatch(&FailCreateThread));
        SendCommand(IDC_START);
        noThread.clear();
        if (row.then == Then::Stop) SendCommand(IDC_STOP);
        if (row.then == Then::Cancel && PumpUntilState(RunState::Warning))
            SendMessageA(app.warningWindow, WM_COMMAND, IDC_WARN_CANCEL, 0);
        if (row.then == Then::EndProcess) TerminateProcess(child.info.hProcess, 0);
        RunState end = row.then == Then::EndProcess ? RunState::Warning : RunState::Idle;
        bool acts = !row.calls.empty() && row.calls.back() == PowerCall;
        EXPECT_TRUE(PumpUntil([&] { return app.runState == end && acts != actionCalls.empty(); }, 5000));
        EXPECT_EQ(awakeCalls, row.calls);
        EndRun();
        actionCalls.clear();
    }
}

// The wait thread's two messages and the countdown timer reach the engine through the
// main window's procedure.
TEST_F(RunStatesTest, TheMainWindowHandsTheEngineItsMessagesAndTimer) {
    app.runState = RunState::Waiting;
    // A wait that ended without firing; only the low 32 bits of wParam are the code.
    EXPECT_EQ(MainDialogProc(app.mainWindow, MsgWaitEnded, static_cast<WPARAM>(0x700000001ull), 0), TRUE);
    EXPECT_EQ(app.runState, RunState::Idle);
    EXPECT_EQ(WindowText(app.statusLabel), Text(StrStatusCancelled));

    // Only the low 32 bits of wParam are the seconds.
    EXPECT_EQ(MainDialogProc(app.mainWindow, MsgTriggerFired, static_cast<WPARAM>(0x100000000ull + 30), 0), TRUE);
    EXPECT_EQ(app.runState, RunState::Warning);
    EXPECT_EQ(app.remainingSeconds, 30u);
    EXPECT_NE(app.warningWindow, nullptr);
    EXPECT_EQ(MainDialogProc(app.mainWindow, WM_TIMER, TIMER_COUNTDOWN, 0), TRUE);
    EXPECT_EQ(app.remainingSeconds, 29u);
    EXPECT_EQ(MainDialogProc(app.mainWindow, WM_TIMER, 77, 0), TRUE);
    EXPECT_EQ(app.remainingSeconds, 29u);

    // A wait that ended after firing leaves the warning running.
    EXPECT_EQ(MainDialogProc(app.mainWindow, MsgWaitEnded, 0, 0), TRUE);
    EXPECT_EQ(app.runState, RunState::Warning);
}

// The STOP command does nothing while Idle or Executing; while Waiting the thread's
// answer ends the run. During the warning: StopRacingTheTimeOutStillGivesACancellableWarning.
TEST_F(RunStatesTest, TheStopCommandInEachRunState) {
    const struct {
        RunState state, after;
        StringId status;
    } rows[] = {{RunState::Idle, RunState::Idle, StrStatusReady},
                {RunState::Executing, RunState::Executing, StrStatusReady},
                {RunState::Waiting, RunState::Idle, StrStatusCancelled}};
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.state));
        app.runState = row.state;
        if (row.state == RunState::Waiting) ArmTimeout(60000, 60);
        EXPECT_EQ(SendCommand(IDC_STOP), TRUE);
        PumpUntil([] { return app.waitThread == nullptr; }, 3000);
        EXPECT_EQ(app.runState, row.after);
        EXPECT_FALSE(Signalled(app.cancelEvent));
        EXPECT_EQ(WindowText(app.statusLabel), Text(row.status));
    }
}

TEST_F(RunStatesTest, LanguageSwitchWhileStoppingShowsWaitingAgainAndStillCancels) {
    ArmTimeout(60000, 60);
    // Hold the thread's report back: handle nothing until the status is checked.
    CancelRun();
    EXPECT_EQ(WindowText(app.statusLabel), Text(StrStatusStopping));
    ToggleLanguage();
    RelabelWindows();
    EXPECT_EQ(WindowText(app.statusLabel), "Warte auf den gewaehlten Ausloeser ...");
    ASSERT_TRUE(PumpUntilState(RunState::Idle));
    EXPECT_EQ(WindowText(app.statusLabel), "Abgebrochen.");
    ToggleLanguage();
}

}  // namespace
