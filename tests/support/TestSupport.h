// Shared helpers for the tests: a clean AppState and registry key, a message pump,
// and starting the real Dormivex.exe as a child process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/AppState.h"

// True under Wine, false on Windows (only Wine's ntdll exports wine_get_version).
// Tests that need Wine's host side, or that let the real program reach a power
// call, run only under Wine: on Windows that call would act on the machine itself.
bool RunningUnderWine();

// First statement of a test body or of a fixture's SetUp (elsewhere it would only
// return from the enclosing function instead of skipping the test). A cross build
// runs its tests under Wine alone (DORMIVEX_TESTS_RUN_UNDER_WINE, from CMake), so
// there a test that finds no Wine fails: a misdetection must not pass as a skip.
#ifdef DORMIVEX_TESTS_RUN_UNDER_WINE
#define WINE_NOT_FOUND_ FAIL() << "this build's tests run under Wine alone: "
#else
#define WINE_NOT_FOUND_ GTEST_SKIP()
#endif
#define SKIP_UNLESS_WINE(reason)                               \
    do {                                                       \
        if (!RunningUnderWine()) WINE_NOT_FOUND_ << (reason); \
    } while (0)

// Puts every field of the process-wide record back to its initial value.
void ResetAppState();

// Removes HKCU\Software\DormivexZEPH with everything below it.
void DeleteSettingsKey();

// Writes one value under HKCU\`key` (the program's settings key unless told),
// creating the key; a failure fails the test.
void StoreSetting(const char* name, DWORD type, const void* data, DWORD size, const char* key = SETTINGS_KEY_PATH);

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

// The real program running as a child of the test. It runs in a job that ends it
// when the test lets go of it, even when the test dies, and a watchdog ends it when
// its lifetime is up. Unless the test says why it needs longer, that is shorter than
// any armed run's way to its action (Now warns for ten seconds), counted from before
// the program starts: a run armed by a faulty program or a stalled test never acts.
struct ChildProgram {
    PROCESS_INFORMATION info = {};
    HWND mainWindow = nullptr;
    DWORD lifetimeMs = 10000;

    ChildProgram() = default;
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;
    ~ChildProgram();

    // Starts the program (by default the built Dormivex.exe) and waits for its main
    // window. `environment` is a double-NUL-terminated block or null to inherit.
    // `output`, when given, receives standard output and standard error.
    bool start(const std::string& path = DormivexPath(), const char* environment = nullptr,
               HANDLE output = nullptr, DWORD timeoutMs = 15000);
    // Puts the process of `info` into the job under a watchdog that ends it `lifetimeMs`
    // from now; false when that failed.
    bool enterJob();
    // Waits for the process to end; returns its exit code, or STILL_ACTIVE on time-out.
    // A clean exit takes a tenth of a second; the rest is room for a loaded machine.
    DWORD waitForExit(DWORD timeoutMs = 10000);
    // Closes the main window as a user would, then waits as waitForExit does.
    DWORD close() {
        PostMessageA(mainWindow, WM_CLOSE, 0, 0);
        return waitForExit();
    }
    void kill();

private:
    HANDLE job_ = nullptr;
    HANDLE watchdog_ = nullptr;
};

// Ends the process if it still runs, then closes its handles and clears `info`.
void EndProcess(PROCESS_INFORMATION& info);

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

// The whole content of a file, which another process may still be writing; empty
// when it cannot be opened.
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// True when the event (or process, or thread) is signalled now; never waits.
inline bool Signalled(HANDLE object) { return WaitForSingleObject(object, 0) == WAIT_OBJECT_0; }

// A path of the Z: drive (Wine's view of the host's root) as the host path it stands for.
std::string UnixPath(const std::string& windowsPath);
