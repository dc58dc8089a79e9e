#include "Engine.h"

INT_PTR CALLBACK WarningDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
void UpdateWarningText() {}
const char* WarningNoun() { return ""; }
