// The main window: its controls and the routing of its messages.
#pragma once

#include "../../app/AppState.h"

enum ControlKindId : uint8_t { GroupBox, FirstRadio, Radio, CheckBox, TimeField, Label, DropList, PushButton };

// A control whose text is a fixed literal (or none) rather than a translated string.
const int8_t NoStringId = -1;

// One child control of a window, as a row of its table. Control ids are words and
// the windows are far smaller than 32,767 pixels.
struct ControlSpec {
    uint16_t id;
    int8_t textId;
    ControlKindId kind;
    const char* literal;
    int16_t x, y, width, height;
};

// Creates the control in the program's font.
HWND CreateControl(HWND window, const ControlSpec& spec);

BOOL InitMainWindow(HWND window);
// Gives each translated control of the main window, but the status line, its text in
// the current language.
void RelabelMainControls();
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
