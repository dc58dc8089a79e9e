// The real program under real mouse input: xdotool moves and clicks the X pointer,
// and the screen is read back from screenshots.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/HostShell.h"
#include "support/RemoteDrive.h"
#include "support/TestSupport.h"

namespace {

const COLORREF BlueBand = RGB(128, 128, 255);
const COLORREF AmberBand = RGB(252, 200, 0);

bool Xdo(const char* format, int a = 0, int b = 0, int c = 0, int d = 0) {
    char command[512];
    std::snprintf(command, sizeof(command), format, a, b, c, d);
    return RunHostCommand(std::string("xdotool ") + command);
}

RECT WindowRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

COLORREF ScreenPixel(int x, int y) {
    std::vector<COLORREF> pixels = ScreenPixels(x, y, 1, 1);
    return pixels.empty() ? 0xFFFFFFFF : pixels[0];
}

// Waits until the screen shows the colour at the point; the window's drawing reaches
// the X server a moment after the paint, later still on a loaded machine.
bool ScreenShows(int x, int y, COLORREF colour, DWORD timeoutMs = 10000) {
    return PollUntil([&] { return ScreenPixel(x, y) == colour; }, timeoutMs, 100);
}

// Waits until the window has the expected place and size; the moves of a drag, for
// one, reach it one after another, and only the last counts.
::testing::AssertionResult WindowReaches(HWND window, const RECT& expected) {
    RECT now = {};
    if (PumpUntil([&] { return GetWindowRect(window, &now) && EqualRect(&expected, &now); }, 10000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "at " << now.left << "," << now.top << ", " << now.right - now.left << " x "
                                         << now.bottom - now.top;
}

class SkinEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_UNLESS_WINE("drives X11 input with xdotool and reads the X screen with ImageMagick");
        DeleteSettingsKey();
        ASSERT_TRUE(Xdo("mousemove 5 5")) << "xdotool cannot be run from the test";
    }
    void TearDown() override {
        program.kill();
        DeleteSettingsKey();
    }
    // Starts the program and waits until X shows its band: Win32 calls a window
    // visible before the X server has mapped and drawn it, and a click sent in
    // between may land on the root window, lost to the program.
    void startSkinned() {
        ASSERT_TRUE(program.start());
        RECT rect = WindowRect(program.mainWindow);
        ASSERT_TRUE(ScreenShows(rect.right - 70, rect.top + 12, BlueBand))
            << std::hex << ScreenPixel(rect.right - 70, rect.top + 12);
    }
    ChildProgram program;
};

TEST_F(SkinEndToEnd, DraggingTheBandMovesTheWindow) {
    ASSERT_NO_FATAL_FAILURE(startSkinned());
    RECT before = WindowRect(program.mainWindow);
    int x = before.left + 200, y = before.top + 12;
    ASSERT_TRUE(Xdo("mousemove %d %d mousedown 1 sleep 0.2", x, y));
    ASSERT_TRUE(Xdo("mousemove %d %d sleep 0.2", x + 20, y + 10));
    ASSERT_TRUE(Xdo("mousemove %d %d sleep 0.2 mouseup 1", x - 150, y + 80));
    OffsetRect(&before, -150, 80);
    EXPECT_TRUE(WindowReaches(program.mainWindow, before));
}

TEST_F(SkinEndToEnd, CloseCellEndsTheProgramWithExitCodeZero) {
    ASSERT_NO_FATAL_FAILURE(startSkinned());
    RECT rect = WindowRect(program.mainWindow);
    ASSERT_TRUE(Xdo("mousemove %d %d click 1", rect.right - 10, rect.top + 10));
    EXPECT_EQ(program.waitForExit(), 0u);
}

TEST_F(SkinEndToEnd, RightClickRollsTheWindowUpAndDown) {
    ASSERT_NO_FATAL_FAILURE(startSkinned());
    RECT before = WindowRect(program.mainWindow);
    ASSERT_TRUE(Xdo("mousemove %d %d click 3", before.left + 300, before.top + 10));
    RECT rolled = {before.left, before.top, before.right, before.top + 23};
    EXPECT_TRUE(WindowReaches(program.mainWindow, rolled));
    // The ring closes right under the separator.
    EXPECT_TRUE(ScreenShows(before.left + 300, before.top + 22, RGB(0, 0, 0)));

    // A second click within the double-click time would come as a double-click.
    Sleep(700);
    ASSERT_TRUE(Xdo("click 3"));
    EXPECT_TRUE(WindowReaches(program.mainWindow, before));
}

TEST_F(SkinEndToEnd, DoubleClickOnTheLogoTurnsTheBandAmber) {
    ASSERT_NO_FATAL_FAILURE(startSkinned());
    RECT rect = WindowRect(program.mainWindow);
    int bandX = rect.right - 70, bandY = rect.top + 12;
    ASSERT_TRUE(ScreenShows(bandX, bandY, BlueBand)) << std::hex << ScreenPixel(bandX, bandY);
    EXPECT_EQ(ScreenPixel(rect.left, rect.top + 100), RGB(0, 0, 0));

    ASSERT_TRUE(Xdo("mousemove %d %d click --repeat 2 --delay 80 1", rect.left + 15, rect.top + 10));
    EXPECT_TRUE(ScreenShows(bandX, bandY, AmberBand)) << std::hex << ScreenPixel(bandX, bandY);
    EXPECT_EQ(ScreenPixel(rect.left, rect.top + 100), RGB(252, 252, 48));
    EXPECT_EQ(ScreenPixel(rect.left + 6, rect.top + 3), RGB(0, 0, 0));  // the logo stays black
}

TEST_F(SkinEndToEnd, PlainFrameHasTheStandardCaptionAndNoTitleBarHandling) {
    DWORD noSkin = 1;
    StoreSetting("NoSkin", REG_DWORD, &noSkin, sizeof(noSkin));
    ASSERT_TRUE(program.start());
    HWND window = program.mainWindow;
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_CAPTION, static_cast<LONG>(WS_CAPTION));
    RECT before = WindowRect(window);
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    EXPECT_GT(origin.y - before.top, 10);  // the caption lies above the client area

    // Where the drawn title bar would be: right-click (roll), the close cell, a drag.
    ASSERT_TRUE(Xdo("mousemove %d %d click 3 sleep 0.7", origin.x + 300, origin.y + 10));
    ASSERT_TRUE(Xdo("mousemove %d %d click 1 sleep 0.7", origin.x + client.right - 10, origin.y + 10));
    ASSERT_TRUE(Xdo("mousemove %d %d mousedown 1 sleep 0.2 mousemove %d %d", origin.x + 200, origin.y + 10,
                    origin.x + 100, origin.y + 80));
    ASSERT_TRUE(Xdo("sleep 0.2 mouseup 1"));

    // The standard caption itself drags the window (pressed after the double-click
    // time, so as not to pair with the release before), in two steps. Input is handled
    // in order, so once the drag's last step has moved it, the input above has been
    // handled too: it must have left the program running and the window as it was
    // (neither moved nor rolled), which puts it exactly where the drag ends.
    int captionY = (before.top + origin.y) / 2;
    ASSERT_TRUE(Xdo("sleep 0.7 mousemove %d %d mousedown 1 sleep 0.2 mousemove %d %d", before.left + 200, captionY,
                    before.left + 220, captionY + 10));
    ASSERT_TRUE(Xdo("sleep 0.2 mousemove %d %d sleep 0.2 mouseup 1", before.left + 250, captionY + 60));
    OffsetRect(&before, 50, 60);
    EXPECT_TRUE(WindowReaches(window, before));
    EXPECT_EQ(program.waitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(program.close(), 0u);
}

}  // namespace
