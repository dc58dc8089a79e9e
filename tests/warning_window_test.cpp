// The warning window as the run states open it: its look, its text each second, the
// ways to cancel it (and the one that must not), and a language switch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Engine.h"
#include "i18n/Strings.h"
#include "support/EngineHarness.h"
#include "support/IatPatch.h"
#include "support/MainWindowHarness.h"
#include "support/MessageBoxRecorder.h"
#include "support/TestSupport.h"
#include "support/Version.h"

namespace {

std::vector<UINT> beeps;
BOOL WINAPI RecordMessageBeep(UINT type) {
    beeps.push_back(type);
    return TRUE;
}

int actions = 0;
BOOL WINAPI CountExitWindowsEx(UINT, DWORD) {
    ++actions;
    return TRUE;
}

HWND WINAPI FailCreateDialogParamA(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM) { return nullptr; }

class WarningWindowTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        beeps.clear();
        actions = 0;
    }

    std::string Message() { return WindowText(GetDlgItem(app.warningWindow, IDC_WARN_TEXT)); }

    void ExpectCancelled() {
        ExpectState(RunState::Idle, StrStatusCancelled);
        EXPECT_EQ(app.warningWindow, nullptr);
        EXPECT_EQ(app.warningText, nullptr);
        ExpectCountdownStopped();
        EXPECT_EQ(actions, 0);
    }

    IatPatch beepPatch{"user32.dll", "MessageBeep", AsPatch(&RecordMessageBeep)};
    IatPatch exitPatch{"user32.dll", "ExitWindowsEx", AsPatch(&CountExitWindowsEx)};
    MessageBoxRecorder boxes;
};

TEST_F(WarningWindowTest, OpensTopMostWithOneBeepAndItsTwoControls) {
    OpenWarning(ActionKind::ShutDown, 60);
    HWND window = app.warningWindow;
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetWindow(window, GW_OWNER), app.mainWindow);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(WindowText(window), TEST_PRODUCT_TITLE " - Warning");
    EXPECT_EQ(beeps, std::vector<UINT>({MB_ICONEXCLAMATION}));

    HWND text = GetDlgItem(window, IDC_WARN_TEXT);
    HWND cancel = GetDlgItem(window, IDC_WARN_CANCEL);
    ASSERT_NE(text, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(text, app.warningText);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(text, GWL_STYLE)), 0x50000000u);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(cancel, GWL_STYLE)) & ~static_cast<DWORD>(BS_DEFPUSHBUTTON),
              0x50018000u);
    RECT t = ClientRectOf(text), c = ClientRectOf(cancel);
    EXPECT_EQ(std::vector<LONG>({t.left, t.top, t.right - t.left, t.bottom - t.top}),
              std::vector<LONG>({18, 20, 330, 58}));
    EXPECT_EQ(std::vector<LONG>({c.left, c.top, c.right - c.left, c.bottom - c.top}),
              std::vector<LONG>({92, 88, 180, 36}));
    EXPECT_EQ(WindowText(cancel), "CANCEL");
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(text, WM_GETFONT, 0, 0)), app.guiFont);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(cancel, WM_GETFONT, 0, 0)), app.guiFont);
    EXPECT_EQ(Message(), "Shut down in 60 seconds.\r\n\r\nUse CANCEL to stop the action.");
}

TEST_F(WarningWindowTest, TextCountsDownEachTickAndNamesTheAction) {
    OpenWarning(ActionKind::Standby, 3);
    EXPECT_EQ(Message(), "Standby in 3 seconds.\r\n\r\nUse CANCEL to stop the action.");
    OnCountdownTick();
    EXPECT_EQ(Message(), "Standby in 2 seconds.\r\n\r\nUse CANCEL to stop the action.");
    OnCountdownTick();
    EXPECT_EQ(Message(), "Standby in 1 seconds.\r\n\r\nUse CANCEL to stop the action.");
    // A second trigger during the warning restarts the count in the same window.
    HWND window = app.warningWindow;
    OnTriggerFired(5);
    EXPECT_EQ(app.warningWindow, window);
    EXPECT_EQ(Message(), "Standby in 5 seconds.\r\n\r\nUse CANCEL to stop the action.");
    EXPECT_EQ(beeps.size(), 1u) << "the window is reused, not opened again";

    const std::pair<int, const char*> nouns[] = {{0, "Shut down"}, {1, "Shut down"}, {2, "Restart"},
                                                 {3, "Log off"},   {4, "Standby"},   {5, "Hibernate"},
                                                 {6, "Shut down"}, {-1, "Shut down"}};
    for (const auto& noun : nouns) {
        app.action = static_cast<ActionKind>(noun.first);
        EXPECT_STREQ(WarningNoun(), noun.second);
    }
}

TEST_F(WarningWindowTest, CancelButtonCloseBoxAndAltF4EachCancel) {
    for (auto cancel : {+[] { SendMessageA(GetDlgItem(app.warningWindow, IDC_WARN_CANCEL), BM_CLICK, 0, 0); },
                        +[] { SendMessageA(app.warningWindow, WM_SYSCOMMAND, SC_CLOSE, 0); },
                        +[] { SendMessageA(app.warningWindow, WM_CLOSE, 0, 0); }}) {
        OpenWarning(ActionKind::ShutDown, 60);
        cancel();
        ExpectCancelled();
    }

    OpenWarning(ActionKind::ShutDown, 60);
    HWND window = app.warningWindow;
    SetForegroundWindow(window);
    PostMessageA(window, WM_SYSKEYDOWN, VK_F4, 0x20000000);
    PostMessageA(window, WM_SYSKEYUP, VK_F4, 0xE0000000);
    PumpUntil([] { return app.runState == RunState::Idle; }, 1000);
    ExpectCancelled();
}

TEST_F(WarningWindowTest, EscapeAndOtherCommandsDoNotCancel) {
    OpenWarning(ActionKind::ShutDown, 60);
    HWND window = app.warningWindow;
    SetForegroundWindow(window);
    SetFocus(GetDlgItem(window, IDC_WARN_CANCEL));
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(GetFocus(), WM_KEYUP, VK_ESCAPE, 0xC0000001);
    PumpFor(100);
    EXPECT_FALSE(SendMessageA(window, WM_COMMAND, IDCANCEL, 0));
    EXPECT_FALSE(SendMessageA(window, WM_COMMAND, IDOK, 0));
    EXPECT_EQ(app.runState, RunState::Warning);
    EXPECT_EQ(app.warningWindow, window);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(WarningWindowTest, LanguageSwitchRewritesEverythingAtOnce) {
    OpenWarning(ActionKind::Hibernate, 42);
    for (const StringTable* table : {&GermanStrings, &EnglishStrings}) {
        SendCommand(IDC_LANGUAGE);
        SCOPED_TRACE(table == &GermanStrings ? "to German" : "to English");
        // Every translated label of the main window and its status line:
        // MainWindow.LanguageButtonTogglesStoresAndRelabelsInEveryRunState.
        EXPECT_EQ(WindowText(GetDlgItem(app.warningWindow, IDC_WARN_CANCEL)), table->entries[StrCancel]);
        EXPECT_EQ(WindowText(app.warningWindow), table->entries[StrWarningTitle]);
    }
    SendCommand(IDC_LANGUAGE);
    EXPECT_EQ(WindowText(app.warningWindow), TEST_PRODUCT_TITLE " - Warnung");
    EXPECT_EQ(WindowText(GetDlgItem(app.warningWindow, IDC_WARN_CANCEL)), "ABBRECHEN");
    EXPECT_EQ(Message(), "Ruhezustand in 42 Sekunden.\r\n\r\nMit ABBRECHEN kann die Aktion gestoppt werden.");
    SendCommand(IDC_LANGUAGE);
    EXPECT_EQ(Message(), "Hibernate in 42 seconds.\r\n\r\nUse CANCEL to stop the action.");
    SendCommand(IDC_STOP);
    ExpectCountdownStopped();
}

TEST_F(WarningWindowTest, CountdownRunsEvenWithoutItsWindow) {
    auto openWithoutWindow = [] {
        IatPatch patch("user32.dll", "CreateDialogParamA", AsPatch(&FailCreateDialogParamA));
        OpenWarning(ActionKind::LogOff, 2);
    };
    openWithoutWindow();
    EXPECT_EQ(app.warningWindow, nullptr);
    ExpectState(RunState::Warning, StrStatusWarning);
    UpdateWarningText();  // nothing to write to
    OnCountdownTick();
    OnCountdownTick();
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(app.runState, RunState::Idle);
    ExpectCountdownStopped();

    openWithoutWindow();
    SendCommand(IDC_STOP);
    ExpectState(RunState::Idle, StrStatusCancelled);
    ExpectCountdownStopped();
    OnCountdownTick();
    EXPECT_EQ(actions, 1);
}

}  // namespace
