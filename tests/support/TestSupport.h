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

// The real program, or a helper, as a child of the test that Windows itself refuses every
// power action from before its first instruction (README, "Continuous integration"): its
// token lacks SeShutdownPrivilege and its job forbids ExitWindowsEx. Backstop: the job ends
// it when the test lets go of it, even when the test dies, and a watchdog when its life is up.
struct ChildProgram {
    PROCESS_INFORMATION info = {};
    HWND mainWindow = nullptr;
    // Room for a cold start on a Windows runner, whose antivirus scans each new program.
    DWORD lifetimeMs = 60000;

    ChildProgram() = default;
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;
    ~ChildProgram();

    // Starts `path` guarded; start() then waits, half the child's life at most, for the
    // main window of the program (by default the built Dormivex.exe).
    bool launch(const std::string& path, const std::string& arguments = "");
    bool start(const std::string& path = DormivexPath());
    // Guards the process of `info` and starts the watchdog; false, the test failed, if not.
    bool guard();
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

// The whole content of a file, which another process may still be writing; empty
// when it cannot be opened.
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// True when the event (or process, or thread) is signalled now; never waits.
inline bool Signalled(HANDLE object) { return WaitForSingleObject(object, 0) == WAIT_OBJECT_0; }

// A path of the Z: drive (Wine's view of the host's root) as the host path it stands for.
std::string UnixPath(const std::string& windowsPath);
