// The real program's main window, driven from outside as a user would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/App.h"
#include "i18n/Strings.h"
#include "support/MainWindowLayout.h"
#include "support/Processes.h"
#include "support/RemoteDrive.h"
#include "support/TestSupport.h"
#include "support/Version.h"

namespace {

std::string ItemText(HWND window, int id) { return WindowText(GetDlgItem(window, id)); }

// Client sizes as Windows gives them at 96 dpi, and Wine with the fonts of fonts-wine:
// MS Sans Serif 8 has base units 6 x 13, and the dialog manager maps x * 6 / 4 and
// y * 13 / 8 with MulDiv, which rounds. The main window's 360 x 265 units give
// 540 x 431 (430.625); the warning's 240 x 105 units give 360 x 171 (170.625).
const SIZE MainClient = {540, 431};
const SIZE WarningClient = {360, 171};
const int BandHeight = 20;

SIZE ClientSize(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

SIZE WindowSize(HWND window) {
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

// The main window measures its template, and its client area the template's units in
// pixels, each with the band above the controls (0 without the skin) added.
void ExpectMainWindowSize(HWND window, int templateId, int band) {
    RECT bare = TemplateWindowRect(templateId);
    SIZE size = WindowSize(window), client = ClientSize(window);
    EXPECT_EQ(size.cx, bare.right - bare.left);
    EXPECT_EQ(size.cy, bare.bottom - bare.top + band);
    EXPECT_EQ(client.cx, MainClient.cx);
    EXPECT_EQ(client.cy, MainClient.cy + band);
}

// Presses the about button and reads the box the program opens, then closes it.
void ExpectAboutBox(ChildProgram& program, const StringTable& strings) {
    RemotePress(program.mainWindow, IDC_ABOUT);
    HWND box = FindProcessWindow(program.info.dwProcessId, "#32770", strings.entries[StrAboutTitle], 5000);
    ASSERT_TRUE(box);
    // The box's text, as a user reads it: CR LF pairs come back as they were given.
    EXPECT_EQ(MessageBoxText(box), strings.entries[StrAboutText]);
    EXPECT_EQ(GetWindow(box, GW_OWNER), program.mainWindow);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 5000));
}

class MainWindowEndToEnd : public testing::Test {
protected:
    void TearDown() override { DeleteSettingsKey(); }
    // Stores the settings (none without a language) and starts the program; `window`
    // is its main window.
    void Start(const char* language, DWORD noSkin) {
        DeleteSettingsKey();
        if (language) {
            StoreSetting("Language", REG_SZ, language, 3);
            StoreSetting("NoSkin", REG_DWORD, &noSkin, sizeof(noSkin));
        }
        ASSERT_TRUE(program.start());
        window = program.mainWindow;
    }
    ChildProgram program;
    HWND window = nullptr;
};

TEST_F(MainWindowEndToEnd, SkinnedWindowShowsTheTableAndClosesWithZero) {
    ASSERT_NO_FATAL_FAILURE(Start("en", 0));

    ExpectControlsAsInTable(window, EnglishStrings, 0);
    ExpectMainWindowSize(window, IDD_MAIN_SKINNED, BandHeight);
    EXPECT_EQ(ItemText(window, IDC_STATUS), "Ready.");
    EXPECT_EQ(ItemText(window, IDC_GROUP_ACTION), "Action");
    EXPECT_EQ(ItemText(window, IDC_LANGUAGE), "DE | EN");
    EXPECT_EQ(SendMessageA(GetDlgItem(window, IDC_ACT_SHUTDOWN), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(GetDlgItem(window, IDC_TRIG_AT), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_STOP)));

    // Escape is no way to close the window.
    PostMessageA(GetDlgItem(window, IDC_ACT_SHUTDOWN), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(GetDlgItem(window, IDC_ACT_SHUTDOWN), WM_KEYUP, VK_ESCAPE, 0xC0010001);
    EXPECT_TRUE(RemoteSettle(window));
    EXPECT_EQ(program.waitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(IsWindowVisible(window));

    // Standby (4), not forced, on a countdown (2): under Wine, whose suspend is a stub,
    // 30 s open the warning at once; on Windows an hour waits, which not even a program
    // that cut the warning short could act on within the child's lifetime.
    const bool wine = RunningUnderWine();
    RemoteChoose(window, 4, false, 2);
    RemoteCountdown(window, wine ? "0" : "1", "0", wine ? "30" : "0");
    RemotePress(window, IDC_START);
    if (wine) {
        HWND warning = FindProcessWindow(program.info.dwProcessId, "#32770", TEST_PRODUCT_TITLE " - Warning", 5000);
        ASSERT_TRUE(warning);
        EXPECT_EQ(ClientSize(warning).cx, WarningClient.cx);
        EXPECT_EQ(ClientSize(warning).cy, WarningClient.cy);
        RemotePress(warning, IDC_WARN_CANCEL);
    } else {
        ASSERT_TRUE(WaitForStopEnabled(window, true, 5000));
        EXPECT_EQ(ItemText(window, IDC_STATUS), "Waiting for the selected trigger ...");
        RemotePress(window, IDC_STOP);
    }
    EXPECT_TRUE(WaitForStopEnabled(window, false, 5000));
    EXPECT_EQ(ItemText(window, IDC_STATUS), "Cancelled.");
    EXPECT_EQ(program.close(), 0u);
}

TEST_F(MainWindowEndToEnd, PlainWindowMovesEveryControlUpAndIgnoresClicks) {
    ASSERT_NO_FATAL_FAILURE(Start("de", 1));

    ExpectControlsAsInTable(window, GermanStrings, -BandHeight);
    ExpectMainWindowSize(window, IDD_MAIN_PLAIN, 0);
    EXPECT_EQ(ItemText(window, IDC_STATUS), "Bereit.");
    EXPECT_EQ(ItemText(window, IDC_STOP), "STOPP");

    RECT before = {};
    GetWindowRect(window, &before);
    for (LPARAM at : {MAKELPARAM(10, 10), MAKELPARAM(40, 10), MAKELPARAM(525, 10), MAKELPARAM(530, 370)}) {
        PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(window, WM_LBUTTONUP, 0, at);
        PostMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, at);
        PostMessageA(window, WM_RBUTTONUP, 0, at);
    }
    EXPECT_TRUE(RemoteSettle(window));
    EXPECT_EQ(program.waitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
    RECT after = {};
    GetWindowRect(window, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(program.close(), 0u);
}

TEST_F(MainWindowEndToEnd, LanguageButtonSwitchesStoresAndTheAboutBoxFollows) {
    ASSERT_NO_FATAL_FAILURE(Start("en", 0));
    ExpectAboutBox(program, EnglishStrings);
    struct Switch {
        const char *stored, *when, *ready;
        const StringTable& strings;
    };
    for (const Switch& to : {Switch{"de", "Wann?", "Bereit.", GermanStrings}, Switch{"en", "When?", "Ready.", EnglishStrings}}) {
        SCOPED_TRACE(to.stored);
        RemotePress(window, IDC_LANGUAGE);
        ASSERT_TRUE(RemoteSettle(window));
        EXPECT_EQ(StoredLanguage(), to.stored);
        EXPECT_EQ(ItemText(window, IDC_GROUP_WHEN), to.when);
        EXPECT_EQ(ItemText(window, IDC_STATUS), to.ready);
        EXPECT_EQ(ItemText(window, IDC_ABOUT), to.strings.entries[StrAbout]);
        ExpectAboutBox(program, to.strings);
    }
    EXPECT_EQ(program.close(), 0u);
}

// The program's list, read from outside: as UTF-16, which is what Wine hands back.
struct ListedProcess {
    std::string text;
    DWORD id;
};
std::ostream& operator<<(std::ostream& out, const ListedProcess& entry) { return out << entry.text << " #" << entry.id; }

// The entry the list must show for a process: its file name and id.
testing::Matcher<ListedProcess> EntryOf(const std::string& name, DWORD id) {
    using testing::Field;
    return testing::AllOf(Field(&ListedProcess::id, id),
                          Field(&ListedProcess::text, name + "   [PID " + std::to_string(id) + "]"));
}

std::vector<ListedProcess> ReadProcessList(HWND window) {
    HWND list = GetDlgItem(window, IDC_PROCESS_LIST);
    std::vector<ListedProcess> entries;
    LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t wide[512] = {};
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        char text[512] = {};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
        entries.push_back({text, static_cast<DWORD>(SendMessageW(list, CB_GETITEMDATA, i, 0))});
    }
    return entries;
}

TEST_F(MainWindowEndToEnd, ProcessListShowsTheUsersProcessesButNotItselfOrExcludedNames) {
    Sleeper listed(60000, "e2e_child.exe");
    Sleeper hidden(60000, "SVCHOST.EXE");
    ASSERT_TRUE(listed.info.hProcess);
    ASSERT_TRUE(hidden.info.hProcess);
    // Each is in the system's process list from the moment CreateProcess returns.

    // Without any stored setting, too, the program opens its titled window and
    // ends with exit code 0 when closed.
    ASSERT_NO_FATAL_FAILURE(Start(nullptr, 0));
    EXPECT_EQ(WindowText(window), PRODUCT_TITLE);
    using testing::Field;
    std::vector<ListedProcess> entries = ReadProcessList(window);
    EXPECT_THAT(entries, testing::Contains(EntryOf("e2e_child.exe", listed.info.dwProcessId)));
    EXPECT_THAT(entries, testing::Each(Field(&ListedProcess::id, testing::AllOf(testing::Ne(hidden.info.dwProcessId),
                                                                                 testing::Ne(program.info.dwProcessId)))));
    EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_PROCESS_LIST), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendMessageA(GetDlgItem(window, IDC_TRIG_PROCESS), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // A process started later appears after Refresh.
    Sleeper later(60000, "e2e_later.exe");
    RemotePress(window, IDC_REFRESH);
    ASSERT_TRUE(RemoteSettle(window));
    EXPECT_THAT(ReadProcessList(window), testing::Contains(EntryOf("e2e_later.exe", later.info.dwProcessId)));
    EXPECT_EQ(program.close(), 0u);
}

}  // namespace
