// START in the real main window: what is captured, which inputs are accepted, how a
// run is armed, and that a rejected START arms nothing and holds nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Engine.h"
#include "i18n/Strings.h"
#include "support/EngineHarness.h"
#include "support/MessageBoxRecorder.h"
#include "support/Processes.h"

namespace {

SYSTEMTIME fakeNow = {};
void WINAPI FakeGetLocalTime(LPSYSTEMTIME time) { *time = fakeNow; }

DWORD openedAccess = 0;
BOOL openedInherit = TRUE;
IatPatch* openProcessPatch = nullptr;
HANDLE WINAPI RecordOpenProcess(DWORD access, BOOL inherit, DWORD processId) {
    openedAccess = access;
    openedInherit = inherit;
    return openProcessPatch->originalAs<decltype(&OpenProcess)>()(access, inherit, processId);
}

class TriggerTest : public EngineTest {
protected:
    // One START from Idle with the cancel event signalled beforehand, so that its
    // reset can be seen.
    void Start() {
        boxes.clear();
        SetEvent(app.cancelEvent);
        StartTrigger();
    }

    void ExpectRejected(StringId message) {
        EXPECT_EQ(app.runState, RunState::Idle);
        EXPECT_EQ(app.waitThread, nullptr);
        EXPECT_EQ(app.monitoredProcess, nullptr);
        EXPECT_EQ(TakeTriggerFired(), -1);
        EXPECT_FALSE(Signalled(app.cancelEvent)) << "a rejected START still resets the cancel event";
        ExpectOneBox(boxes, Text(message), MB_ICONWARNING);
        EXPECT_TRUE(IsWindowEnabled(app.startButton));
    }

    // A run due within a minute: Waiting, no thread, the warning length queued.
    void ExpectWarnsAtOnce(uint32_t seconds) {
        ExpectState(RunState::Waiting, StrStatusWaiting);
        EXPECT_EQ(app.waitThread, nullptr);
        EXPECT_EQ(app.warningSeconds, seconds);
        EXPECT_EQ(TakeTriggerFired(), static_cast<long long>(seconds));
    }

    // A run due later: the thread waits, then a minute of warning.
    void ExpectThread(uint32_t waitMilliseconds) {
        EXPECT_EQ(app.runState, RunState::Waiting);
        EXPECT_NE(app.waitThread, nullptr);
        EXPECT_EQ(app.waitMode, WaitMode::Timeout);
        EXPECT_EQ(app.waitMilliseconds, waitMilliseconds);
        EXPECT_EQ(app.warningSeconds, 60u);
        EXPECT_EQ(TakeTriggerFired(), -1);
    }

    // START, then one of the three outcomes of a table row: 0 rejected with the
    // message, > 0 warns at once for that many seconds, < 0 a thread waits -outcome ms.
    void StartExpecting(int outcome, StringId rejection) {
        Start();
        if (outcome == 0) return ExpectRejected(rejection);
        EXPECT_TRUE(boxes.calls().empty());
        if (outcome > 0) ExpectWarnsAtOnce(static_cast<uint32_t>(outcome));
        if (outcome < 0) ExpectThread(static_cast<uint32_t>(-outcome));
        EndRun();
    }

    MessageBoxRecorder boxes;
};

TEST_F(TriggerTest, CountdownBoundaries) {
    Choose(1, 2);
    struct Case {
        const char *h, *m, *s;
        int outcome;
    };
    const std::vector<Case> cases = {
        {"0", "0", "0", 0},          {"00", "00", "01", 1},    {"0", "1", "0", 60},
        {"0", "1", "1", -1000},      {"99", "59", "59", -359939000},
        {"100", "0", "0", 0},        {"0", "60", "0", 0},      {"0", "0", "60", 0},
        {"", "0", "5", 0},           {"0", "", "5", 0},        {"0", "0", "", 0},
        {"-1", "0", "5", 0},         {"0", "-0", "5", 0},      {"07", "00", "00", -25140000},
        {"01", "00", "00", -3540000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.h) + ":" + c.m + ":" + c.s);
        SetCountdown(c.h, c.m, c.s);
        StartExpecting(c.outcome, StrErrCountdown);
    }
}

TEST_F(TriggerTest, TextThatIsNotWhollyANumberIsRejected) {
    Choose(2, 2);
    const std::string zeros(300, '0');
    struct Case {
        const char* name;
        std::string h, m, s;
        int outcome;
    };
    const std::vector<Case> cases = {
        {"letters after digits", "0", "0", "1a", 0},
        {"letters after digits in hours", "1x", "0", "5", 0},
        {"plus sign", "0", "0", "+5", 0},
        {"space", "0", "0", " 5", 0},
        {"20 digits", "12345678901234567890", "0", "5", 0},
        {"4294967301 wraps to 5", "0", "0", "4294967301", 0},
        {"300 zeros then 05", "0", "0", zeros + "05", 5},
        {"300 zeros then 100 hours", zeros + "100", "0", "0", 0},
        {"31 characters of 59", "0", std::string(29, '0') + "59", "0", -(59 * 60 - 60) * 1000},
        {"only zeros, 300 of them", zeros, zeros, zeros, 0},
        {"too long to read", "0", "0", std::string(2000, '0') + "5", 0},
        // Beside a minute, a field cut to what the buffer holds would read as a valid 0.
        {"too long to read, beside a minute", "0", "1", std::string(2000, '0') + "5", 0},
        {"511 characters, beside a minute", "0", "1", std::string(509, '0') + "05", 0},
        {"510 characters, beside a minute", "0", "1", std::string(508, '0') + "05", -5000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetCountdown(c.h, c.m, c.s);
        StartExpecting(c.outcome, StrErrCountdown);
    }
}

TEST_F(TriggerTest, TimeOfDayCountsToTheNextOccurrence) {
    IatPatch clock("kernel32.dll", "GetLocalTime", AsPatch(&FakeGetLocalTime));
    Choose(3, 3);
    struct Case {
        WORD hour, minute, second;
        const char *h, *m;
        int outcome;
    };
    const std::vector<Case> cases = {
        {7, 0, 0, "07", "00", -(86400 - 60) * 1000},  // the present second means tomorrow
        {6, 59, 30, "07", "00", 30},
        {6, 58, 59, "7", "0", -1000},
        {23, 59, 59, "00", "00", 1},
        {0, 0, 0, "23", "59", -(86340 - 60) * 1000},
        {12, 0, 0, "11", "59", -(86340 - 60) * 1000},
        {12, 0, 0, "24", "00", 0},
        {12, 0, 0, "23", "60", 0},
        {12, 0, 0, "", "00", 0},
        {12, 0, 0, "7a", "00", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.h) + ":" + c.m + " at " + std::to_string(c.hour) + ":" +
                     std::to_string(c.minute) + ":" + std::to_string(c.second));
        fakeNow = {};
        fakeNow.wHour = c.hour;
        fakeNow.wMinute = c.minute;
        fakeNow.wSecond = c.second;
        fakeNow.wMilliseconds = 999;
        SetField(IDC_AT_HOURS, c.h);
        SetField(IDC_AT_MINUTES, c.m);
        StartExpecting(c.outcome, StrErrTime);
    }
    fakeNow = {};
    fakeNow.wHour = 7;
    SetField(IDC_AT_HOURS, "07");
    SetField(IDC_AT_MINUTES, "00");
    EXPECT_EQ(SecondsUntilTimeOfDay(), 86400u);
}

TEST_F(TriggerTest, NowWarnsForTenSecondsWhateverWasSetBefore) {
    Choose(5, 1, true);
    app.warningSeconds = 33;
    SetCountdown("x", "", "");  // fields of other triggers are not read
    Start();
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(app.runState, RunState::Waiting);
    EXPECT_EQ(app.warningSeconds, 33u);
    EXPECT_EQ(app.action, ActionKind::Hibernate);
    EXPECT_EQ(app.forceClose, 1);
    EXPECT_EQ(app.trigger, TriggerKind::Now);
    EXPECT_FALSE(Signalled(app.cancelEvent));
    EXPECT_EQ(TakeTriggerFired(), 10);
}

TEST_F(TriggerTest, ChoicesChangedAfterStartDoNotReachTheArmedRun) {
    Choose(5, 1, true);
    Start();
    Choose(1, 2, false);
    ASSERT_TRUE(PumpUntil([] { return app.runState == RunState::Warning; }, 2000));
    EXPECT_EQ(WindowText(app.warningText), "Hibernate in 10 seconds.\r\n\r\nUse CANCEL to stop the action.");
    EXPECT_EQ(app.action, ActionKind::Hibernate);
    EXPECT_EQ(app.forceClose, 1);
}

TEST_F(TriggerTest, ChoicesComeFromTheRadioButtonsAndAMissingOneStopsSilently) {
    for (int action = 1; action <= 5; ++action)
        for (int trigger = 1; trigger <= 4; ++trigger) {
            Choose(action, trigger);
            EXPECT_EQ(ReadActionKind(), static_cast<ActionKind>(action));
            EXPECT_EQ(ReadTriggerKind(), static_cast<TriggerKind>(trigger));
        }
    Choose(2, 3);
    app.forceClose = 1;
    app.trigger = TriggerKind::Countdown;
    CheckDlgButton(app.mainWindow, IDC_TRIG_AT, BST_UNCHECKED);
    CheckDlgButton(app.mainWindow, IDC_TRIG_PROCESS, BST_UNCHECKED);
    Start();
    // No trigger: action and force are taken, nothing else happens.
    EXPECT_EQ(app.action, ActionKind::Restart);
    EXPECT_EQ(app.forceClose, 0);
    EXPECT_EQ(app.trigger, TriggerKind::Countdown);
    EXPECT_TRUE(Signalled(app.cancelEvent));
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(app.runState, RunState::Idle);

    for (int id = IDC_ACT_SHUTDOWN; id <= IDC_ACT_HIBERNATE; ++id) CheckDlgButton(app.mainWindow, id, BST_UNCHECKED);
    Choose(1, 1, true);
    CheckDlgButton(app.mainWindow, IDC_ACT_SHUTDOWN, BST_UNCHECKED);
    app.forceClose = 0;
    Start();
    // No action: nothing at all changes.
    EXPECT_EQ(app.action, ActionKind::Restart);
    EXPECT_EQ(app.forceClose, 0);
    EXPECT_TRUE(Signalled(app.cancelEvent));
    EXPECT_EQ(app.runState, RunState::Idle);
    EXPECT_EQ(TakeTriggerFired(), -1);
}

TEST_F(TriggerTest, ProcessTriggerNeedsASelectionAndAProcessThatStillRuns) {
    Choose(1, 4);
    SendMessageA(app.processList, CB_RESETCONTENT, 0, 0);
    Start();
    ExpectRejected(StrErrNoProcess);
    // A selection whose process id cannot be read: CB_GETITEMDATA answers CB_ERR.
    ListOnly(GetCurrentProcessId());
    SendMessageA(app.processList, CB_SETITEMDATA, 0, CB_ERR);
    Start();
    ExpectRejected(StrErrNoProcess);

    // A process that has ended since the list was filled. Its handle, held for the row,
    // keeps the id from passing to another process and the ended one openable.
    Sleeper ended(1);
    ASSERT_EQ(WaitForSingleObject(ended.info.hProcess, 5000), WAIT_OBJECT_0);
    ListOnly(ended.info.dwProcessId);
    Start();
    ExpectRejected(StrErrOpenProcess);
    // The entry's id now belongs to a running program of another name.
    Sleeper other;
    ListOnly(other.info.dwProcessId, "ended.exe");
    Start();
    ExpectRejected(StrErrOpenProcess);
}

TEST_F(TriggerTest, ProcessTriggerOpensForWaitingOnlyAndHandsTheHandleToTheThread) {
    IatPatch patch("kernel32.dll", "OpenProcess", AsPatch(&RecordOpenProcess));
    openProcessPatch = &patch;
    Sleeper child;
    ASSERT_NE(child.info.hProcess, nullptr);
    Choose(4, 4);
    ListOnly(child.info.dwProcessId);
    Start();
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(openedAccess, static_cast<DWORD>(SYNCHRONIZE));
    EXPECT_FALSE(openedInherit);
    EXPECT_EQ(app.runState, RunState::Waiting);
    EXPECT_NE(app.waitThread, nullptr);
    EXPECT_NE(app.monitoredProcess, nullptr);
    EXPECT_EQ(app.waitMode, WaitMode::ProcessExit);
    EXPECT_EQ(app.warningSeconds, 60u);
    EndRun();
    EXPECT_EQ(app.monitoredProcess, nullptr);
}

// The button's command reaches START only from Idle.
TEST_F(TriggerTest, TheStartCommandArmsOnlyWhileIdle) {
    SetField(IDC_AT_HOURS, "24");
    for (RunState state : {RunState::Waiting, RunState::Warning, RunState::Executing}) {
        app.runState = state;
        EXPECT_EQ(SendCommand(IDC_START), TRUE);
        EXPECT_EQ(app.runState, state);
    }
    EXPECT_TRUE(boxes.calls().empty());

    app.runState = RunState::Idle;
    SendCommand(IDC_START);
    ExpectRejected(StrErrTime);

    // Two hours ahead a thread always waits, whatever the time of day.
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    SetField(IDC_AT_HOURS, std::to_string((now.wHour + 2) % 24));
    SendCommand(IDC_START);
    EXPECT_EQ(app.runState, RunState::Waiting);
    EXPECT_NE(app.waitThread, nullptr);
    EXPECT_FALSE(IsWindowEnabled(app.startButton));
}

TEST_F(TriggerTest, AThreadThatCannotStartUndoesTheRun) {
    Sleeper child;
    ASSERT_NE(child.info.hProcess, nullptr);
    Choose(1, 4);
    ListOnly(child.info.dwProcessId);
    {
        IatPatch patch("kernel32.dll", "CreateThread", AsPatch(&FailCreateThread));
        Start();
    }
    ExpectState(RunState::Idle, StrStatusReady);
    EXPECT_EQ(app.monitoredProcess, nullptr);
    EXPECT_EQ(app.waitThread, nullptr);
    ExpectOneBox(boxes, Text(StrErrWaitThread), MB_ICONERROR);
}

TEST_F(TriggerTest, MessagesFollowTheCurrentLanguage) {
    CloseMainWindow();
    ASSERT_NE(OpenMainWindow(Frame::Skinned, Language::German), nullptr);
    Choose(1, 2);
    SetCountdown("0", "0", "0");
    Start();
    ExpectRejected(StrErrCountdown);
    EXPECT_EQ(boxes.calls()[0].text,
              "Bitte einen gueltigen Countdown eingeben (HH:MM:SS). Minuten und Sekunden muessen 0 bis 59 sein.");
}

}  // namespace
