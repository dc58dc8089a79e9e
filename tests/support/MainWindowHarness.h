// Opens the real main window inside the test process, as start-up would, and
// closes it again; for tests that need the real controls.
#pragma once

#include <windows.h>

#include "FreshStateTest.h"

enum class Frame { Skinned, Plain };
enum class Language { English, German };

// Clean state and registry, the language stored as given, the cancel event created,
// then the dialog from the template of the frame kind. Returns the window or null.
HWND OpenMainWindow(Frame frame = Frame::Skinned, Language language = Language::English);

// Destroys the window when it still exists, drains the queue (the quit message
// included), closes the cancel event and removes the settings key.
void CloseMainWindow();

// A control's rectangle in the main window's client coordinates.
RECT ClientRectOf(HWND control);

// Hands WM_COMMAND, as a click or notification of the control would send it, to the
// main dialog procedure and returns its answer (SendMessageA to a dialog would only
// return the message result, not whether the procedure handled the message).
INT_PTR SendCommand(int id, int notification = BN_CLICKED);

// The real main window, skinned and English, open through each case and settled.
class MainWindowTest : public FreshStateTest {
protected:
    void SetUp() override {
        FreshStateTest::SetUp();
        ASSERT_NE(OpenMainWindow(), nullptr);
        PumpFor(20);
    }
    void TearDown() override {
        FreshStateTest::TearDown();
        CloseMainWindow();
    }
};
