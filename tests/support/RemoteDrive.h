// Driving the real Dormivex.exe from another process of the same Wine session:
// choosing action and trigger, filling the fields and pressing START. Header-only so
// the helper programs can use it too.
#pragma once

#include <windows.h>

#include <string>

#include "../../res/resource.h"

// Checks `done` every `periodMs` until it holds; false when the time is up first.
template <typename Done>
inline bool PollUntil(Done done, DWORD timeoutMs, DWORD periodMs = 10) {
    for (DWORD start = GetTickCount(); !done(); Sleep(periodMs))
        if (GetTickCount() - start >= timeoutMs) return false;
    return true;
}

inline std::string RemoteText(HWND window) {
    char text[1024] = {};
    SendMessageA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
    return text;
}

inline std::string RemoteStatus(HWND main) { return RemoteText(GetDlgItem(main, IDC_STATUS)); }

// action 1..5 (shut down .. hibernate), trigger 1..4 (now, after, at, process).
inline void RemoteChoose(HWND main, int action, bool force, int trigger) {
    for (int i = 1; i <= 5; ++i)
        SendMessageA(GetDlgItem(main, IDC_ACT_SHUTDOWN + i - 1), BM_SETCHECK, i == action ? BST_CHECKED : 0, 0);
    SendMessageA(GetDlgItem(main, IDC_FORCE), BM_SETCHECK, force ? BST_CHECKED : BST_UNCHECKED, 0);
    for (int i = 1; i <= 4; ++i)
        SendMessageA(GetDlgItem(main, IDC_TRIG_NOW + i - 1), BM_SETCHECK, i == trigger ? BST_CHECKED : 0, 0);
}

inline void RemoteSetText(HWND main, int id, const char* text) {
    SendMessageA(GetDlgItem(main, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

inline void RemoteCountdown(HWND main, const char* hours, const char* minutes, const char* seconds) {
    RemoteSetText(main, IDC_CD_HOURS, hours);
    RemoteSetText(main, IDC_CD_MINUTES, minutes);
    RemoteSetText(main, IDC_CD_SECONDS, seconds);
}

// Presses a button of a dialog as a click would, without waiting for it. BM_CLICK
// would do it only while the dialog is active, which another process cannot ensure.
inline void RemotePress(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Waits until the main window's thread has handled all posted to it before and, in a
// second round, what those posted in turn: posted messages are handled in order, and
// a selection posted to a field shows once those before it are done. Not timers: a
// due one waits until no posted message does. False when the program ended or hangs.
inline bool RemoteSettle(HWND main, DWORD timeoutMs = 10000) {
    HWND field = GetDlgItem(main, IDC_CD_SECONDS);
    for (int round = 0; round < 2; ++round) {
        // Sent, the empty selection comes before any posted message (EM_SETSEL returns nothing).
        if (!SendMessageTimeoutA(field, EM_SETSEL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, nullptr) ||
            !PostMessageA(field, EM_SETSEL, 0, -1))
            return false;
        DWORD_PTR selection = 0;
        for (DWORD start = GetTickCount(); HIWORD(selection) == 0; Sleep(10))
            if (GetTickCount() - start >= timeoutMs ||
                !SendMessageTimeoutA(field, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &selection))
                return false;
    }
    return true;
}

// Selects the process list's entry for a process id; false when it is not listed.
inline bool RemoteSelectProcess(HWND main, DWORD processId) {
    HWND list = GetDlgItem(main, IDC_PROCESS_LIST);
    LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        if (static_cast<DWORD>(SendMessageA(list, CB_GETITEMDATA, i, 0)) != processId) continue;
        SendMessageA(list, CB_SETCURSEL, i, 0);
        return true;
    }
    return false;
}

// Waits until the STOP button's enabled state is the given one (START accepted or run over).
inline bool WaitForStopEnabled(HWND main, bool enabled, DWORD timeoutMs) {
    return PollUntil([&] { return (IsWindowEnabled(GetDlgItem(main, IDC_STOP)) != FALSE) == enabled; }, timeoutMs);
}
