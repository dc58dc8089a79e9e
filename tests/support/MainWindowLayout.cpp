#include "MainWindowLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MainWindowHarness.h"
#include "TestSupport.h"
#include "app/App.h"

namespace {

const DWORD G = 0x50000007, R1 = 0x50030009, R = 0x50010009, C = 0x50010003, E = 0x50012080, S = 0x50000000,
            L = 0x50210103, P = 0x50018000;

INT_PTR CALLBACK BareDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

const LayoutControl MainLayout[27] = {
    {1000, "Button", StrGroupAction, nullptr, G, 0, 14, 32, 510, 100},
    {1001, "Button", StrActShutDown, nullptr, R1, 0, 30, 56, 125, 22},
    {1002, "Button", StrActRestart, nullptr, R, 0, 170, 56, 110, 22},
    {1003, "Button", StrActLogOff, nullptr, R, 0, 300, 56, 100, 22},
    {1004, "Button", StrActStandby, nullptr, R, 0, 30, 88, 110, 22},
    {1005, "Button", StrActHibernate, nullptr, R, 0, 170, 88, 120, 22},
    {1006, "Button", StrForceClose, nullptr, C, 0, 300, 88, 214, 22},
    {1100, "Button", StrGroupWhen, nullptr, G, 0, 14, 142, 510, 190},
    {1101, "Button", StrTrigNow, nullptr, R1, 0, 30, 167, 100, 22},
    {1102, "Button", StrTrigAfter, nullptr, R, 0, 30, 200, 72, 22},
    {1201, "Edit", LiteralText, "01", E, 0x200, 112, 197, 42, 24},
    {0, "Static", LiteralText, ":", S, 0, 159, 200, 10, 20},
    {1202, "Edit", LiteralText, "00", E, 0x200, 174, 197, 42, 24},
    {0, "Static", LiteralText, ":", S, 0, 221, 200, 10, 20},
    {1203, "Edit", LiteralText, "00", E, 0x200, 236, 197, 42, 24},
    {1103, "Button", StrTrigAt, nullptr, R, 0, 30, 234, 72, 22},
    {1211, "Edit", LiteralText, "07", E, 0x200, 112, 231, 42, 24},
    {0, "Static", LiteralText, ":", S, 0, 159, 234, 10, 20},
    {1212, "Edit", LiteralText, "00", E, 0x200, 174, 231, 42, 24},
    {1104, "Button", StrTrigProcessExit, nullptr, R, 0, 30, 268, 150, 22},
    {1221, "ComboBox", LiteralText, nullptr, L, 0, 42, 294, 325, 220},
    {1222, "Button", StrRefresh, nullptr, P, 0, 378, 293, 98, 27},
    {1301, "Static", StrStatusReady, nullptr, S, 0, 18, 343, 505, 22},
    {1302, "Button", StrStart, nullptr, P, 0, 18, 372, 185, 40},
    {1303, "Button", StrStop, nullptr, P, 0, 215, 372, 135, 40},
    {1304, "Button", LiteralText, "DE | EN", P, 0, 365, 388, 70, 24},
    {1305, "Button", StrAbout, nullptr, P, 0, 443, 388, 80, 24},
};

void ExpectControlsAsInTable(HWND window, const StringTable& strings, int yShift) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    ASSERT_EQ(children.size(), std::size(MainLayout));
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    bool inThisProcess = owner == GetCurrentProcessId();
    for (size_t i = 0; i < children.size(); ++i) {
        const LayoutControl& expected = MainLayout[i];
        HWND control = children[i];
        SCOPED_TRACE("control #" + std::to_string(i + 1) + ", id " + std::to_string(expected.id));
        EXPECT_EQ(GetDlgCtrlID(control), expected.id);
        EXPECT_EQ(ClassOf(control), expected.className);
        if (expected.id != IDC_PROCESS_LIST) {
            const char* text = expected.text == LiteralText ? expected.literal : strings.entries[expected.text];
            EXPECT_EQ(WindowText(control), text);
        }

        DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
        DWORD ignored = 0;
        // Checking a radio button moves the tab stop of its group onto it.
        if (expected.style == R || expected.style == R1) {
            ignored |= WS_TABSTOP;
            EXPECT_EQ((style & WS_TABSTOP) != 0, IsDlgButtonChecked(window, expected.id) == BST_CHECKED);
        }
        if (expected.id == IDC_PROCESS_LIST) ignored |= WS_VSCROLL;  // Wine may hide it
        if (expected.id == IDC_STOP) {
            ignored |= WS_DISABLED;
            EXPECT_TRUE(style & WS_DISABLED);
        }
        EXPECT_EQ(style & ~ignored, expected.style & ~ignored);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_EXSTYLE)) & ~WS_EX_NOPARENTNOTIFY,
                  expected.extendedStyle);

        RECT bounds = ClientRectOf(control);
        EXPECT_EQ(bounds.left, expected.x);
        EXPECT_EQ(bounds.top, expected.y + yShift);
        EXPECT_EQ(bounds.right - bounds.left, expected.width);
        // A combo box reports its closed height; the height it was given is checked
        // on the creation call.
        if (expected.id != IDC_PROCESS_LIST) {
            EXPECT_EQ(bounds.bottom - bounds.top, expected.height);
        }
        // A font handle means nothing to another process.
        if (inThisProcess) {
            EXPECT_EQ(SendMessageA(control, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
        }
    }
}

void ExpectTranslatedLabels(HWND window, const StringTable& strings) {
    for (const LayoutControl& control : MainLayout) {
        if (control.text == LiteralText || control.id == IDC_STATUS) continue;
        EXPECT_EQ(WindowText(GetDlgItem(window, control.id)), strings.entries[control.text]) << control.id;
    }
}

RECT TemplateWindowRect(int templateId) {
    HWND bare = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), nullptr, BareDialogProc, 0);
    RECT bounds = {};
    GetWindowRect(bare, &bounds);
    DestroyWindow(bare);
    return bounds;
}
