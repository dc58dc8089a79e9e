// The main window: its controls and the routing of its messages.
#pragma once

#include "../../app/AppState.h"

BOOL InitMainWindow(HWND window);
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
