#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

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
    // Suspended until it is in the job, so that not one instruction runs unguarded.
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, output ? TRUE : FALSE, CREATE_SUSPENDED,
                        const_cast<char*>(environment), nullptr, &startup, &info))
        return false;
    if (!enterJob()) {
        kill();
        return false;
    }
    ResumeThread(info.hThread);
    WaitForInputIdle(info.hProcess, timeoutMs);
    mainWindow = FindProcessWindow(info.dwProcessId, "#32770", PRODUCT_TITLE, timeoutMs);
    return mainWindow != nullptr;
}

bool ChildProgram::enterJob() {
    job_ = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job_ || !SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) ||
        !AssignProcessToJobObject(job_, info.hProcess))
        return false;
    if (!CreateTimerQueueTimer(&watchdog_, nullptr, EndJob, job_, lifetimeMs, 0, WT_EXECUTEONLYONCE)) {
        ADD_FAILURE() << "no watchdog: the program ends now";
        TerminateJobObject(job_, WatchdogExitCode);
    }
    return true;
}

DWORD ChildProgram::waitForExit(DWORD timeoutMs) {
    if (!info.hProcess) return STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
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

std::string EnvironmentWith(const std::vector<std::string>& assignments) {
    std::string block;
    char* environment = GetEnvironmentStringsA();
    for (const char* entry = environment; *entry; entry += strlen(entry) + 1) {
        std::string text(entry);
        bool replaced = false;
        for (const std::string& assignment : assignments) {
            std::string name = assignment.substr(0, assignment.find('=') + 1);
            if (_strnicmp(text.c_str(), name.c_str(), name.size()) == 0) replaced = true;
        }
        if (!replaced) block += text + '\0';
    }
    FreeEnvironmentStringsA(environment);
    for (const std::string& assignment : assignments) block += assignment + '\0';
    block += '\0';
    return block;
}

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
