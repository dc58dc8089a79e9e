// Starting the real Dormivex.exe under Wine's relay trace and reading which power
// and status calls it made.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"

// The calls the traces of the engine's end-to-end tests watch.
#define ENGINE_RELAY_INCLUDE \
    "user32.ExitWindowsEx;powrprof.SetSuspendState;advapi32.AdjustTokenPrivileges;user32.SetWindowTextA"

// Sets RelayInclude in this prefix's HKCU\Software\Wine\Debug.
void SetRelayInclude(const char* functions);
void ClearRelayInclude();

struct TraceCall {
    std::string function;           // e.g. "user32.ExitWindowsEx"
    std::vector<std::string> args;  // as printed: hex words, or quoted strings
};

// Dormivex.exe in this Wine session with WINEDEBUG=+relay and its output in a log
// file of the build folder.
struct TracedProgram {
    ChildProgram program;
    std::string logPath;

    TracedProgram() = default;
    TracedProgram(const TracedProgram&) = delete;
    TracedProgram& operator=(const TracedProgram&) = delete;
    ~TracedProgram();

    bool start(const std::string& name);
    std::string trace() const;
    // Every "Call" line of the log for the given function, in order.
    std::vector<TraceCall> calls(const std::string& function) const;
    // The status texts set on the main window, in order (SetWindowTextA on IDC_STATUS).
    std::vector<std::string> statusTexts() const;
    bool anyPowerCall() const;
};

// A path of the Z: drive as the Unix path it stands for.
std::string UnixPath(const std::string& windowsPath);
// The whole content of a file that another process may still be writing.
std::string ReadWholeFile(const std::string& path);

// The low byte of a traced argument (relay prints whole registers).
unsigned LowByte(const std::string& arg);
