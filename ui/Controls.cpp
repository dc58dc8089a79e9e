// Creating and relabelling child controls from their rows.
#include "Controls.h"

// What each kind of control is made of; every one of them is a visible child.
struct ControlKindStyle {
    const char* className;
    DWORD style;
    DWORD extendedStyle;
};

static const DWORD VisibleChild = WS_CHILD | WS_VISIBLE;

static const ControlKindStyle ControlKindStyles[] = {
    {"BUTTON", VisibleChild | BS_GROUPBOX, 0},
    {"BUTTON", VisibleChild | WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON, 0},
    {"BUTTON", VisibleChild | WS_TABSTOP | BS_AUTORADIOBUTTON, 0},
    {"BUTTON", VisibleChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0},
    {"EDIT", VisibleChild | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {"STATIC", VisibleChild | SS_LEFT, 0},
    {"COMBOBOX", VisibleChild | WS_VSCROLL | WS_TABSTOP | CBS_SORT | CBS_DROPDOWNLIST, 0},
    {"BUTTON", VisibleChild | WS_TABSTOP | BS_FLAT | BS_PUSHBUTTON, 0},
};
static_assert(sizeof(ControlKindStyles) / sizeof(ControlKindStyles[0]) == static_cast<size_t>(ControlKind::Count),
              "one style row for each kind of control");

HWND CreateControl(HWND window, const ControlSpec& spec) {
    const ControlKindStyle& kind = ControlKindStyles[static_cast<size_t>(spec.kind)];
    const char* text = spec.textId == NoStringId ? spec.literal : Text(static_cast<StringId>(spec.textId));
    HWND control = CreateWindowExA(kind.extendedStyle, kind.className, text, kind.style, spec.x, spec.y,
                                   spec.width, spec.height, window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), app.instance, nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(app.guiFont), TRUE);
    return control;
}

void RelabelControls(HWND window, const ControlSpec* rows, size_t count) {
    for (const ControlSpec* row = rows; row != rows + count; ++row)
        if (row->textId != NoStringId && row->id != IDC_STATUS)
            SetDlgItemTextA(window, row->id, Text(static_cast<StringId>(row->textId)));
}
