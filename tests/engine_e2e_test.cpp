// The real Dormivex.exe driven from this process under Wine's relay trace: START to
// the power call, every way to cancel, closing while armed, and a rejected START.
// Standby and hibernate are Wine stubs, so these runs never end the session; the
// session-ending actions are in the isolated test. Scenarios run side by side, each
// in its own program, to keep the ten-second warnings from adding up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/Processes.h"
#include "support/RelayTrace.h"
#include "support/RemoteDrive.h"
#include "support/TestSupport.h"
#include "support/Version.h"

namespace {

const char WarningCaption[] = TEST_PRODUCT_TITLE " - Warning";

class EngineEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_UNLESS_WINE("runs the real program to real power calls and reads Wine's relay trace");
        DeleteSettingsKey();
        SetRelayInclude(ENGINE_RELAY_INCLUDE);
    }
    void TearDown() override { ClearRelayInclude(); }
};

void RunSideBySide(const std::vector<std::function<void()>>& scenarios) {
    std::vector<std::thread> threads;
    for (const auto& scenario : scenarios) threads.emplace_back(scenario);
    for (std::thread& thread : threads) thread.join();
}

// Polls every 50 ms: the traces are read whole, by a dozen threads side by side.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) { return PollUntil(done, timeoutMs, 50); }

// The main window's status showed `first` and, later, `then`.
void ExpectStatusThen(const TracedProgram& traced, const std::string& first, const std::string& then) {
    std::vector<std::string> texts = traced.statusTexts();
    auto at = std::find(texts.begin(), texts.end(), first);
    ASSERT_NE(at, texts.end()) << first;
    EXPECT_NE(std::find(at + 1, texts.end(), then), texts.end()) << then << " after " << first;
}

// The warning's sentences as the trace shows them, timed by the program's own clock.
std::vector<TraceCall> Sentences(const TracedProgram& traced) {
    return WarningSentences(traced.calls("user32.SetWindowTextA"));
}

// When the program first set the text, by its own clock; -1 when it never did.
double TimeOfText(const TracedProgram& traced, const std::string& text) {
    for (const TraceCall& call : traced.calls("user32.SetWindowTextA"))
        if (TextArg(call) == text) return call.ms;
    return -1;
}

// A program with action, force and a countdown (HH MM SS) armed: STOP is enabled.
void ArmCountdown(TracedProgram& traced, const std::string& name, int action, bool force, const char* hours,
                  const char* minutes, const char* seconds) {
    ASSERT_TRUE(traced.start(name));
    HWND main = traced.program.mainWindow;
    RemoteChoose(main, action, force, 2);
    RemoteCountdown(main, hours, minutes, seconds);
    RemotePress(main, IDC_START);
    ASSERT_TRUE(WaitForStopEnabled(main, true, 3000));
}

// A suspend action on Now (1) or a ten-second countdown (2), both warning at once: one
// SetSuspendState(hibernate, force, FALSE) ten seconds on, no privilege step, "Ready." again.
void SuspendsAfterTenSeconds(int action, bool force, int trigger = 1) {
    std::string name = "suspend-" + std::to_string(action * 100 + force * 10 + trigger);
    SCOPED_TRACE(name);
    TracedProgram traced;
    ASSERT_TRUE(traced.start(name));
    HWND main = traced.program.mainWindow;
    RemoteChoose(main, action, force, trigger);
    RemoteCountdown(main, "0", "0", "10");  // read by the countdown alone
    double started = GetTickCount();
    RemotePress(main, IDC_START);
    ASSERT_TRUE(WaitFor([&] { return !traced.calls("powrprof.SetSuspendState").empty(); }, 30000));
    std::vector<TraceCall> calls = traced.calls("powrprof.SetSuspendState");
    ASSERT_EQ(calls.size(), 1u);
    ExpectCountdownThenAction(Sentences(traced), started,
                              action == 4 ? "Standby in 10 seconds." : "Hibernate in 10 seconds.", 10, calls[0]);
    EXPECT_THAT(LowBytes(calls[0]), ::testing::ElementsAre(action == 5 ? 1u : 0u, force ? 1u : 0u, 0u));
    EXPECT_TRUE(traced.calls("user32.ExitWindowsEx").empty());
    EXPECT_TRUE(traced.calls("advapi32.AdjustTokenPrivileges").empty());
    ASSERT_TRUE(WaitFor([&] { return RemoteStatus(main) == "Ready."; }, 3000));
    ExpectStatusThen(traced, "Executing action ...", "Ready.");
    EXPECT_EQ(traced.program.close(), 0u);
}

// Now, then one way of cancelling the warning once it is up; nothing is called.
void NowCancelled(const std::string& name, const std::function<void(HWND main, HWND warning)>& cancel) {
    SCOPED_TRACE(name);
    TracedProgram traced;
    ASSERT_TRUE(traced.start("cancel-" + name));
    HWND main = traced.program.mainWindow;
    RemoteChoose(main, 4, true, 1);
    RemotePress(main, IDC_START);
    HWND warning = FindProcessWindow(traced.program.info.dwProcessId, "#32770", WarningCaption, 3000);
    ASSERT_NE(warning, nullptr);
    // Cancelled once its countdown runs: the first tick has come.
    ASSERT_TRUE(WaitFor([&] { return RemoteText(GetDlgItem(warning, IDC_WARN_TEXT)).rfind("Standby in 9 ", 0) == 0; },
                        3000));
    cancel(main, warning);
    ASSERT_TRUE(WaitFor([&] { return RemoteStatus(main) == "Cancelled."; }, 3000));
    EXPECT_FALSE(IsWindow(warning));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(main, IDC_START)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_STOP)));
    // A second past the moment the action would have come (the trace's clock is this
    // session's tick count), for its tick, and past every message posted by then.
    std::vector<TraceCall> sentences = Sentences(traced);
    ASSERT_FALSE(sentences.empty());
    while (GetTickCount() < sentences.front().ms + 11000) Sleep(100);
    EXPECT_TRUE(RemoteSettle(main));
    EXPECT_FALSE(traced.anyPowerCall());
    EXPECT_EQ(RemoteStatus(main), "Cancelled.");
    EXPECT_EQ(traced.program.close(), 0u);
}

// A countdown of an hour, then STOP: "Stopping ..." and then "Cancelled.".
void StopWhileWaiting() {
    SCOPED_TRACE("stop while waiting");
    TracedProgram traced;
    ASSERT_NO_FATAL_FAILURE(ArmCountdown(traced, "stop-waiting", 1, true, "1", "0", "0"));
    HWND main = traced.program.mainWindow;
    EXPECT_EQ(RemoteStatus(main), "Waiting for the selected trigger ...");
    RemotePress(main, IDC_STOP);
    ASSERT_TRUE(WaitFor([&] { return RemoteStatus(main) == "Cancelled."; }, 3000));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(main, IDC_START)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_STOP)));
    ExpectStatusThen(traced, "Stopping ...", "Cancelled.");
    EXPECT_FALSE(traced.anyPowerCall());
    EXPECT_EQ(traced.program.close(), 0u);
}

double Ms(const FILETIME& time) { return (ULONGLONG{time.dwHighDateTime} << 32 | time.dwLowDateTime) / 1e4; }

// Closing the main window while a countdown waits ends the program at once: from
// WM_CLOSE to the end Wine records (which no late wake-up of this test stretches),
// and from the close's "Stopping ..." to its ExitProcess, by the program's clock.
void CloseWhileWaiting() {
    SCOPED_TRACE("close while waiting");
    TracedProgram traced;
    ASSERT_NO_FATAL_FAILURE(ArmCountdown(traced, "close-waiting", 1, true, "0", "1", "5"));
    FILETIME closed, created, ended, kernel, user;
    GetSystemTimeAsFileTime(&closed);
    EXPECT_EQ(traced.program.close(), 0u);
    ASSERT_TRUE(GetProcessTimes(traced.program.info.hProcess, &created, &ended, &kernel, &user));
    EXPECT_LE(Ms(ended) - Ms(closed), 3000.0) << "the process ends at once";
    double stopping = TimeOfText(traced, "Stopping ...");
    std::vector<TraceCall> exits = traced.calls(EXIT_PROCESS_CALL);
    ASSERT_GE(stopping, 0);
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_LE(exits[0].ms - stopping, 3000.0);
    EXPECT_FALSE(traced.anyPowerCall());
}

// Text pasted into a number field: rejected with the field's message, nothing armed.
void PastedTextIsRejected() {
    SCOPED_TRACE("pasted text");
    TracedProgram traced;
    ASSERT_TRUE(traced.start("pasted"));
    HWND main = traced.program.mainWindow;
    RemoteChoose(main, 4, false, 2);
    RemoteCountdown(main, "0", "0", "1a");
    RemotePress(main, IDC_START);
    HWND box = FindOwnedDialog(traced.program.info.dwProcessId, main, 3000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(WindowText(box), PRODUCT_TITLE);
    EXPECT_EQ(MessageBoxText(box),
              "Please enter a valid countdown (HH:MM:SS). Minutes and seconds must be 0 to 59.");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_STOP)));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, 3000));
    // START is done with: a run it armed would show now.
    ASSERT_TRUE(RemoteSettle(main));
    EXPECT_EQ(RemoteStatus(main), "Ready.");
    EXPECT_FALSE(traced.anyPowerCall());
    EXPECT_EQ(traced.program.close(), 0u);
}

TEST_F(EngineEndToEnd, NowRunsEachSuspendActionAndEveryCancelStopsIt) {
    RunSideBySide({
        [] { SuspendsAfterTenSeconds(4, false); },
        [] { SuspendsAfterTenSeconds(4, true); },
        [] { SuspendsAfterTenSeconds(5, false); },
        [] { SuspendsAfterTenSeconds(5, true, 2); },
        [] {
            NowCancelled("button", [](HWND, HWND warning) { RemotePress(warning, IDC_WARN_CANCEL); });
        },
        [] {
            NowCancelled("close box", [](HWND, HWND warning) { PostMessageA(warning, WM_SYSCOMMAND, SC_CLOSE, 0); });
        },
        [] { NowCancelled("stop", [](HWND main, HWND) { RemotePress(main, IDC_STOP); }); },
        StopWhileWaiting,
        CloseWhileWaiting,
        PastedTextIsRejected,
    });
}

// The two runs that take a full minute of warning, side by side: a countdown of
// 00:01:05 through its silent wait, and the exit of a watched process.
TEST_F(EngineEndToEnd, CountdownAndProcessExitRunTheActionAfterTheirMinuteOfWarning) {
    RunSideBySide({
        [] {
            SCOPED_TRACE("countdown 00:01:05");
            TracedProgram traced;
            ASSERT_NO_FATAL_FAILURE(ArmCountdown(traced, "countdown", 4, false, "00", "01", "05"));
            HWND main = traced.program.mainWindow;
            DWORD pid = traced.program.info.dwProcessId;
            // Silent for five seconds, then the warning with the full minute.
            Sleep(3000);
            EXPECT_EQ(FindProcessWindow(pid, "#32770", WarningCaption, 0), nullptr);
            EXPECT_EQ(RemoteStatus(main), "Waiting for the selected trigger ...");
            ASSERT_NE(FindProcessWindow(pid, "#32770", WarningCaption, 30000), nullptr);
            EXPECT_EQ(RemoteStatus(main), "Warning active - STOP can cancel the action.");
            ASSERT_TRUE(WaitFor([&] { return traced.anyPowerCall(); }, 90000));
            std::vector<TraceCall> calls = traced.calls("powrprof.SetSuspendState");
            ASSERT_EQ(calls.size(), 1u);
            // The silent part, five seconds from "Waiting ..." to the first sentence.
            double waiting = TimeOfText(traced, "Waiting for the selected trigger ...");
            ASSERT_GE(waiting, 0);
            ExpectCountdownThenAction(Sentences(traced), waiting + 5000,
                                      "Standby in 60 seconds.\\r\\n\\r\\nUse CANCEL to stop the action.", 60, calls[0]);
            EXPECT_GE(Sentences(traced).front().ms - waiting, 4900.0);
            EXPECT_THAT(LowBytes(calls[0]), ::testing::ElementsAre(0u, 0u, 0u));
            EXPECT_EQ(traced.program.close(), 0u);
        },
        [] {
            SCOPED_TRACE("process exit");
            Sleeper child;
            ASSERT_NE(child.info.hProcess, nullptr);
            TracedProgram traced;
            ASSERT_TRUE(traced.start("process-exit"));
            HWND main = traced.program.mainWindow;
            RemotePress(main, IDC_REFRESH);
            ASSERT_TRUE(WaitFor([&] { return RemoteSelectProcess(main, child.info.dwProcessId); }, 3000));
            RemoteChoose(main, 5, true, 4);
            RemotePress(main, IDC_START);
            ASSERT_TRUE(WaitForStopEnabled(main, true, 3000));
            DWORD pid = traced.program.info.dwProcessId;
            Sleep(2000);
            EXPECT_EQ(FindProcessWindow(pid, "#32770", WarningCaption, 0), nullptr);
            TerminateProcess(child.info.hProcess, 0);
            DWORD exited = GetTickCount();
            HWND warning = FindProcessWindow(pid, "#32770", WarningCaption, 3000);
            ASSERT_NE(warning, nullptr);
            ASSERT_TRUE(WaitFor([&] { return traced.anyPowerCall(); }, 90000));
            std::vector<TraceCall> calls = traced.calls("powrprof.SetSuspendState");
            ASSERT_EQ(calls.size(), 1u);
            ExpectCountdownThenAction(Sentences(traced), exited, "Hibernate in 60 seconds.\\r", 60, calls[0]);
            EXPECT_THAT(LowBytes(calls[0]), ::testing::ElementsAre(1u, 1u, 0u));
            EXPECT_EQ(traced.program.close(), 0u);
        },
    });
}

}  // namespace
