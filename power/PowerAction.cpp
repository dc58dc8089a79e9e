// Carries out the chosen power action. Every failed step leaves its name and the
// error code in the failure report, which is shown once and never retried.
#include "Power.h"
#include "../i18n/Strings.h"

static const char FailureUnknown[] = "Unbekannt / Unknown";
static const char FailureOpenToken[] = "OpenProcessToken";
static const char FailureLookupPrivilege[] = "LookupPrivilegeValueA(SeShutdownPrivilege)";
static const char FailureAdjustPrivilege[] = "AdjustTokenPrivileges(SeShutdownPrivilege)";
static const char FailurePowerOff[] = "ExitWindowsEx(EWX_POWEROFF)";
static const char FailureReboot[] = "ExitWindowsEx(EWX_REBOOT)";
static const char FailureLogOff[] = "ExitWindowsEx(EWX_LOGOFF)";
static const char FailureLoadPowrProf[] = "LoadLibraryA(PowrProf.dll)";
static const char FailureFindSuspend[] = "GetProcAddress(SetSuspendState)";
static const char FailureSuspend[] = "SetSuspendState";

// The report's first sentence is the string table's StrErrAction.
static const char FailureFormatGerman[] = "%s\r\n\r\nFehlerstelle: %s\r\nWin32-Fehlercode: %u (0x%08X)";
static const char FailureFormatEnglish[] = "%s\r\n\r\nFailure point: %s\r\nWin32 error code: %u (0x%08X)";

static void CloseToken() {
    if (!app.tokenHandle) return;
    CloseHandle(app.tokenHandle);
    app.tokenHandle = nullptr;
}

static void FreePowrProf() {
    if (app.powrProfModule) FreeLibrary(app.powrProfModule);
    app.powrProfModule = nullptr;
    app.suspendStateFunction = nullptr;
}

int32_t EnableShutdownPrivilege() {
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &app.tokenHandle)) {
        app.failureCode = GetLastError();
        app.failurePoint = FailureOpenToken;
        app.tokenHandle = nullptr;
        return 0;
    }
    if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &app.shutdownLuid)) {
        app.failureCode = GetLastError();
        app.failurePoint = FailureLookupPrivilege;
        CloseToken();
        return 0;
    }

    app.tokenPrivileges.PrivilegeCount = 1;
    app.tokenPrivileges.Privileges[0].Luid.LowPart = app.shutdownLuid.LowPart;
    app.tokenPrivileges.Privileges[0].Luid.HighPart = app.shutdownLuid.HighPart;
    app.tokenPrivileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;

    // A token without the privilege still "succeeds" and only leaves
    // ERROR_NOT_ALL_ASSIGNED behind, so the last error must start out clear.
    SetLastError(0);
    app.adjustResult = AdjustTokenPrivileges(app.tokenHandle, FALSE, &app.tokenPrivileges, 0, nullptr, nullptr);
    if (!app.adjustResult) {
        app.failureCode = GetLastError();
        app.failurePoint = FailureAdjustPrivilege;
        CloseToken();
        return 0;
    }
    DWORD assigned = GetLastError();
    if (assigned != 0) {
        app.failureCode = assigned;
        app.failurePoint = FailureAdjustPrivilege;
        CloseToken();
        return 0;
    }
    CloseToken();
    return 1;
}

int32_t SuspendSystem(int32_t hibernate) {
    app.hibernateArg = hibernate;
    app.powrProfModule = LoadLibraryA("PowrProf.dll");
    if (!app.powrProfModule) {
        app.failureCode = GetLastError();
        app.failurePoint = FailureLoadPowrProf;
        return 0;
    }
    FARPROC address = GetProcAddress(app.powrProfModule, "SetSuspendState");
    if (!address) {
        app.failureCode = GetLastError();
        app.failurePoint = FailureFindSuspend;
        FreePowrProf();
        return 0;
    }
    app.suspendStateFunction = FunctionFrom<SetSuspendStateFn>(address);

    // The library may fail without setting an error; the report then shows 0.
    SetLastError(0);
    app.suspendResult = app.suspendStateFunction(app.hibernateArg ? TRUE : FALSE, app.forceClose ? TRUE : FALSE, FALSE);
    if (!app.suspendResult) {
        app.failureCode = GetLastError();
        app.failurePoint = FailureSuspend;
        FreePowrProf();
        return 0;
    }
    FreePowrProf();
    return app.suspendResult;
}

void ShowFailureReport() {
    bool german = app.language == 1;
    const char* format = german ? FailureFormatGerman : FailureFormatEnglish;
    const char* sentence = (german ? GermanStrings : EnglishStrings).entries[StrErrAction];
    wsprintfA(app.failureText, format, sentence, app.failurePoint, app.failureCode, app.failureCode);
    MessageBoxA(app.mainWindow, app.failureText, PRODUCT_TITLE, MB_OK | MB_ICONERROR);
}

static void ExitSession(UINT baseFlags, const char* failurePoint) {
    app.exitFlags = baseFlags;
    if (app.forceClose) app.exitFlags |= EWX_FORCE;
    if (ExitWindowsEx(app.exitFlags, 0)) return;
    app.failureCode = GetLastError();
    app.failurePoint = failurePoint;
    ShowFailureReport();
}

void ExecutePowerAction() {
    app.failurePoint = FailureUnknown;
    app.failureCode = 0;

    switch (app.action) {
    case ActionKind::ShutDown:
        if (!EnableShutdownPrivilege()) {
            ShowFailureReport();
            return;
        }
        ExitSession(EWX_POWEROFF, FailurePowerOff);
        return;
    case ActionKind::Restart:
        if (!EnableShutdownPrivilege()) {
            ShowFailureReport();
            return;
        }
        ExitSession(EWX_REBOOT, FailureReboot);
        return;
    case ActionKind::LogOff:
        ExitSession(EWX_LOGOFF, FailureLogOff);
        return;
    case ActionKind::Standby:
        if (!SuspendSystem(0)) ShowFailureReport();
        return;
    case ActionKind::Hibernate:
        if (!SuspendSystem(1)) ShowFailureReport();
        return;
    default:
        return;
    }
}
