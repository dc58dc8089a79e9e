#include "TestSupport.h"

#include <gtest/gtest.h>

#include "app/App.h"
#include "RemoteDrive.h"

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void ResetAppState() {
    app = AppState();
    InitAppState();
}

void DeleteSettingsKey() { RegDeleteTreeA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH); }

void StoreSetting(const char* name, DWORD type, const void* data, DWORD size, const char* key) {
    EXPECT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key, name, type, data, size), ERROR_SUCCESS) << key << "\\" << name;
}

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

// A visible top-level window of the process; a null class, caption or owner matches any.
struct WindowSearch {
    DWORD processId;
    const char *className, *caption;
    HWND owner;
    HWND found;
};

static BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->processId || !IsWindowVisible(window)) return TRUE;
    if (search->owner && GetWindow(window, GW_OWNER) != search->owner) return TRUE;
    if (search->className && ClassOf(window) != search->className) return TRUE;
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof(caption));  // sends nothing to a busy program
    if (search->caption && lstrcmpA(caption, search->caption) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

static HWND WaitForWindow(WindowSearch search, DWORD timeoutMs) {
    auto found = [&] {
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    };
    PollUntil(found, timeoutMs, 20);
    return search.found;
}

HWND FindProcessWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs) {
    return WaitForWindow({processId, className, caption, nullptr, nullptr}, timeoutMs);
}

ChildProgram::~ChildProgram() { kill(); }

// The exit code of a program the watchdog ended, which no test expects.
const UINT WatchdogExitCode = 0xDEAD;

static VOID CALLBACK EndJob(PVOID job, BOOLEAN) { TerminateJobObject(job, WatchdogExitCode); }

// Deletes SeShutdownPrivilege from the token for good; true when enabling it is then refused.
static bool RemoveShutdownPrivilege(HANDLE process) {
    HANDLE token = nullptr;
    TOKEN_PRIVILEGES change = {1, {{{0, 0}, SE_PRIVILEGE_REMOVED}}};
    bool removed = OpenProcessToken(process, TOKEN_ADJUST_PRIVILEGES, &token) &&
                   LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &change.Privileges[0].Luid) &&
                   AdjustTokenPrivileges(token, FALSE, &change, 0, nullptr, nullptr);
    change.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    removed = removed && AdjustTokenPrivileges(token, FALSE, &change, 0, nullptr, nullptr) &&
              GetLastError() == ERROR_NOT_ALL_ASSIGNED;
    if (token) CloseHandle(token);
    return removed;
}

bool ChildProgram::launch(const std::string& path, const std::string& arguments) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + path + "\" " + arguments;
    // Suspended until it is guarded. Out of any job of the test's own that lets it go:
    // a job with a UI limit cannot nest in another.
    for (DWORD flags : {DWORD{CREATE_SUSPENDED | CREATE_BREAKAWAY_FROM_JOB}, DWORD{CREATE_SUSPENDED}})
        if (!info.hProcess)
            CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                           &info);
    if (!info.hProcess || !guard()) {
        kill();
        return false;
    }
    ResumeThread(info.hThread);
    return true;
}

bool ChildProgram::start(const std::string& path) {
    if (!launch(path)) return false;
    WaitForInputIdle(info.hProcess, lifetimeMs / 4);
    mainWindow = FindProcessWindow(info.dwProcessId, "#32770", PRODUCT_TITLE, lifetimeMs / 4);
    return mainWindow != nullptr;
}

bool ChildProgram::guard() {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    JOBOBJECT_BASIC_UI_RESTRICTIONS ui = {JOB_OBJECT_UILIMIT_EXITWINDOWS};
    // Assigning fails when the child is in a job of the test's that it could not leave.
    if (RemoveShutdownPrivilege(info.hProcess) && (job_ = CreateJobObjectA(nullptr, nullptr)) != nullptr &&
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) &&
        SetInformationJobObject(job_, JobObjectBasicUIRestrictions, &ui, sizeof(ui)) &&
        AssignProcessToJobObject(job_, info.hProcess) &&
        CreateTimerQueueTimer(&watchdog_, nullptr, EndJob, job_, lifetimeMs, 0, WT_EXECUTEONLYONCE))
        return true;
    DWORD error = GetLastError();
    ADD_FAILURE() << "child " << info.dwProcessId << " left unguarded, error " << error;
    return false;
}

DWORD ChildProgram::waitForExit(DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (info.hProcess && WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    return code;
}

void ChildProgram::kill() {
    if (watchdog_) DeleteTimerQueueTimer(nullptr, watchdog_, INVALID_HANDLE_VALUE);
    watchdog_ = nullptr;
    if (job_) CloseHandle(job_);  // ends the program if it still runs
    job_ = nullptr;
    EndProcess(info);
    mainWindow = nullptr;
}

void EndProcess(PROCESS_INFORMATION& info) {
    if (info.hProcess) {
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
        CloseHandle(info.hProcess);
        if (info.hThread) CloseHandle(info.hThread);
    }
    info = {};
}

// WM_GETTEXT rather than GetWindowTextA, which does not ask controls of other processes.
std::string WindowText(HWND window) { return RemoteText(window); }

HWND FindOwnedDialog(DWORD processId, HWND owner, DWORD timeoutMs) {
    return WaitForWindow({processId, "#32770", nullptr, owner, nullptr}, timeoutMs);
}

std::string MessageBoxText(HWND box) { return WindowText(GetDlgItem(box, 0xFFFF)); }

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string UnixPath(const std::string& windowsPath) {
    std::string path = windowsPath;
    if (path.size() >= 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') path = path.substr(2);
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

std::string StoredLanguage() {
    char value[16] = {};
    DWORD size = sizeof(value);
    if (RegGetValueA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, "Language", RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return "(none)";
    return value;
}
