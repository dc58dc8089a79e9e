// The main window's controls as the layout designs them, and the checks of a real
// window against them: this process's or the running program's, seen from outside.
#pragma once

#include <windows.h>

#include "i18n/Strings.h"

const int LiteralText = -1;

struct LayoutControl {
    int id;
    const char* className;
    int text;  // a StringId, or LiteralText
    const char* literal;
    DWORD style;
    DWORD extendedStyle;
    int x, y, width, height;  // client pixels below the skinned title bar
};

// In creation order, which is also the order of the child windows.
extern const LayoutControl MainLayout[27];

// Compares every child of `window` with the table: order, id, class, text in the
// given language, styles, font (in this process) and rectangle, `yShift` pixels lower.
void ExpectControlsAsInTable(HWND window, const StringTable& strings, int yShift);

// Every label of the table that is a translated string (the status line aside, which
// follows the run state) as `strings` words it.
void ExpectTranslatedLabels(HWND window, const StringTable& strings);

// The window rectangle the template alone gives, measured on a dialog that adds nothing.
RECT TemplateWindowRect(int templateId);
