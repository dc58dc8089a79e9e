// Starting the real Dormivex.exe under Wine's relay trace and reading which power
// and status calls it made.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"

// The calls the traces of the engine's end-to-end tests watch.
#define EXIT_PROCESS_CALL "KERNEL32.ExitProcess"  // as relay prints it
#define ENGINE_RELAY_INCLUDE                                                                               \
    "user32.ExitWindowsEx;powrprof.SetSuspendState;advapi32.AdjustTokenPrivileges;user32.SetWindowTextA;" \
    EXIT_PROCESS_CALL

// Sets RelayInclude in this prefix's HKCU\Software\Wine\Debug.
void SetRelayInclude(const char* functions);
void ClearRelayInclude();

struct TraceCall {
    std::string function;           // e.g. "user32.ExitWindowsEx"
    std::vector<std::string> args;  // as printed: hex words, or quoted strings
    double ms;                      // the program's own clock, from +timestamp (0 without)
    std::string thread;             // e.g. "0024"
    size_t offset;                  // where the call stands in the trace
};

// Every "Call" line of a relay trace for the given function, in order.
std::vector<TraceCall> TraceCalls(const std::string& trace, const std::string& function);
// The text of a SetWindowTextA call, as relay prints it (CR LF as \r\n).
std::string TextArg(const TraceCall& call);
// Of the SetWindowTextA calls, the warning window's sentences ("... in N seconds.").
std::vector<TraceCall> WarningSentences(const std::vector<TraceCall>& setWindowTextCalls);

// The warning opened when `due` (session ticks, the trace's clock) and counted `seconds`
// down a sentence a second from the first, which starts with `first`, and `action` came
// with the last: never early, and no later than a loaded machine's ticks can make it.
void ExpectCountdownThenAction(std::vector<TraceCall> sentences, double due, const std::string& first,
                               unsigned seconds, const TraceCall& action);

// Dormivex.exe in this Wine session with WINEDEBUG=+timestamp,+relay and its output in a log
// file of the build folder.
struct TracedProgram {
    ChildProgram program;
    std::string logPath;

    ~TracedProgram();  // not copyable: the ChildProgram is not

    bool start(const std::string& name);
    std::string trace() const;
    // Every "Call" line of the log for the given function, in order.
    std::vector<TraceCall> calls(const std::string& function) const;
    // The status texts set on the main window, in order (SetWindowTextA on IDC_STATUS).
    std::vector<std::string> statusTexts() const;
    bool anyPowerCall() const;
};

// The low bytes of a call's arguments (relay prints whole registers), e.g. BOOLEANs.
std::vector<unsigned> LowBytes(const TraceCall& call);
