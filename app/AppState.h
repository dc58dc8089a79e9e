// The one process-wide record. Every procedure of the program reads and writes it
// directly; the only other thread (the wait thread) touches just the fields its
// owner wrote before starting it.
//
// Every member starts at zero, so the record lives in .bss and costs no bytes of
// the file; the few non-zero starting values are set by InitAppState() as the
// first step of start-up. Nothing runs constructors of globals (the program has
// no C runtime), so the record must stay constant-initialised.
#pragma once

#include <windows.h>
#include <tlhelp32.h>
#include <winsvc.h>
#include <stdint.h>

#include "../res/resource.h"

#define PRODUCT_TITLE "Dormivex x64 0.3.4.6"

enum class ActionKind : int32_t { None = 0, ShutDown = 1, Restart = 2, LogOff = 3, Standby = 4, Hibernate = 5 };
enum class TriggerKind : int32_t { None = 0, Now = 1, Countdown = 2, AtTime = 3, ProcessExit = 4 };
enum class RunState : int32_t { Idle = 0, Waiting = 1, Warning = 2, Executing = 3 };
enum class WaitMode : int32_t { None = 0, Timeout = 1, ProcessExit = 2 };
enum class SkinPalette : uint8_t { Blue = 0, Amber = 1 };

// Private messages the wait thread (and START for short runs) posts to the main window.
const UINT MsgTriggerFired = WM_APP + 1;  // wParam: warning length in seconds
const UINT MsgWaitEnded = WM_APP + 2;     // wParam: 0 fired, 1 ended without firing; lParam: run number

enum StringId {
    StrGroupAction, StrActShutDown, StrActRestart, StrActLogOff, StrActStandby, StrActHibernate,
    StrForceClose, StrGroupWhen, StrTrigNow, StrTrigAfter, StrTrigAt, StrTrigProcessExit,
    StrRefresh, StrStart, StrStop, StrCancel, StrAbout, StrStatusReady, StrStatusWaiting,
    StrStatusStopping, StrStatusCancelled, StrStatusWarning, StrStatusExecuting, StrErrCountdown,
    StrErrTime, StrErrNoProcess, StrErrOpenProcess, StrErrProcessList, StrErrWaitThread,
    StrErrCancelEvent, StrErrAction, StrWarningFormat, StrWarnShutDown, StrWarnRestart,
    StrWarnLogOff, StrWarnStandby, StrWarnHibernate, StrAboutTitle, StrAboutText, StrWarningTitle,
    StringCount
};

struct StringTable {
    const char* entries[StringCount];
};

typedef HRESULT(WINAPI* DwmSetWindowAttributeFn)(HWND, DWORD, LPCVOID, DWORD);
typedef BOOL(WINAPI* ProcessIdToSessionIdFn)(DWORD, DWORD*);
typedef BOOL(WINAPI* QueryServiceStatusExFn)(SC_HANDLE, SC_STATUS_TYPE, LPBYTE, DWORD, LPDWORD);
typedef BOOLEAN(WINAPI* SetSuspendStateFn)(BOOLEAN, BOOLEAN, BOOLEAN);

struct AppState {
    // Shell
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HWND warningWindow = nullptr;
    HANDLE cancelEvent = nullptr;
    HMODULE dwmModule = nullptr;
    DwmSetWindowAttributeFn dwmSetAttribute = nullptr;
    BOOL dwmPolicyValue = FALSE;  // TRUE from InitAppState()

    // Start-up self-check of the program's own file
    int32_t selfCheckFailed = 0;
    char modulePath[MAX_PATH] = {};
    BYTE selfCheckBuffer[4096] = {};

    // Settings and language
    int32_t noSkin = 0;
    int32_t language = 0;
    int32_t languageReady = 0;
    StringTable activeStrings = {};

    // Main window controls
    HFONT guiFont = nullptr;
    HWND statusLabel = nullptr;
    HWND startButton = nullptr;
    HWND stopButton = nullptr;
    HWND processList = nullptr;

    // Trigger engine: choices captured at START
    ActionKind action = ActionKind::None;
    int32_t forceClose = 0;
    TriggerKind trigger = TriggerKind::None;
    WaitMode waitMode = WaitMode::None;
    uint32_t waitMilliseconds = 0;
    uint32_t warningSeconds = 0;  // 60 from InitAppState()
    HANDLE monitoredProcess = nullptr;

    // Run states and the wait thread
    RunState runState = RunState::Idle;
    uint32_t remainingSeconds = 0;
    HANDLE waitThread = nullptr;
    UINT_PTR waitRun = 0;  // counts the runs; tells the running thread's report from a late one of a run before
    HANDLE waitHandles[2] = {};
    int32_t keepingAwake = 0;  // the system is asked to stay awake for the armed run

    // Warning window
    HWND warningText = nullptr;
    char warningTextBuffer[384] = {};

    // Process picker (working values of one refresh, or of the check at START)
    ProcessIdToSessionIdFn sessionIdLookup = nullptr;
    DWORD ownProcessId = 0;
    DWORD ownSessionId = 0;
    DWORD entryProcessId = 0;
    DWORD entrySessionId = 0;
    DWORD dcomLaunchProcessId = 0;
    HANDLE processSnapshot = nullptr;
    PROCESSENTRY32 processEntry = {};
    char entryText[384] = {};
    INT_PTR listIndex = 0;
    HMODULE advapiModule = nullptr;
    QueryServiceStatusExFn queryServiceStatus = nullptr;
    SC_HANDLE serviceManager = nullptr;
    SC_HANDLE dcomService = nullptr;
    SERVICE_STATUS_PROCESS serviceStatus = {};
    DWORD bytesNeeded = 0;

    // Power action executor and its failure report
    const char* failurePoint = nullptr;
    uint32_t failureCode = 0;
    uint32_t exitFlags = 0;
    HANDLE tokenHandle = nullptr;
    LUID shutdownLuid = {};
    TOKEN_PRIVILEGES tokenPrivileges = {};
    int32_t adjustResult = 0;
    HMODULE powrProfModule = nullptr;
    SetSuspendStateFn suspendStateFunction = nullptr;
    int32_t hibernateArg = 0;
    int32_t suspendResult = 0;
    char failureText[512] = {};

    // Skinned frame
    SkinPalette skinPalette = SkinPalette::Blue;
    uint8_t topmostPinned = 0;
    uint8_t rolledUp = 0;
    uint32_t lastLogoClickTick = 0;
    int32_t savedHeight = 0;
};

extern AppState app;

// Sets the non-zero starting values of the record.
void InitAppState();

// The text of one string of the current language; read at the moment of use.
inline const char* Text(StringId id) { return app.activeStrings.entries[id]; }

// Turns the address of a function looked up by name into its real type. FARPROC
// promises no signature; GCC and clang take void (*)() as the one function type that
// matches every other, so the cast passes through it rather than through a data
// pointer, which the language leaves to the implementation.
using AnyFunction = void (*)();
template <typename Function>
inline Function FunctionFrom(FARPROC address) {
    return reinterpret_cast<Function>(reinterpret_cast<AnyFunction>(address));
}
