// Shared helpers for the tests: a clean AppState and registry key, a message pump,
// and starting the real Dormivex.exe as a child process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/AppState.h"

// True under Wine, false on Windows (only Wine's ntdll exports wine_get_version).
// Tests that need Wine's host side, or that let the real program reach a power
// call, run only under Wine: on Windows that call would act on the machine itself.
bool RunningUnderWine();

// First statement of a test body or of a fixture's SetUp (elsewhere it would only
// return from the enclosing function instead of skipping the test).
#define SKIP_UNLESS_WINE(reason)                           \
    do {                                                   \
        if (!RunningUnderWine()) GTEST_SKIP() << (reason); \
    } while (0)

// Puts every field of the process-wide record back to its initial value.
void ResetAppState();

// Removes HKCU\Software\DormivexZEPH with everything below it.
void DeleteSettingsKey();

// Folder of the running test executable, with a trailing backslash; the product
// and the test helpers are built into the same folder.
std::string BuildFolder();
std::string DormivexPath();

// Dispatches messages of this thread until `done` returns true or the time is up;
// returns the final value of `done`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
void PumpFor(DWORD milliseconds);

// Finds a top-level window of the given process by class and (optional) caption.
HWND FindProcessWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs);

// The real program running as a child of the test.
struct ChildProgram {
    PROCESS_INFORMATION info = {};
    HWND mainWindow = nullptr;

    ChildProgram() = default;
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;
    ~ChildProgram();

    // Starts the program (by default the built Dormivex.exe) and waits for its main
    // window. `environment` is a double-NUL-terminated block or null to inherit.
    // `output`, when given, receives standard output and standard error.
    bool start(const std::string& path = DormivexPath(), const char* environment = nullptr,
               HANDLE output = nullptr, DWORD timeoutMs = 15000);
    // Waits for the process to end; returns its exit code, or STILL_ACTIVE on time-out.
    DWORD waitForExit(DWORD timeoutMs = 10000);
    void kill();
};

// Reads a window's text (ANSI).
std::string WindowText(HWND window);

// The window class name, e.g. "#32770" or "BUTTON".
std::string ClassOf(HWND window);

// The stored "Language" setting as text, or "(none)" when there is none.
std::string StoredLanguage();

// A top-level dialog ("#32770") of the process whose owner is `owner`, such as a
// message box; null when none appears in time.
HWND FindOwnedDialog(DWORD processId, HWND owner, DWORD timeoutMs);

// The text of a message box (its static control 0xFFFF).
std::string MessageBoxText(HWND box);

// This process's environment with the given NAME=value assignments added or
// replaced, as a block for CreateProcessA.
std::string EnvironmentWith(const std::vector<std::string>& assignments);

// Whole-file helpers for copies of the program.
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// True when the event (or process, or thread) is signalled now; never waits.
inline bool Signalled(HANDLE object) { return WaitForSingleObject(object, 0) == WAIT_OBJECT_0; }
