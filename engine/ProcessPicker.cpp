// The drop-down list of the user's processes whose exit can be the trigger.
#include "Engine.h"

// Background programs nobody waits for; compared with the whole file name.
static const char* const ProcessExclusionList[] = {
    "conhost.exe",          "crashhelper.exe",    "ctfmon.exe",  "nvcontainer.exe", "nvsphelper64.exe",
    "NVIDIA Broadcast.exe", "NVIDIA Overlay.exe", "svchost.exe",
};

static BOOL IsExcludedName(const char* fileName) {
    for (const char* excluded : ProcessExclusionList)
        if (lstrcmpiA(fileName, excluded) == 0) return TRUE;
    return FALSE;
}

// The first test that matches hides the entry in app.processEntry.
static BOOL IsHiddenEntry() {
    app.entryProcessId = app.processEntry.th32ProcessID;
    if (app.entryProcessId == 0) return TRUE;
    if (app.entryProcessId == app.ownProcessId) return TRUE;
    if (!app.sessionIdLookup(app.entryProcessId, &app.entrySessionId)) return TRUE;
    if (app.entrySessionId != app.ownSessionId) return TRUE;
    if (app.dcomLaunchProcessId != 0 && app.processEntry.th32ParentProcessID == app.dcomLaunchProcessId)
        return TRUE;
    return IsExcludedName(app.processEntry.szExeFile);
}

// The list's text for the process in app.processEntry, in app.entryText.
static void FormatEntry() {
    // The snapshot promises a terminated name; the format must not run past the field if it lies.
    app.processEntry.szExeFile[sizeof(app.processEntry.szExeFile) - 1] = '\0';
    wsprintfA(app.entryText, "%s   [PID %lu]", app.processEntry.szExeFile, app.processEntry.th32ProcessID);
}

// Shows the process in app.processEntry unless it is hidden; never ends the walk.
static BOOL AddShownEntry() {
    if (IsHiddenEntry()) return FALSE;
    FormatEntry();
    app.listIndex = SendMessageA(app.processList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(app.entryText));
    // CB_ERR and CB_ERRSPACE alike: the entry was not added, so there is no index to tag.
    if (app.listIndex < 0) return FALSE;
    SendMessageA(app.processList, CB_SETITEMDATA, static_cast<WPARAM>(app.listIndex),
                 static_cast<LPARAM>(app.entryProcessId));
    return FALSE;
}

// Offers each process of a fresh snapshot, in app.processEntry, to `visit` until it
// answers TRUE. -1 when no snapshot could be taken, 1 when `visit` ended the walk,
// else 0.
static int32_t WalkProcesses(BOOL (*visit)()) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    app.processSnapshot = snapshot;
    int32_t ended = 0;
    app.processEntry.dwSize = sizeof(PROCESSENTRY32);
    for (BOOL more = Process32First(app.processSnapshot, &app.processEntry); more;
         more = Process32Next(app.processSnapshot, &app.processEntry)) {
        if (!visit()) continue;
        ended = 1;
        break;
    }
    CloseHandle(app.processSnapshot);
    app.processSnapshot = nullptr;
    return ended;
}

// The process in app.processEntry has the chosen id and, under it, the text of the
// chosen entry (app.listIndex), which holds the file name the list showed.
static BOOL IsChosenEntry() {
    if (app.processEntry.th32ProcessID != app.entryProcessId) return FALSE;
    FormatEntry();
    return SendMessageA(app.processList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(app.listIndex - 1),
                        reinterpret_cast<LPARAM>(app.entryText)) == app.listIndex;
}

BOOL IsStillListedProcess(INT_PTR index, DWORD processId) {
    app.listIndex = index;
    app.entryProcessId = processId;
    return WalkProcesses(IsChosenEntry) > 0;
}

void RefreshProcessList() {
    SendMessageA(app.processList, CB_RESETCONTENT, 0, 0);

    // Without sessions there is no telling the user's processes from the system's:
    // an empty list is safer than a list of everything.
    app.sessionIdLookup = nullptr;
    HMODULE kernel = GetModuleHandleA("Kernel32.dll");
    if (!kernel) return;
    ProcessIdToSessionIdFn lookup =
        FunctionFrom<ProcessIdToSessionIdFn>(GetProcAddress(kernel, "ProcessIdToSessionId"));
    if (!lookup) return;
    app.sessionIdLookup = lookup;
    app.ownProcessId = GetCurrentProcessId();
    if (!app.sessionIdLookup(app.ownProcessId, &app.ownSessionId)) return;

    FindDcomLaunchProcessId();

    if (WalkProcesses(AddShownEntry) < 0) {
        MessageBoxA(app.mainWindow, Text(StrErrProcessList), PRODUCT_TITLE, MB_ICONERROR);
        return;
    }
    SendMessageA(app.processList, CB_SETCURSEL, 0, 0);
}

// Children of the DCOM launcher are system helpers started on demand for the user.
DWORD FindDcomLaunchProcessId() {
    app.dcomLaunchProcessId = 0;
    app.serviceManager = nullptr;
    app.dcomService = nullptr;
    app.advapiModule = nullptr;
    app.queryServiceStatus = nullptr;

    app.advapiModule = LoadLibraryA("Advapi32.dll");
    if (!app.advapiModule) return 0;
    app.queryServiceStatus =
        FunctionFrom<QueryServiceStatusExFn>(GetProcAddress(app.advapiModule, "QueryServiceStatusEx"));
    if (app.queryServiceStatus) {
        app.serviceManager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
        if (app.serviceManager) {
            app.dcomService = OpenServiceA(app.serviceManager, "DcomLaunch", SERVICE_QUERY_STATUS);
            if (app.dcomService) {
                if (app.queryServiceStatus(app.dcomService, SC_STATUS_PROCESS_INFO,
                                           reinterpret_cast<LPBYTE>(&app.serviceStatus), sizeof(app.serviceStatus),
                                           &app.bytesNeeded))
                    app.dcomLaunchProcessId = app.serviceStatus.dwProcessId;
                CloseServiceHandle(app.dcomService);
                app.dcomService = nullptr;
            }
            CloseServiceHandle(app.serviceManager);
            app.serviceManager = nullptr;
        }
    }
    FreeLibrary(app.advapiModule);
    app.advapiModule = nullptr;
    app.queryServiceStatus = nullptr;
    return app.dcomLaunchProcessId;
}
