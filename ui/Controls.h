// The child controls of both windows, each window's as a table of rows, and their
// creation and relabelling from those rows.
#pragma once

#include "../app/AppState.h"

enum class ControlKind : uint8_t { GroupBox, FirstRadio, Radio, CheckBox, TimeField, Label, DropList, PushButton, Count };

// A control whose text is a fixed literal (or none) rather than a translated string.
const int8_t NoStringId = -1;

// One child control of a window, as a row of its table. Control ids are words and
// the windows are far smaller than 32,767 pixels.
struct ControlSpec {
    uint16_t id;
    int8_t textId;
    ControlKind kind;
    const char* literal;
    int16_t x, y, width, height;
};

// Creates the control in the program's font.
HWND CreateControl(HWND window, const ControlSpec& spec);

// Gives each translated control of the rows, but the status line, its text in the
// current language; the status line follows the run state instead.
void RelabelControls(HWND window, const ControlSpec* rows, size_t count);
template <size_t Count>
void RelabelControls(HWND window, const ControlSpec (&rows)[Count]) {
    RelabelControls(window, rows, Count);
}
