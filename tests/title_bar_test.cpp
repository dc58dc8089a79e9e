// Mouse handling of the self-drawn title bar, in-process with the window calls
// recorded: zone bounds, the button cells, the logo double-click and the roll-up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "support/IatPatch.h"
#include "support/MainWindowHarness.h"
#include "support/TestSupport.h"
#include "ui/main/MainWindow.h"
#include "ui/skin/Skin.h"

namespace {

using ::testing::Each;

struct PositionCall {
    HWND insertAfter;
    int x, y, cx, cy;
    UINT flags;
};

struct Calls {
    std::vector<UINT> posted;          // messages posted to the main window
    std::vector<int> shown;            // ShowWindow commands
    std::vector<PositionCall> placed;  // SetWindowPos on the main window
    std::vector<BOOL> invalidated;     // erase flags
    int drags = 0;                     // WM_NCLBUTTONDOWN with HTCAPTION and lParam 0
    int otherNcPresses = 0;
    int captureReleases = 0;
    std::deque<DWORD> ticks;
    UINT doubleClickTime = 500;
    HWND window = nullptr;

    bool nothing() const {
        return posted.empty() && shown.empty() && placed.empty() && invalidated.empty() && drags == 0 &&
               otherNcPresses == 0 && captureReleases == 0;
    }
} calls;

IatPatch* sendPatch = nullptr;
IatPatch* postPatch = nullptr;
IatPatch* placePatch = nullptr;
IatPatch* invalidatePatch = nullptr;

LRESULT WINAPI RecordSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCLBUTTONDOWN) {
        if (window == calls.window && wParam == HTCAPTION && lParam == 0) ++calls.drags;
        else ++calls.otherNcPresses;
        return 0;
    }
    return sendPatch->originalAs<decltype(&SendMessageA)>()(window, message, wParam, lParam);
}
BOOL WINAPI RecordPost(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == calls.window) {
        calls.posted.push_back(wParam == 0 && lParam == 0 ? message : 0xFFFFFFFF);
        return TRUE;
    }
    return postPatch->originalAs<decltype(&PostMessageA)>()(window, message, wParam, lParam);
}
BOOL WINAPI RecordShow(HWND window, int command) {
    if (window == calls.window) calls.shown.push_back(command);
    return TRUE;
}
BOOL WINAPI RecordPlace(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags) {
    if (window == calls.window) calls.placed.push_back({after, x, y, cx, cy, flags});
    return placePatch->originalAs<decltype(&SetWindowPos)>()(window, after, x, y, cx, cy, flags);
}
BOOL WINAPI RecordInvalidate(HWND window, const RECT* rect, BOOL erase) {
    if (window == calls.window && rect == nullptr) calls.invalidated.push_back(erase);
    return invalidatePatch->originalAs<decltype(&InvalidateRect)>()(window, rect, erase);
}
BOOL WINAPI RecordReleaseCapture() {
    ++calls.captureReleases;
    return TRUE;
}
DWORD WINAPI NextTick() {
    if (calls.ticks.empty()) return 123456;
    DWORD tick = calls.ticks.front();
    calls.ticks.pop_front();
    return tick;
}
UINT WINAPI FakeDoubleClickTime() { return calls.doubleClickTime; }

class TitleBar : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        calls = Calls();
        calls.window = window;
        sendPatch = patches.add("user32.dll", "SendMessageA", AsPatch(&RecordSend));
        postPatch = patches.add("user32.dll", "PostMessageA", AsPatch(&RecordPost));
        patches.add("user32.dll", "ShowWindow", AsPatch(&RecordShow));
        placePatch = patches.add("user32.dll", "SetWindowPos", AsPatch(&RecordPlace));
        invalidatePatch = patches.add("user32.dll", "InvalidateRect", AsPatch(&RecordInvalidate));
        patches.add("user32.dll", "ReleaseCapture", AsPatch(&RecordReleaseCapture));
        patches.add("kernel32.dll", "GetTickCount", AsPatch(&NextTick));
        patches.add("user32.dll", "GetDoubleClickTime", AsPatch(&FakeDoubleClickTime));
        ASSERT_TRUE(patches.allActive());
        RECT client;
        GetClientRect(window, &client);
        W = client.right;
    }

public:  // the tests name these as members to hand to answers()
    BOOL press(int x, int y) { return OnTitleBarLButtonDown(window, MAKELPARAM(x, y)); }
    BOOL release(int x, int y) { return OnTitleBarLButtonUp(window, MAKELPARAM(x, y)); }
    BOOL rightPress(int x, int y) { return OnTitleBarRButtonDown(window, MAKELPARAM(x, y)); }
    BOOL logoRelease(DWORD tick, DWORD secondRead = 0) {
        calls.ticks = {tick, secondRead};
        return release(10, 10);
    }
    // Whether `act` handled each point, in order.
    std::vector<bool> answers(BOOL (TitleBar::*act)(int, int), std::initializer_list<POINT> points) {
        std::vector<bool> handled;
        for (POINT p : points) handled.push_back((this->*act)(p.x, p.y) != FALSE);
        return handled;
    }
    RECT windowRect() {
        RECT rect;
        GetWindowRect(window, &rect);
        return rect;
    }

    HWND& window = app.mainWindow;
    int W = 0;
};

TEST_F(TitleBar, PressDragsOnlyInTheBandLeftOfTheCellsAndOutsideTheLogo) {
    RECT before = windowRect();
    EXPECT_THAT(answers(&TitleBar::press, {{10, 10}, {3, 2}, {31, 20}}), Each(true));
    EXPECT_TRUE(calls.nothing());
    RECT after = windowRect();
    EXPECT_TRUE(EqualRect(&before, &after));

    EXPECT_THAT(answers(&TitleBar::press, {{40, 3}, {40, 20}, {W - 60, 10}, {W - 1, 10}, {32, 21}}), Each(false));
    EXPECT_TRUE(calls.nothing());

    EXPECT_TRUE(press(40, 10));
    EXPECT_EQ(calls.drags, 1);
    EXPECT_EQ(calls.captureReleases, 1);
    // The frame left of the logo zone is band rows too.
    EXPECT_THAT(answers(&TitleBar::press, {{W - 61, 4}, {32, 19}, {2, 10}}), Each(true));
    EXPECT_EQ(calls.drags, 4);
    EXPECT_EQ(calls.otherNcPresses, 0);
}

TEST_F(TitleBar, ReleaseActsOnTheCellUnderIt) {
    EXPECT_THAT(answers(&TitleBar::release, {{W - 20, 10}, {W - 1, 10}}), Each(true));
    EXPECT_EQ(calls.posted, (std::vector<UINT>{WM_CLOSE, WM_CLOSE}));
    EXPECT_THAT(answers(&TitleBar::release, {{W - 21, 10}, {W - 40, 19}}), Each(true));
    EXPECT_EQ(calls.shown, (std::vector<int>{SW_MINIMIZE, SW_MINIMIZE}));
    EXPECT_TRUE(calls.placed.empty());

    EXPECT_THAT(answers(&TitleBar::release, {{W - 61, 10}, {40, 10}, {W - 10, 3}, {W - 10, 20}, {W - 50, 100}}),
                Each(false));
    EXPECT_EQ(calls.posted.size(), 2u);
    EXPECT_EQ(calls.shown.size(), 2u);
    EXPECT_TRUE(calls.placed.empty());
    EXPECT_TRUE(calls.invalidated.empty());
    EXPECT_EQ(calls.drags, 0);
}

TEST_F(TitleBar, PinCellTogglesTopmostAndRepaintsWithoutErase) {
    EXPECT_TRUE(release(W - 41, 10));
    ASSERT_EQ(calls.placed.size(), 1u);
    EXPECT_EQ(calls.placed[0].insertAfter, HWND_TOPMOST);
    EXPECT_EQ(calls.placed[0].flags, 0x13u);
    EXPECT_EQ(calls.placed[0].cx, 0);
    EXPECT_EQ(calls.placed[0].cy, 0);
    EXPECT_EQ(app.topmostPinned, 1);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(calls.invalidated, (std::vector<BOOL>{FALSE}));

    EXPECT_TRUE(release(W - 60, 10));
    ASSERT_EQ(calls.placed.size(), 2u);
    EXPECT_EQ(calls.placed[1].insertAfter, HWND_NOTOPMOST);
    EXPECT_EQ(calls.placed[1].flags, 0x13u);
    EXPECT_EQ(app.topmostPinned, 0);
    EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(calls.invalidated, (std::vector<BOOL>{FALSE, FALSE}));
    EXPECT_TRUE(calls.posted.empty());
    EXPECT_TRUE(calls.shown.empty());
}

TEST_F(TitleBar, TwoLogoReleasesWithinTheIntervalFlipThePaletteOnce) {
    EXPECT_TRUE(logoRelease(1000));
    EXPECT_EQ(app.lastLogoClickTick, 1000u);
    EXPECT_EQ(app.skinPalette, SkinPalette::Blue);
    // Releases elsewhere between the two do not disturb the pair.
    EXPECT_THAT(answers(&TitleBar::release, {{40, 10}, {100, 40}}), Each(false));
    EXPECT_TRUE(logoRelease(1500));  // exactly the double-click time still counts
    EXPECT_EQ(app.skinPalette, SkinPalette::Amber);
    EXPECT_EQ(app.lastLogoClickTick, 0u);
    EXPECT_EQ(calls.invalidated, (std::vector<BOOL>{TRUE}));

    // A third quick release starts a new pair instead of flipping back.
    EXPECT_TRUE(logoRelease(1600));
    EXPECT_EQ(app.skinPalette, SkinPalette::Amber);
    EXPECT_EQ(app.lastLogoClickTick, 1600u);
    EXPECT_TRUE(logoRelease(1700));
    EXPECT_EQ(app.skinPalette, SkinPalette::Blue);
    EXPECT_EQ(calls.invalidated.size(), 2u);
}

TEST_F(TitleBar, ReleasesFurtherApartStartANewPair) {
    EXPECT_TRUE(logoRelease(1000));
    EXPECT_TRUE(logoRelease(1501, 1502));
    EXPECT_EQ(app.skinPalette, SkinPalette::Blue);
    EXPECT_EQ(app.lastLogoClickTick, 1502u);  // the tick count read again
    EXPECT_TRUE(calls.invalidated.empty());
    EXPECT_TRUE(logoRelease(2002));
    EXPECT_EQ(app.skinPalette, SkinPalette::Amber);

    calls.doubleClickTime = 200;
    EXPECT_TRUE(logoRelease(5000));
    EXPECT_TRUE(logoRelease(5201, 5201));
    EXPECT_EQ(app.skinPalette, SkinPalette::Amber);
}

TEST_F(TitleBar, DoubleClickSurvivesATickCountWrap) {
    EXPECT_TRUE(logoRelease(0xFFFFFF00u));
    EXPECT_TRUE(logoRelease(0x000000C8u));  // 456 ms later
    EXPECT_EQ(app.skinPalette, SkinPalette::Amber);

    EXPECT_TRUE(logoRelease(0xFFFFFF00u));
    EXPECT_TRUE(logoRelease(0x00000200u, 0x00000200u));  // 768 ms later
    EXPECT_EQ(app.skinPalette, SkinPalette::Amber);
    EXPECT_EQ(app.lastLogoClickTick, 0x200u);
}

TEST_F(TitleBar, RightClickOnTheBandRollsUpAndDownKeepingTheCorner) {
    RECT before = windowRect();
    int width = before.right - before.left;
    int height = before.bottom - before.top;
    ASSERT_GT(height, 23);

    EXPECT_TRUE(rightPress(W - 5, 10));  // a cell rolls too: only y counts
    ASSERT_EQ(calls.placed.size(), 1u);
    EXPECT_EQ(calls.placed[0].insertAfter, nullptr);
    EXPECT_EQ(calls.placed[0].flags, 0x16u);
    RECT rolled = windowRect();
    EXPECT_EQ(rolled.left, before.left);
    EXPECT_EQ(rolled.top, before.top);
    EXPECT_EQ(rolled.right - rolled.left, width);
    EXPECT_EQ(rolled.bottom - rolled.top, 23);
    EXPECT_EQ(app.rolledUp, 1);
    EXPECT_EQ(app.savedHeight, height);
    EXPECT_EQ(calls.invalidated, (std::vector<BOOL>{TRUE}));

    // The width at the time of rolling down is the one kept.
    placePatch->originalAs<decltype(&SetWindowPos)>()(window, nullptr, 0, 0, width - 30, 23,
                                                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(rightPress(10, 10));
    RECT restored = windowRect();
    EXPECT_EQ(restored.left, before.left);
    EXPECT_EQ(restored.top, before.top);
    EXPECT_EQ(restored.right - restored.left, width - 30);
    EXPECT_EQ(restored.bottom - restored.top, height);
    EXPECT_EQ(app.rolledUp, 0);
    EXPECT_EQ(calls.invalidated, (std::vector<BOOL>{TRUE, TRUE}));
}

TEST_F(TitleBar, ClicksOutsideEveryZoneChangeNothing) {
    RECT before = windowRect();
    for (int y : {0, 3, 20, 21, 100}) {
        EXPECT_FALSE(rightPress(100, y)) << y;
        EXPECT_FALSE(press(100, y)) << y;
        EXPECT_FALSE(release(W - 30, y)) << y;
    }
    const LPARAM edges[] = {MAKELPARAM(0xFFFF, 0xFFFF), MAKELPARAM(0, 0xFFFF), MAKELPARAM(0xFFFF, 0),
                            MAKELPARAM(0x8000, 0x8000), MAKELPARAM(0x7FFF, 0x7FFF), MAKELPARAM(10, 0x8002)};
    for (LPARAM edge : edges) {
        EXPECT_FALSE(OnTitleBarLButtonDown(window, edge));
        EXPECT_FALSE(OnTitleBarLButtonUp(window, edge));
        EXPECT_FALSE(OnTitleBarRButtonDown(window, edge));
    }
    // Far to the right on band rows is still a cell: the press waits for a release.
    EXPECT_FALSE(press(0xFFFF, 10));
    EXPECT_TRUE(calls.nothing());
    RECT after = windowRect();
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(app.skinPalette, SkinPalette::Blue);
    EXPECT_EQ(app.topmostPinned, 0);
    EXPECT_EQ(app.rolledUp, 0);
    EXPECT_EQ(app.lastLogoClickTick, 0u);
}

TEST_F(TitleBar, TheDialogProcedureHandsTheMouseToTheTitleBar) {
    EXPECT_EQ(MainDialogProc(window, WM_LBUTTONUP, 0, MAKELPARAM(W - 10, 10)), TRUE);
    EXPECT_EQ(calls.posted, (std::vector<UINT>{WM_CLOSE}));
    EXPECT_EQ(MainDialogProc(window, WM_LBUTTONDOWN, 0, MAKELPARAM(50, 10)), TRUE);
    EXPECT_EQ(calls.drags, 1);
    EXPECT_EQ(MainDialogProc(window, WM_RBUTTONDOWN, 0, MAKELPARAM(50, 30)), FALSE);
    EXPECT_EQ(MainDialogProc(window, WM_RBUTTONDOWN, 0, MAKELPARAM(50, 10)), TRUE);
    EXPECT_EQ(app.rolledUp, 1);
}

}  // namespace
