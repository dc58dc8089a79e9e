// The smallest dialog program like the real one: the main window's skinned template
// with the same 27 controls (class, style, place, stock font), shown at once, and a
// message loop like the real one; no settings, no process list, no self-drawn frame.
// With the argument "bare" it shows the empty dialog only. The start-up benchmark
// (tools/bench-ui.sh) builds it with the program's resources and compiler flags and
// compares the real program's start with it. Without those resources it exits with 1.
#include <windows.h>

struct Control {
    int id;
    const char* className;
    const char* text;
    DWORD style, extendedStyle;
    int x, y, width, height;
};

static const Control Controls[] = {
    {1000, "BUTTON", "Action", 0x50000007, 0, 14, 32, 510, 100},
    {1001, "BUTTON", "Shut down", 0x50030009, 0, 30, 56, 125, 22},
    {1002, "BUTTON", "Restart", 0x50010009, 0, 170, 56, 110, 22},
    {1003, "BUTTON", "Log off", 0x50010009, 0, 300, 56, 100, 22},
    {1004, "BUTTON", "Standby", 0x50010009, 0, 30, 88, 110, 22},
    {1005, "BUTTON", "Hibernate", 0x50010009, 0, 170, 88, 120, 22},
    {1006, "BUTTON", "Force programs to close", 0x50010003, 0, 300, 88, 214, 22},
    {1100, "BUTTON", "When?", 0x50000007, 0, 14, 142, 510, 190},
    {1101, "BUTTON", "Now", 0x50030009, 0, 30, 167, 100, 22},
    {1102, "BUTTON", "After:", 0x50010009, 0, 30, 200, 72, 22},
    {1201, "EDIT", "01", 0x50012080, WS_EX_CLIENTEDGE, 112, 197, 42, 24},
    {0, "STATIC", ":", 0x50000000, 0, 159, 200, 10, 20},
    {1202, "EDIT", "00", 0x50012080, WS_EX_CLIENTEDGE, 174, 197, 42, 24},
    {0, "STATIC", ":", 0x50000000, 0, 221, 200, 10, 20},
    {1203, "EDIT", "00", 0x50012080, WS_EX_CLIENTEDGE, 236, 197, 42, 24},
    {1103, "BUTTON", "At:", 0x50010009, 0, 30, 234, 72, 22},
    {1211, "EDIT", "07", 0x50012080, WS_EX_CLIENTEDGE, 112, 231, 42, 24},
    {0, "STATIC", ":", 0x50000000, 0, 159, 234, 10, 20},
    {1212, "EDIT", "00", 0x50012080, WS_EX_CLIENTEDGE, 174, 231, 42, 24},
    {1104, "BUTTON", "When process exits:", 0x50010009, 0, 30, 268, 150, 22},
    {1221, "COMBOBOX", nullptr, 0x50210103, 0, 42, 294, 325, 220},
    {1222, "BUTTON", "Refresh", 0x50018000, 0, 378, 293, 98, 27},
    {1301, "STATIC", "Ready.", 0x50000000, 0, 18, 343, 505, 22},
    {1302, "BUTTON", "START", 0x50018000, 0, 18, 372, 185, 40},
    {1303, "BUTTON", "STOP", 0x50018000, 0, 215, 372, 135, 40},
    {1304, "BUTTON", "DE | EN", 0x50018000, 0, 365, 388, 70, 24},
    {1305, "BUTTON", "About", 0x50018000, 0, 443, 388, 80, 24},
};

static bool bare = false;

static INT_PTR CALLBACK MinimalDialogProc(HWND window, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (!bare) {
            HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
            for (const Control& control : Controls) {
                HWND child = CreateWindowExA(control.extendedStyle, control.className, control.text, control.style,
                                             control.x, control.y, control.width, control.height, window,
                                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                             GetModuleHandleA(nullptr), nullptr);
                SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
            }
        }
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    bare = lstrcmpiA(commandLine, "bare") == 0;
    HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(101), nullptr, MinimalDialogProc, 0);
    if (!window) return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
