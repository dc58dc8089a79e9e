// The main window inside the test process: its controls, its initial state, the
// keyboard, and the routing of its own commands. The engine's messages, STOP and
// closing during a run are the run states' (run_states_test), START's guard the
// trigger's (trigger_test).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/App.h"
#include "i18n/Strings.h"
#include "support/EngineHarness.h"
#include "support/IatPatch.h"
#include "support/MainWindowHarness.h"
#include "support/MainWindowLayout.h"
#include "support/MessageBoxRecorder.h"
#include "support/TestSupport.h"
#include "ui/main/MainWindow.h"

namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Field;

// The checked buttons among the ids first..last.
std::vector<int> CheckedAmong(int first, int last) {
    std::vector<int> checked;
    for (int id = first; id <= last; ++id)
        if (IsDlgButtonChecked(app.mainWindow, id) == BST_CHECKED) checked.push_back(id);
    return checked;
}
std::vector<int> CheckedActions() { return CheckedAmong(IDC_ACT_SHUTDOWN, IDC_FORCE); }
std::vector<int> CheckedTriggers() { return CheckedAmong(IDC_TRIG_NOW, IDC_TRIG_PROCESS); }

// The ids of the controls from `firstId` on, once round, as `next` steps through them.
std::vector<int> Walk(int firstId, HWND(WINAPI* next)(HWND, HWND, BOOL)) {
    std::vector<int> ids;
    HWND first = GetDlgItem(app.mainWindow, firstId);
    HWND control = first;
    do {
        ids.push_back(GetDlgCtrlID(control));
        control = next(app.mainWindow, control, FALSE);
    } while (control && control != first && ids.size() < 40);
    return ids;
}

std::string ItemText(int id) {
    char text[256] = {};
    GetDlgItemTextA(app.mainWindow, id, text, sizeof(text));
    return text;
}

struct CreationCall {
    DWORD extendedStyle;
    std::string className;
    DWORD style;
    int x, y, width, height;
    HWND parent;
    INT_PTR menu;
    HINSTANCE instance;
    LPVOID parameter;
};
std::vector<CreationCall> creationCalls;
IatPatch* creationPatch = nullptr;

typedef HWND(WINAPI* CreateWindowExAFn)(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE,
                                        LPVOID);

HWND WINAPI RecordingCreateWindowExA(DWORD extendedStyle, LPCSTR className, LPCSTR text, DWORD style, int x, int y,
                                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                     LPVOID parameter) {
    creationCalls.push_back({extendedStyle, className, style, x, y, width, height, parent,
                             reinterpret_cast<INT_PTR>(menu), instance, parameter});
    return creationPatch->originalAs<CreateWindowExAFn>()(extendedStyle, className, text, style, x, y, width, height,
                                                          parent, menu, instance, parameter);
}

class MainWindow : public MainWindowTest {
protected:
    MessageBoxRecorder boxes;
};

// The fields' first values (07:00, 01:00:00) and STOP greyed are the table's too.
TEST_F(MainWindow, SkinnedControlsMatchTheTableInBothLanguagesAndStartReady) {
    CloseMainWindow();
    HWND window = OpenMainWindow(Frame::Skinned, Language::English);
    ASSERT_TRUE(window);
    EXPECT_EQ(app.mainWindow, window);
    ExpectControlsAsInTable(window, EnglishStrings, 0);
    CloseMainWindow();

    window = OpenMainWindow(Frame::Skinned, Language::German);
    ASSERT_TRUE(window);
    ExpectControlsAsInTable(window, GermanStrings, 0);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_THAT(CheckedActions(), ElementsAre(IDC_ACT_SHUTDOWN));  // force close unchecked
    EXPECT_THAT(CheckedTriggers(), ElementsAre(IDC_TRIG_AT));
    EXPECT_EQ(ItemText(IDC_GROUP_ACTION), "Aktion");
    EXPECT_EQ(ItemText(IDC_GROUP_WHEN), "Wann?");
    EXPECT_EQ(ItemText(IDC_STATUS), "Bereit.");
    EXPECT_EQ(ItemText(IDC_STOP), "STOPP");

    EXPECT_TRUE(IsWindowEnabled(app.startButton));
    EXPECT_FALSE(IsWindowEnabled(app.stopButton));
    EXPECT_EQ(app.startButton, GetDlgItem(window, IDC_START));
    EXPECT_EQ(app.stopButton, GetDlgItem(window, IDC_STOP));
    EXPECT_EQ(app.statusLabel, GetDlgItem(window, IDC_STATUS));
    EXPECT_EQ(app.processList, GetDlgItem(window, IDC_PROCESS_LIST));
    EXPECT_EQ(app.guiFont, GetStockObject(DEFAULT_GUI_FONT));
    // The picker's own selection is no choice of the process trigger.
    EXPECT_GT(SendMessageA(app.processList, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageA(app.processList, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(GetFocus(), GetDlgItem(window, IDC_ACT_SHUTDOWN));
}

TEST_F(MainWindow, ControlsAreCreatedWithTheSizesOfTheTable) {
    CloseMainWindow();
    creationCalls.clear();
    HWND window = nullptr;
    {
        IatPatch recorder("user32.dll", "CreateWindowExA", AsPatch(&RecordingCreateWindowExA));
        creationPatch = &recorder;
        window = OpenMainWindow(Frame::Plain);
        creationPatch = nullptr;
    }
    ASSERT_TRUE(window);
    ASSERT_EQ(creationCalls.size(), std::size(MainLayout));
    for (size_t i = 0; i < creationCalls.size(); ++i) {
        const CreationCall& call = creationCalls[i];
        SCOPED_TRACE("control #" + std::to_string(i + 1));
        EXPECT_EQ(lstrcmpiA(call.className.c_str(), MainLayout[i].className), 0);
        EXPECT_EQ(call.style, MainLayout[i].style);
        EXPECT_EQ(call.extendedStyle, MainLayout[i].extendedStyle);
        EXPECT_EQ(call.x, MainLayout[i].x);
        EXPECT_EQ(call.y, MainLayout[i].y);  // before the plain frame's shift
        EXPECT_EQ(call.width, MainLayout[i].width);
        EXPECT_EQ(call.height, MainLayout[i].height);
        EXPECT_EQ(call.parent, window);
        EXPECT_EQ(call.menu, MainLayout[i].id);
        EXPECT_EQ(call.instance, GetModuleHandleA(nullptr));
        EXPECT_EQ(call.parameter, nullptr);
    }
}

TEST_F(MainWindow, PlainControlsSitTwentyPixelsHigher) {
    CloseMainWindow();
    HWND window = OpenMainWindow(Frame::Plain, Language::German);
    ASSERT_TRUE(window);
    ExpectControlsAsInTable(window, GermanStrings, -20);
    EXPECT_EQ(ClientRectOf(GetDlgItem(window, IDC_GROUP_ACTION)).top, 12);
    CloseMainWindow();

    window = OpenMainWindow(Frame::Plain, Language::English);
    ASSERT_TRUE(window);
    ExpectControlsAsInTable(window, EnglishStrings, -20);
    EXPECT_EQ(ItemText(IDC_STATUS), "Ready.");
    EXPECT_EQ(ItemText(IDC_STOP), "STOP");
}

TEST_F(MainWindow, SkinnedWindowIsTwentyPixelsTallerThanItsTemplateAndPlainKeepsItsSize) {
    RECT skinnedTemplate = TemplateWindowRect(IDD_MAIN_SKINNED);
    RECT plainTemplate = TemplateWindowRect(IDD_MAIN_PLAIN);

    HWND window = app.mainWindow;
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    EXPECT_EQ(bounds.left, skinnedTemplate.left);
    EXPECT_EQ(bounds.top, skinnedTemplate.top);
    EXPECT_EQ(bounds.right, skinnedTemplate.right);
    EXPECT_EQ(bounds.bottom, skinnedTemplate.bottom + 20);
    CloseMainWindow();

    window = OpenMainWindow(Frame::Plain);
    ASSERT_TRUE(window);
    GetWindowRect(window, &bounds);
    EXPECT_TRUE(EqualRect(&bounds, &plainTemplate));
}

TEST_F(MainWindow, TimeFieldsTakeOnlyDigitsWithoutLimit) {
    HWND field = GetDlgItem(app.mainWindow, IDC_CD_MINUTES);
    SetWindowTextA(field, "");
    for (char key : std::string("1a2-3 4567890123456789012345678901234567890")) SendMessageA(field, WM_CHAR, key, 0);
    EXPECT_EQ(WindowText(field), "1234567890123456789012345678901234567890");
}

TEST_F(MainWindow, TabWalksTheEnabledTabStopsInTableOrder) {
    // Checked radio button of each group, then the check box, fields, list and buttons.
    EXPECT_THAT(Walk(IDC_ACT_SHUTDOWN, GetNextDlgTabItem),
                ElementsAreArray({1001, 1006, 1201, 1202, 1203, 1103, 1211, 1212, 1221, 1222, 1302, 1304, 1305}));

    EnableWindow(app.stopButton, TRUE);
    EXPECT_EQ(GetNextDlgTabItem(app.mainWindow, GetDlgItem(app.mainWindow, IDC_START), FALSE), app.stopButton);
}

TEST_F(MainWindow, ArrowKeysStayInsideEachRadioGroup) {
    EXPECT_THAT(Walk(IDC_ACT_SHUTDOWN, GetNextDlgGroupItem), ElementsAre(1001, 1002, 1003, 1004, 1005, 1006, 1100));
    // The second group runs to the last control and, as the dialog manager wraps
    // around, on to the first control, up to the next WS_GROUP.
    EXPECT_THAT(Walk(IDC_TRIG_NOW, GetNextDlgGroupItem),
                ElementsAreArray({1101, 1102, 1201, 0, 1202, 0, 1203, 1103, 1211, 0, 1212, 1104, 1221, 1222, 1301,
                                  1302, 1304, 1305, 1000}));

    // An arrow key on the checked action moves the check to the next action.
    HWND shutDown = GetDlgItem(app.mainWindow, IDC_ACT_SHUTDOWN);
    SetFocus(shutDown);
    MSG key = {shutDown, WM_KEYDOWN, VK_DOWN, 0, 0, {0, 0}};
    EXPECT_TRUE(IsDialogMessageA(app.mainWindow, &key));
    PumpFor(20);
    EXPECT_THAT(CheckedActions(), ElementsAre(IDC_ACT_RESTART));
    EXPECT_THAT(CheckedTriggers(), ElementsAre(IDC_TRIG_AT));
}

TEST_F(MainWindow, AnswersTrueOnlyForItsSixCommands) {
    for (int id : {IDC_START, IDC_STOP, IDC_REFRESH, IDC_PROCESS_LIST, IDC_LANGUAGE, IDC_ABOUT})
        EXPECT_EQ(SendCommand(id), TRUE) << id;
    for (int id : {IDOK, IDCANCEL, IDC_ACT_SHUTDOWN, IDC_FORCE, IDC_TRIG_NOW, IDC_TRIG_PROCESS, IDC_CD_HOURS,
                   IDC_AT_MINUTES, IDC_STATUS, IDC_GROUP_ACTION, 0, 9999})
        EXPECT_EQ(SendCommand(id), FALSE) << id;
}

TEST_F(MainWindow, EscapeLeavesTheWindowOpenAndEnterPressesTheFocusedButton) {
    HWND radio = GetDlgItem(app.mainWindow, IDC_ACT_SHUTDOWN);
    SetFocus(radio);
    PostMessageA(radio, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(radio, WM_KEYDOWN, VK_RETURN, 0);
    PumpFor(50);
    EXPECT_TRUE(IsWindow(app.mainWindow));
    EXPECT_TRUE(boxes.calls().empty());

    HWND about = GetDlgItem(app.mainWindow, IDC_ABOUT);
    SendMessageA(app.mainWindow, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(about), TRUE);
    PostMessageA(about, WM_KEYDOWN, VK_RETURN, 0);
    PumpUntil([&] { return !boxes.calls().empty(); }, 1000);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].caption, Text(StrAboutTitle));
}

// In every run state the button stores the other language and relabels at once: each
// translated label, the title, the status line in its state's words; About speaks it.
TEST_F(MainWindow, LanguageButtonTogglesStoresAndRelabelsInEveryRunState) {
    SendCommand(IDC_ABOUT);
    const struct {
        RunState state;
        StringId status;
        const StringTable* strings;
        const char* stored;
    } presses[] = {{RunState::Idle, StrStatusReady, &GermanStrings, "de"},
                   {RunState::Waiting, StrStatusWaiting, &EnglishStrings, "en"},
                   {RunState::Executing, StrStatusExecuting, &GermanStrings, "de"},
                   {RunState::Warning, StrStatusWarning, &EnglishStrings, "en"},
                   {RunState::Warning, StrStatusWarning, &GermanStrings, "de"}};
    for (const auto& press : presses) {
        SCOPED_TRACE(testing::Message() << press.status << " " << press.stored);
        app.runState = press.state;
        if (press.state == RunState::Warning) OnTriggerFired(30);  // the real warning window opens
        ASSERT_EQ(app.warningWindow != nullptr, press.state == RunState::Warning);
        EXPECT_EQ(SendCommand(IDC_LANGUAGE), TRUE);
        EXPECT_EQ(StoredLanguage(), press.stored);
        ExpectTranslatedLabels(app.mainWindow, *press.strings);
        EXPECT_EQ(ItemText(IDC_STATUS), press.strings->entries[press.status]);
        EXPECT_EQ(ItemText(IDC_LANGUAGE), "DE | EN");
        EXPECT_EQ(WindowText(app.mainWindow), PRODUCT_TITLE);
        SendCommand(IDC_ABOUT);
    }
    CancelRun();

    auto aboutIn = [](const StringTable& strings) {
        return AllOf(Field(&RecordedMessageBox::owner, app.mainWindow),
                     Field(&RecordedMessageBox::text, strings.entries[StrAboutText]),
                     Field(&RecordedMessageBox::caption, strings.entries[StrAboutTitle]),
                     Field(&RecordedMessageBox::flags, static_cast<UINT>(MB_ICONINFORMATION)));
    };
    EXPECT_THAT(boxes.calls(), ElementsAre(aboutIn(EnglishStrings), aboutIn(GermanStrings), aboutIn(EnglishStrings),
                                           aboutIn(GermanStrings), aboutIn(EnglishStrings), aboutIn(GermanStrings)));
}

// A stand-in entry that only a refresh removes.
const char Marker[] = "zz marker entry";

TEST_F(MainWindow, RefreshActsOnlyWhileIdle) {
    for (RunState state : {RunState::Waiting, RunState::Warning, RunState::Executing}) {
        app.runState = state;
        LRESULT index = SendMessageA(app.processList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Marker));
        SendMessageA(app.processList, CB_SETCURSEL, index, 0);
        EXPECT_EQ(SendCommand(IDC_REFRESH), TRUE);
        EXPECT_EQ(SendMessageA(app.processList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(Marker)),
                  index);
        EXPECT_EQ(SendMessageA(app.processList, CB_GETCURSEL, 0, 0), index);
    }
    app.runState = RunState::Idle;
    SendCommand(IDC_REFRESH);
    EXPECT_EQ(SendMessageA(app.processList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(Marker)),
              CB_ERR);
    EXPECT_EQ(SendMessageA(app.processList, CB_GETCURSEL, 0, 0), 0);
    EXPECT_THAT(CheckedTriggers(), ElementsAre(IDC_TRIG_AT));
}

TEST_F(MainWindow, ChoosingAProcessWhileIdleSelectsTheProcessTrigger) {
    SendMessageA(app.processList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Marker));

    // Only a changed selection counts, and only while nothing is armed.
    SendCommand(IDC_PROCESS_LIST, CBN_DROPDOWN);
    SendCommand(IDC_PROCESS_LIST, CBN_CLOSEUP);
    SendCommand(IDC_PROCESS_LIST, CBN_SELENDOK);
    EXPECT_THAT(CheckedTriggers(), ElementsAre(IDC_TRIG_AT));
    for (RunState state : {RunState::Waiting, RunState::Warning, RunState::Executing}) {
        app.runState = state;
        SendCommand(IDC_PROCESS_LIST, CBN_SELCHANGE);
        EXPECT_THAT(CheckedTriggers(), ElementsAre(IDC_TRIG_AT));
    }
    app.runState = RunState::Idle;

    // A real selection by keyboard in the list.
    HWND list = app.processList;
    SetFocus(list);
    SendMessageA(list, CB_SETCURSEL, 0, 0);
    MSG key = {list, WM_KEYDOWN, VK_END, 0, 0, {0, 0}};
    if (!IsDialogMessageA(app.mainWindow, &key)) DispatchMessageA(&key);
    PumpFor(20);
    EXPECT_NE(SendMessageA(list, CB_GETCURSEL, 0, 0), 0);
    EXPECT_THAT(CheckedTriggers(), ElementsAre(IDC_TRIG_PROCESS));
}

TEST_F(MainWindow, CloseDestroysTheWindowAndPostsQuit) {
    HWND window = app.mainWindow;
    EXPECT_EQ(MainDialogProc(window, WM_CLOSE, 0, 0), TRUE);
    EXPECT_FALSE(IsWindow(window));
    MSG quit;
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

TEST_F(MainWindow, PlainFrameLeavesPaintingAndMouseToTheDialogManager) {
    CloseMainWindow();
    ASSERT_TRUE(OpenMainWindow(Frame::Plain));
    RECT before = {};
    GetWindowRect(app.mainWindow, &before);
    for (UINT message : {WM_PAINT, WM_ERASEBKGND, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN})
        EXPECT_EQ(MainDialogProc(app.mainWindow, message, 0, MAKELPARAM(40, 10)), FALSE) << message;
    // Clicks where the drawn title bar would be, and on the background.
    for (LPARAM at : {MAKELPARAM(40, 10), MAKELPARAM(10, 10), MAKELPARAM(530, 10), MAKELPARAM(530, 380)}) {
        SendMessageA(app.mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(app.mainWindow, WM_LBUTTONUP, 0, at);
        SendMessageA(app.mainWindow, WM_RBUTTONDOWN, MK_RBUTTON, at);
    }
    PumpFor(50);
    RECT after = {};
    GetWindowRect(app.mainWindow, &after);
    EXPECT_TRUE(IsWindow(app.mainWindow));
    EXPECT_TRUE(IsWindowVisible(app.mainWindow));
    EXPECT_TRUE(EqualRect(&before, &after));
}

TEST_F(MainWindow, UnknownTimersAndMessagesAreHarmless) {
    EXPECT_EQ(MainDialogProc(app.mainWindow, WM_TIMER, TIMER_COUNTDOWN, 0), TRUE);
    EXPECT_EQ(app.runState, RunState::Idle);
    EXPECT_EQ(MainDialogProc(app.mainWindow, WM_APP + 3, 0, 0), FALSE);
    EXPECT_EQ(MainDialogProc(app.mainWindow, WM_MOUSEMOVE, 0, 0), FALSE);
}

// Controls that cannot be created leave a window whose commands do nothing.
HWND WINAPI FailingCreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

TEST_F(MainWindow, MissingControlsMakeTheirMessagesNoOps) {
    CloseMainWindow();
    HWND window = nullptr;
    {
        IatPatch noControls("user32.dll", "CreateWindowExA", AsPatch(&FailingCreateWindowExA));
        window = OpenMainWindow(Frame::Plain);
    }
    ASSERT_TRUE(window);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr);
    EXPECT_EQ(app.processList, nullptr);
    EXPECT_EQ(app.stopButton, nullptr);
    for (int id : {IDC_REFRESH, IDC_PROCESS_LIST, IDC_LANGUAGE, IDC_STOP}) EXPECT_EQ(SendCommand(id), TRUE);
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(StoredLanguage(), "de");
}

}  // namespace
