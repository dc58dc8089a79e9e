#include "Skin.h"

BOOL OnTitleBarLButtonDown(HWND, LPARAM) { return FALSE; }
BOOL OnTitleBarLButtonUp(HWND, LPARAM) { return FALSE; }
BOOL OnTitleBarRButtonDown(HWND, LPARAM) { return FALSE; }
