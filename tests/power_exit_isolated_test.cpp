// Shut down, restart and log off for real: the real Dormivex.exe with the Now trigger
// must end in exactly one ExitWindowsEx(flags, 0) about ten seconds after START.
// Under Wine that call ends the whole Wine session (with EWX_FORCE it kills every
// process of it), so each case runs in a Wine session of its own, started from a
// Unix shell with a prefix linked from a template; this test only starts the shells
// and reads their relay traces once the sessions have ended.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/HostShell.h"
#include "support/RelayTrace.h"
#include "support/TestSupport.h"

namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

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
relay='user32.ExitWindowsEx;powrprof.SetSuspendState;advapi32.AdjustTokenPrivileges;user32.SetWindowTextA'
# The mark names the traced calls, so a template of an older build is made anew.
(
  flock 9
  if [ "$(cat "$template/.dormivex-ready" 2>/dev/null)" != "$relay" ]; then
    rm -rf "$template"
    export WINEPREFIX="$template" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    "$wine" wineboot -i >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d "$relay" /f >/dev/null 2>&1
    wineserver -w
    echo "$relay" >"$template/.dormivex-ready"
  fi
) 9>"$template.lock"
# Hard links keep the copy cheap; Wine replaces its registry files rather than
# writing into them, and those are copied anyway.
rm -rf "$prefix"
cp -al "$template" "$prefix"
rm -f "$prefix"/*.reg
cp "$template"/*.reg "$prefix"/
export WINEPREFIX="$prefix" WINEDLLOVERRIDES="mscoree,mshtml="
# Out of reach of the test's job (its own wineserver; EWX_FORCE would kill a test in
# its session), so bounded here: the driver gets a minute, the program 40 s more.
WINEDEBUG=+timestamp,+relay "$wine" "$build/Dormivex.exe" >"$out.log" 2>&1 &
program=$!
WINEDEBUG=-all timeout -s KILL 60 "$wine" "$build/engine_driver.exe" "$action" "$force" 1 >"$out.driver" 2>&1
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

struct Case {
    const char* name;
    int action;
    int force;
    const char* flags;  // ExitWindowsEx's first argument, as the relay trace prints it
    bool privilege;
};
// The warning's words for the actions 1..3.
const char* const Nouns[] = {"Shut down", "Restart", "Log off"};

TEST(SessionEndingActions, NowEndsInExactlyOneExitWindowsExCallAboutTenSecondsAfterStart) {
    SKIP_UNLESS_WINE("runs the real program to ExitWindowsEx in Wine sessions started from /bin/sh");
    const std::vector<Case> cases = {
        {"shutdown", 1, 0, "00000008", true}, {"shutdown-force", 1, 1, "0000000c", true},
        {"restart", 2, 0, "00000002", true},  {"restart-force", 2, 1, "00000006", true},
        {"logoff", 3, 0, "00000000", false},  {"logoff-force", 3, 1, "00000004", false},
    };
    const std::string build = BuildFolder();
    ASSERT_TRUE(WriteFileBytes(build + "session.sh", SessionScript));
    std::string unixBuild = UnixPath(build);
    if (!unixBuild.empty() && unixBuild.back() == '/') unixBuild.pop_back();
    for (const Case& c : cases) {
        DeleteFileA((build + "session-" + c.name + ".done").c_str());
        ASSERT_TRUE(StartHostShell("\"" + unixBuild + "/session.sh\" \"" + unixBuild + "\" " + c.name + " " +
                                   std::to_string(c.action) + " " + std::to_string(c.force)));
    }

    auto ended = [&](const Case& c) {
        return GetFileAttributesA((build + "session-" + c.name + ".done").c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    const DWORD begin = GetTickCount();
    while (!std::all_of(cases.begin(), cases.end(), ended) && GetTickCount() - begin < 150000) Sleep(200);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string prefix = build + "session-" + c.name;
        EXPECT_TRUE(ended(c)) << "session never ended";
        std::string driver = ReadFileBytes(prefix + ".driver");
        ASSERT_THAT(driver, StartsWith("armed ")) << "the driver's START was taken";
        double armed = std::stod(driver.substr(6));  // the session's tick count, as the trace's
        std::string trace = ReadFileBytes(prefix + ".log");

        std::vector<TraceCall> exits = TraceCalls(trace, "user32.ExitWindowsEx");
        ASSERT_EQ(exits.size(), 1u);
        EXPECT_THAT(exits[0].args, ElementsAre(c.flags, "00000000"));

        // The session's own processes inherit the trace; count only the program's thread.
        auto ofTheProgram = [&](std::vector<TraceCall> calls) {
            calls.erase(std::remove_if(calls.begin(), calls.end(),
                                       [&](const TraceCall& call) { return call.thread != exits[0].thread; }),
                        calls.end());
            return calls;
        };
        ExpectCountdownThenAction(WarningSentences(ofTheProgram(TraceCalls(trace, "user32.SetWindowTextA"))), armed,
                                  std::string(Nouns[c.action - 1]) + " in 10 seconds.", 10, exits[0]);
        std::vector<TraceCall> adjusts = ofTheProgram(TraceCalls(trace, "advapi32.AdjustTokenPrivileges"));
        EXPECT_EQ(adjusts.size(), c.privilege ? 1u : 0u);
        if (c.privilege && !adjusts.empty()) {
            EXPECT_LT(adjusts[0].offset, exits[0].offset) << "the privilege step comes first";
        }
        EXPECT_TRUE(TraceCalls(trace, "powrprof.SetSuspendState").empty());
    }
}

}  // namespace
