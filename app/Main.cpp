// Start-up, the optional window-manager setter and the one message loop.
#include "App.h"
#include "../i18n/Strings.h"
#include "../ui/main/MainWindow.h"

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

// Libraries loaded by bare name ("PowrProf.dll", "Dwmapi.dll", "Advapi32.dll") must
// come from the system directory, never from the folder the program was started
// from, where anyone could have planted a DLL of that name. Older systems without
// the function keep the default search order.
void RestrictDllSearchToSystem() {
    HMODULE kernel = GetModuleHandleA("Kernel32.dll");
    if (!kernel) return;
    SetDefaultDllDirectoriesFn restrict =
        FunctionFrom<SetDefaultDllDirectoriesFn>(GetProcAddress(kernel, "SetDefaultDllDirectories"));
    if (!restrict) return;
    restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// The module stays loaded for the life of the process: both windows use the setter.
void LoadDwmSetter() {
    app.dwmSetAttribute = nullptr;
    app.dwmModule = LoadLibraryA("Dwmapi.dll");
    if (!app.dwmModule) return;
    app.dwmSetAttribute =
        FunctionFrom<DwmSetWindowAttributeFn>(GetProcAddress(app.dwmModule, "DwmSetWindowAttribute"));
}

void ApplyDwmPolicy(HWND window) {
    if (!app.dwmSetAttribute) return;
    app.dwmSetAttribute(window, 3 /* DWMWA_TRANSITIONS_FORCEDISABLED */, &app.dwmPolicyValue,
                        sizeof(app.dwmPolicyValue));
}

static void RunMessageLoop() {
    MSG message;
    for (;;) {
        BOOL result = GetMessageA(&message, nullptr, 0, 0);
        if (result == 0 || result == -1) return;
        if (app.warningWindow && IsDialogMessageA(app.warningWindow, &message)) continue;
        if (IsDialogMessageA(app.mainWindow, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void RunProgram() {
    InitAppState();
    app.instance = GetModuleHandleA(nullptr);
    RestrictDllSearchToSystem();
    RunSelfCheck();
    InitLanguage();
    LoadNoSkinSetting();
    LoadDwmSetter();

    app.cancelEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!app.cancelEvent) {
        MessageBoxA(nullptr, Text(StrErrCancelEvent), PRODUCT_TITLE, MB_ICONERROR);
        ExitProcess(1);
    }

    WORD templateId = app.noSkin == 1 ? IDD_MAIN_PLAIN : IDD_MAIN_SKINNED;
    HWND window = CreateDialogParamA(app.instance, MAKEINTRESOURCEA(templateId), nullptr, MainDialogProc, 0);
    if (!window) {
        CloseHandle(app.cancelEvent);
        app.cancelEvent = nullptr;
        ExitProcess(1);
    }
    app.mainWindow = window;

    RunMessageLoop();

    if (app.cancelEvent) {
        CloseHandle(app.cancelEvent);
        app.cancelEvent = nullptr;
    }
    ExitProcess(0);
}
