// The main window: its controls and the routing of its messages.
#pragma once

#include "../Controls.h"

BOOL InitMainWindow(HWND window);
// Gives each translated control of the main window, but the status line, its text in
// the current language.
void RelabelMainControls();
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
