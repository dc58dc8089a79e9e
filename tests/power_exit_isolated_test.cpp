// Shut down, restart and log off for real: the real Dormivex.exe with the Now trigger
// must end in exactly one ExitWindowsEx(flags, 0) about ten seconds after START.
// Under Wine that call ends the whole Wine session (with EWX_FORCE it kills every
// process of it), so each case runs in a Wine session of its own, started from a
// Unix shell with a prefix linked from a template; this test only starts the shells
// and reads their relay traces once the sessions have ended.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/RelayTrace.h"
#include "support/TestSupport.h"

namespace {

const char SessionScript[] = R"SH(#!/bin/sh
# session.sh BUILD NAME ACTION FORCE: Dormivex.exe with Now in a Wine session of its own.
build=$1 name=$2 action=$3 force=$4
# Nothing of this shell may keep the test runner's output open.
exec </dev/null >/dev/null 2>&1
wine=/usr/lib/wine/wine64
template=$build/wineprefix-session-template
prefix=$build/wineprefix-session-$name
out=$build/session-$name
rm -f "$out.log" "$out.driver" "$out.done"
(
  flock 9
  if [ ! -f "$template/.dormivex-ready" ]; then
    rm -rf "$template"
    export WINEPREFIX="$template" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    "$wine" wineboot -i >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude \
      /d 'user32.ExitWindowsEx;powrprof.SetSuspendState;advapi32.AdjustTokenPrivileges' /f >/dev/null 2>&1
    wineserver -w
    touch "$template/.dormivex-ready"
  fi
) 9>"$template.lock"
# Hard links keep the copy cheap; Wine replaces its registry files rather than
# writing into them, and those are copied anyway.
rm -rf "$prefix"
cp -al "$template" "$prefix"
rm -f "$prefix"/*.reg
cp "$template"/*.reg "$prefix"/
export WINEPREFIX="$prefix" WINEDLLOVERRIDES="mscoree,mshtml="
WINEDEBUG=+timestamp,+relay "$wine" "$build/Dormivex.exe" >"$out.log" 2>&1 &
program=$!
WINEDEBUG=-all "$wine" "$build/engine_driver.exe" "$action" "$force" 1 >"$out.driver" 2>&1
# The session's end takes the program with it; give up after 40 seconds.
i=0
while [ $i -lt 400 ] && [ -e /proc/$program ] && ! grep -q ') Z' /proc/$program/stat; do
  sleep 0.1
  i=$((i + 1))
done
kill -9 $program 2>/dev/null
wait $program
wineserver -k 2>/dev/null
echo done >"$out.done"
)SH";

bool WriteWholeFile(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

struct Case {
    const char* name;
    int action;
    int force;
    const char* expectedCall;  // as the relay trace prints it
    bool privilege;
};

// "123.456:0024:Call user32.ExitWindowsEx(..." -> every call line with its time in ms.
struct TimedCall {
    double ms;
    std::string line;
    size_t offset;  // where the line starts in the trace
};

// The thread id of a relay line ("123.456:002c:Call ..." -> "002c").
std::string ThreadOf(const std::string& line) {
    size_t first = line.find(':');
    size_t second = line.find(':', first + 1);
    return first == std::string::npos || second == std::string::npos ? "" : line.substr(first + 1, second - first - 1);
}

std::vector<TimedCall> CallLines(const std::string& trace, const std::string& function) {
    std::vector<TimedCall> found;
    std::string marker = "Call " + function + "(";
    size_t start = 0;
    while (start < trace.size()) {
        size_t end = trace.find('\n', start);
        if (end == std::string::npos) end = trace.size();
        std::string line = trace.substr(start, end - start);
        if (line.find(marker) != std::string::npos) found.push_back({std::atof(line.c_str()) * 1000.0, line, start});
        start = end + 1;
    }
    return found;
}

TEST(SessionEndingActions, NowEndsInExactlyOneExitWindowsExCallAboutTenSecondsAfterStart) {
    SKIP_UNLESS_WINE("runs the real program to ExitWindowsEx in Wine sessions started from /bin/sh");
    const std::vector<Case> cases = {
        {"shutdown", 1, 0, "Call user32.ExitWindowsEx(00000008,00000000)", true},
        {"shutdown-force", 1, 1, "Call user32.ExitWindowsEx(0000000c,00000000)", true},
        {"restart", 2, 0, "Call user32.ExitWindowsEx(00000002,00000000)", true},
        {"restart-force", 2, 1, "Call user32.ExitWindowsEx(00000006,00000000)", true},
        {"logoff", 3, 0, "Call user32.ExitWindowsEx(00000000,00000000)", false},
        {"logoff-force", 3, 1, "Call user32.ExitWindowsEx(00000004,00000000)", false},
    };
    const std::string build = BuildFolder();
    ASSERT_TRUE(WriteWholeFile(build + "session.sh", SessionScript));
    std::string unixBuild = UnixPath(build);
    if (!unixBuild.empty() && unixBuild.back() == '/') unixBuild.pop_back();
    for (const Case& c : cases) {
        DeleteFileA((build + "session-" + c.name + ".done").c_str());
        std::string command = "/bin/sh \"" + unixBuild + "/session.sh\" \"" + unixBuild + "\" " + c.name + " " +
                              std::to_string(c.action) + " " + std::to_string(c.force);
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION shell = {};
        ASSERT_TRUE(CreateProcessA("/bin/sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &shell));
        if (shell.hProcess) CloseHandle(shell.hProcess);
        if (shell.hThread) CloseHandle(shell.hThread);
    }

    // A Unix shell cannot be waited on from here: wait for the marks it leaves.
    DWORD begin = GetTickCount();
    for (const Case& c : cases) {
        std::string done = build + "session-" + c.name + ".done";
        while (GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - begin < 150000)
            Sleep(200);
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string prefix = build + "session-" + c.name;
        EXPECT_NE(GetFileAttributesA((prefix + ".done").c_str()), INVALID_FILE_ATTRIBUTES) << "session never ended";
        std::string driver = ReadWholeFile(prefix + ".driver");
        ASSERT_EQ(driver.rfind("armed ", 0), 0u) << driver;
        double armedMs = std::atof(driver.c_str() + 6);
        std::string trace = ReadWholeFile(prefix + ".log");

        std::vector<TimedCall> exits = CallLines(trace, "user32.ExitWindowsEx");
        ASSERT_EQ(exits.size(), 1u);
        EXPECT_NE(exits[0].line.find(c.expectedCall), std::string::npos) << exits[0].line;
        double afterStart = exits[0].ms - armedMs;
        EXPECT_GE(afterStart, 9000.0);
        EXPECT_LE(afterStart, 13000.0);

        // The session's own processes inherit the trace; count only the program's thread.
        std::vector<TimedCall> adjusts;
        for (const TimedCall& call : CallLines(trace, "advapi32.AdjustTokenPrivileges"))
            if (ThreadOf(call.line) == ThreadOf(exits[0].line)) adjusts.push_back(call);
        EXPECT_EQ(adjusts.size(), c.privilege ? 1u : 0u);
        if (c.privilege && !adjusts.empty()) {
            EXPECT_LT(adjusts[0].offset, exits[0].offset) << "the privilege step comes first";
        }
        EXPECT_TRUE(CallLines(trace, "powrprof.SetSuspendState").empty());
    }
}

}  // namespace
