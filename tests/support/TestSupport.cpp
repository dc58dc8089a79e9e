#include "TestSupport.h"

#include <chrono>

void ResetAppState() { app = AppState(); }

void DeleteSettingsKey() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\DormivexZEPH"); }

std::string BuildFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string DormivexPath() { return BuildFolder() + "Dormivex.exe"; }

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) continue;
            if (app.warningWindow && IsDialogMessageA(app.warningWindow, &message)) continue;
            if (app.mainWindow && IsDialogMessageA(app.mainWindow, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpFor(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* caption;
    HWND found;
};

static BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
    char text[256] = {};
    GetClassNameA(window, text, sizeof(text));
    if (search->className && lstrcmpA(text, search->className) != 0) return TRUE;
    if (search->caption) {
        GetWindowTextA(window, text, sizeof(text));
        if (lstrcmpA(text, search->caption) != 0) return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND FindProcessWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        WindowSearch search = {processId, className, caption, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found && IsWindowVisible(search.found)) return search.found;
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(20);
    }
}

ChildProgram::~ChildProgram() { kill(); }

bool ChildProgram::start(const std::string& path, const char* environment, HANDLE output, DWORD timeoutMs) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    std::string commandLine = "\"" + path + "\"";
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, output ? TRUE : FALSE, 0,
                        const_cast<char*>(environment), nullptr, &startup, &info))
        return false;
    WaitForInputIdle(info.hProcess, timeoutMs);
    mainWindow = FindProcessWindow(info.dwProcessId, "#32770", PRODUCT_TITLE, timeoutMs);
    return mainWindow != nullptr;
}

DWORD ChildProgram::waitForExit(DWORD timeoutMs) {
    if (!info.hProcess) return STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
}

void ChildProgram::kill() {
    if (info.hProcess) {
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info.hProcess, 99);
            WaitForSingleObject(info.hProcess, 5000);
        }
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    info = {};
    mainWindow = nullptr;
}

std::string WindowText(HWND window) {
    // WM_GETTEXT rather than GetWindowTextA, which does not ask controls of other processes.
    char text[1024] = {};
    SendMessageA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
    return text;
}
