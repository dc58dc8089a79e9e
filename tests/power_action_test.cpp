// The power action executor with every platform step replaced by a recording fake:
// flags, order of the steps, the failure points with their codes, and that no token
// handle or power library is left behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "i18n/Strings.h"
#include "power/Power.h"
#include "support/FreshStateTest.h"
#include "support/IatPatch.h"
#include "support/MessageBoxRecorder.h"
#include "support/TestSupport.h"

namespace {

struct Behaviour {
    DWORD openTokenError = 0;        // non-zero: OpenProcessToken fails with it
    DWORD lookupError = 0;           // non-zero: LookupPrivilegeValueA fails with it
    DWORD adjustFailError = 0;       // non-zero: AdjustTokenPrivileges returns 0 with it
    DWORD adjustLeftError = 0;       // non-zero: AdjustTokenPrivileges returns TRUE, leaves it
    DWORD exitError = 0;             // non-zero: ExitWindowsEx returns 0 with it
    DWORD loadError = 0;             // non-zero: LoadLibraryA("PowrProf.dll") fails with it
    DWORD procError = 0;             // non-zero: GetProcAddress(SetSuspendState) fails with it
    bool suspendFails = false;       // SetSuspendState returns FALSE ...
    DWORD suspendError = 0;          // ... leaving this error (0: none)
};

Behaviour behave;
std::vector<std::string> steps;
HANDLE openedToken = nullptr;
HMODULE loadedPowrProf = nullptr;
int openTokens = 0;  // opened minus closed
int loadedModules = 0;
IatPatch* openTokenPatch = nullptr;
IatPatch* closePatch = nullptr;
IatPatch* loadPatch = nullptr;
IatPatch* procPatch = nullptr;
IatPatch* freePatch = nullptr;

std::string Hex(DWORD value) {
    char text[16];
    wsprintfA(text, "%X", value);
    return text;
}

BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    steps.push_back("OpenProcessToken(" + std::string(process == GetCurrentProcess() ? "self" : "other") + "," +
                    Hex(access) + ")");
    if (behave.openTokenError) {
        SetLastError(behave.openTokenError);
        return FALSE;
    }
    BOOL ok = openTokenPatch->originalAs<decltype(&OpenProcessToken)>()(process, access, token);
    if (ok) {
        openedToken = *token;
        ++openTokens;
    }
    return ok;
}

BOOL WINAPI FakeLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
    steps.push_back(std::string("LookupPrivilegeValueA(") + (system ? system : "local") + "," + name + ")");
    if (behave.lookupError) {
        SetLastError(behave.lookupError);
        return FALSE;
    }
    luid->LowPart = 0x13;
    luid->HighPart = 0x7;
    return TRUE;
}

BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES privileges, DWORD length,
                                      PTOKEN_PRIVILEGES previous, PDWORD returnLength) {
    char text[160];
    wsprintfA(text, "AdjustTokenPrivileges(%s,%d,%lu,%lX:%lX,%lX,%lu,%s,%s,lastError=%lu)",
              token == openedToken ? "token" : "other", disableAll, privileges->PrivilegeCount,
              privileges->Privileges[0].Luid.HighPart, privileges->Privileges[0].Luid.LowPart,
              privileges->Privileges[0].Attributes, length, previous ? "prev" : "null",
              returnLength ? "len" : "null", GetLastError());
    steps.push_back(text);
    if (behave.adjustFailError) {
        SetLastError(behave.adjustFailError);
        return FALSE;
    }
    SetLastError(behave.adjustLeftError);
    return TRUE;
}

BOOL WINAPI FakeCloseHandle(HANDLE handle) {
    if (handle && handle == openedToken) {
        steps.push_back("CloseHandle(token)");
        --openTokens;
        openedToken = nullptr;
    }
    return closePatch->originalAs<decltype(&CloseHandle)>()(handle);
}

BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reason) {
    steps.push_back("ExitWindowsEx(" + Hex(flags) + "," + Hex(reason) + ")");
    if (behave.exitError) {
        SetLastError(behave.exitError);
        return FALSE;
    }
    return TRUE;
}

HMODULE WINAPI FakeLoadLibraryA(LPCSTR name) {
    if (lstrcmpiA(name, "PowrProf.dll") != 0) return loadPatch->originalAs<decltype(&LoadLibraryA)>()(name);
    steps.push_back(std::string("LoadLibraryA(") + name + ")");
    if (behave.loadError) {
        SetLastError(behave.loadError);
        return nullptr;
    }
    loadedPowrProf = loadPatch->originalAs<decltype(&LoadLibraryA)>()(name);
    if (loadedPowrProf) ++loadedModules;
    return loadedPowrProf;
}

BOOLEAN WINAPI FakeSetSuspendState(BOOLEAN hibernate, BOOLEAN force, BOOLEAN wakeupDisabled) {
    char text[80];
    wsprintfA(text, "SetSuspendState(%d,%d,%d,lastError=%lu)", hibernate, force, wakeupDisabled, GetLastError());
    steps.push_back(text);
    if (!behave.suspendFails) return TRUE;
    if (behave.suspendError) SetLastError(behave.suspendError);
    return FALSE;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
    if (module != loadedPowrProf || reinterpret_cast<ULONG_PTR>(name) <= 0xFFFF)
        return procPatch->originalAs<decltype(&GetProcAddress)>()(module, name);
    steps.push_back(std::string("GetProcAddress(PowrProf,") + name + ")");
    if (behave.procError) {
        SetLastError(behave.procError);
        return nullptr;
    }
    if (lstrcmpA(name, "SetSuspendState") != 0) return nullptr;
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeSetSuspendState));
}

BOOL WINAPI FakeFreeLibrary(HMODULE module) {
    if (module && module == loadedPowrProf) {
        steps.push_back("FreeLibrary(PowrProf)");
        --loadedModules;
        loadedPowrProf = nullptr;
    }
    return freePatch->originalAs<decltype(&FreeLibrary)>()(module);
}

class PowerActionTest : public FreshStateTest {
protected:
    void SetUp() override {
        FreshStateTest::SetUp();
        app.instance = GetModuleHandleA(nullptr);
        InitLanguage();
        app.language = 0;
        LoadActiveStrings();
        behave = Behaviour();
        steps.clear();
        openedToken = nullptr;
        loadedPowrProf = nullptr;
        openTokens = 0;
        loadedModules = 0;
        openTokenPatch = patches.add("advapi32.dll", "OpenProcessToken", AsPatch(&FakeOpenProcessToken));
        patches.add("advapi32.dll", "LookupPrivilegeValueA", AsPatch(&FakeLookupPrivilegeValueA));
        patches.add("advapi32.dll", "AdjustTokenPrivileges", AsPatch(&FakeAdjustTokenPrivileges));
        closePatch = patches.add("kernel32.dll", "CloseHandle", AsPatch(&FakeCloseHandle));
        patches.add("user32.dll", "ExitWindowsEx", AsPatch(&FakeExitWindowsEx));
        loadPatch = patches.add("kernel32.dll", "LoadLibraryA", AsPatch(&FakeLoadLibraryA));
        procPatch = patches.add("kernel32.dll", "GetProcAddress", AsPatch(&FakeGetProcAddress));
        freePatch = patches.add("kernel32.dll", "FreeLibrary", AsPatch(&FakeFreeLibrary));
    }

    void TearDown() override {
        FreshStateTest::TearDown();
        ResetAppState();
    }

    void Run(ActionKind action, int force) {
        app.action = action;
        app.forceClose = force;
        ExecutePowerAction();
        EXPECT_EQ(openTokens, 0) << "token handle left open";
        EXPECT_EQ(loadedModules, 0) << "PowrProf.dll left loaded";
        EXPECT_EQ(app.tokenHandle, nullptr);
        EXPECT_EQ(app.powrProfModule, nullptr);
        EXPECT_EQ(app.suspendStateFunction, nullptr);
    }

    MessageBoxRecorder boxes;
};

const std::vector<std::string> PrivilegeSteps = {
    "OpenProcessToken(self,28)",
    "LookupPrivilegeValueA(local,SeShutdownPrivilege)",
    "AdjustTokenPrivileges(token,0,1,7:13,2,0,null,null,lastError=0)",
    "CloseHandle(token)",
};

std::vector<std::string> With(std::vector<std::string> first, const std::vector<std::string>& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

std::string EnglishReport(const std::string& point, const std::string& code) {
    return "The selected Windows action could not be executed.\r\n\r\nFailure point: " + point +
           "\r\nWin32 error code: " + code;
}

TEST_F(PowerActionTest, EachActionMakesExactlyItsCallsAndShowsNothingOnSuccess) {
    struct Case {
        ActionKind action;
        int force;
        std::vector<std::string> expected;
    };
    const std::vector<std::string> suspend = {"LoadLibraryA(PowrProf.dll)", "GetProcAddress(PowrProf,SetSuspendState)"};
    const std::vector<Case> cases = {
        {ActionKind::ShutDown, 0, With(PrivilegeSteps, {"ExitWindowsEx(8,0)"})},
        {ActionKind::ShutDown, 1, With(PrivilegeSteps, {"ExitWindowsEx(C,0)"})},
        {ActionKind::Restart, 0, With(PrivilegeSteps, {"ExitWindowsEx(2,0)"})},
        {ActionKind::Restart, 1, With(PrivilegeSteps, {"ExitWindowsEx(6,0)"})},
        {ActionKind::LogOff, 0, {"ExitWindowsEx(0,0)"}},
        {ActionKind::LogOff, 1, {"ExitWindowsEx(4,0)"}},
        {ActionKind::Standby, 0, With(suspend, {"SetSuspendState(0,0,0,lastError=0)", "FreeLibrary(PowrProf)"})},
        {ActionKind::Standby, 1, With(suspend, {"SetSuspendState(0,1,0,lastError=0)", "FreeLibrary(PowrProf)"})},
        {ActionKind::Hibernate, 0, With(suspend, {"SetSuspendState(1,0,0,lastError=0)", "FreeLibrary(PowrProf)"})},
        {ActionKind::Hibernate, 1, With(suspend, {"SetSuspendState(1,1,0,lastError=0)", "FreeLibrary(PowrProf)"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("action " + std::to_string(static_cast<int>(c.action)) + " force " + std::to_string(c.force));
        steps.clear();
        boxes.clear();
        SetLastError(1234);  // a stale error must not leak into the privilege or suspend checks
        Run(c.action, c.force);
        EXPECT_EQ(steps, c.expected);
        EXPECT_TRUE(boxes.calls().empty());
    }
}

TEST_F(PowerActionTest, ForceFlagIsTestedAsNonZero) {
    Run(ActionKind::LogOff, 7);
    EXPECT_EQ(steps, std::vector<std::string>({"ExitWindowsEx(4,0)"}));
    steps.clear();
    Run(ActionKind::Hibernate, 0x100);  // must not be truncated to a BOOLEAN 0
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[2], "SetSuspendState(1,1,0,lastError=0)");
}

TEST_F(PowerActionTest, ActionOutsideTheTableDoesNothing) {
    Run(ActionKind::None, 1);
    Run(static_cast<ActionKind>(6), 0);
    EXPECT_TRUE(steps.empty());
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(PowerActionTest, EveryFailurePointIsReportedOnceWithItsCode) {
    struct Case {
        const char* name;
        ActionKind action;
        void (*arrange)();
        std::vector<std::string> expectedSteps;
        std::string point;
        std::string code;
    };
    const std::vector<Case> cases = {
        {"open token", ActionKind::ShutDown, [] { behave.openTokenError = 5; },
         {"OpenProcessToken(self,28)"}, "OpenProcessToken", "5 (0x00000005)"},
        {"lookup", ActionKind::Restart, [] { behave.lookupError = 1313; },
         {PrivilegeSteps[0], PrivilegeSteps[1], "CloseHandle(token)"},
         "LookupPrivilegeValueA(SeShutdownPrivilege)", "1313 (0x00000521)"},
        {"adjust returns 0", ActionKind::ShutDown, [] { behave.adjustFailError = 6; },
         {PrivilegeSteps[0], PrivilegeSteps[1], PrivilegeSteps[2], "CloseHandle(token)"},
         "AdjustTokenPrivileges(SeShutdownPrivilege)", "6 (0x00000006)"},
        {"privilege not held", ActionKind::Restart, [] { behave.adjustLeftError = ERROR_NOT_ALL_ASSIGNED; },
         PrivilegeSteps, "AdjustTokenPrivileges(SeShutdownPrivilege)", "1300 (0x00000514)"},
        {"power off refused", ActionKind::ShutDown, [] { behave.exitError = 1115; },
         With(PrivilegeSteps, {"ExitWindowsEx(8,0)"}), "ExitWindowsEx(EWX_POWEROFF)", "1115 (0x0000045B)"},
        {"reboot refused", ActionKind::Restart, [] { behave.exitError = 5; },
         With(PrivilegeSteps, {"ExitWindowsEx(2,0)"}), "ExitWindowsEx(EWX_REBOOT)", "5 (0x00000005)"},
        {"log off refused", ActionKind::LogOff, [] { behave.exitError = 0x80070005; },
         {"ExitWindowsEx(0,0)"}, "ExitWindowsEx(EWX_LOGOFF)", "2147942405 (0x80070005)"},
        {"no library", ActionKind::Standby, [] { behave.loadError = 126; },
         {"LoadLibraryA(PowrProf.dll)"}, "LoadLibraryA(PowrProf.dll)", "126 (0x0000007E)"},
        {"no export", ActionKind::Hibernate, [] { behave.procError = 127; },
         {"LoadLibraryA(PowrProf.dll)", "GetProcAddress(PowrProf,SetSuspendState)", "FreeLibrary(PowrProf)"},
         "GetProcAddress(SetSuspendState)", "127 (0x0000007F)"},
        {"suspend fails silently", ActionKind::Standby, [] { behave.suspendFails = true; },
         {"LoadLibraryA(PowrProf.dll)", "GetProcAddress(PowrProf,SetSuspendState)",
          "SetSuspendState(0,0,0,lastError=0)", "FreeLibrary(PowrProf)"},
         "SetSuspendState", "0 (0x00000000)"},
        {"suspend fails with code", ActionKind::Hibernate,
         [] {
             behave.suspendFails = true;
             behave.suspendError = 50;
         },
         {"LoadLibraryA(PowrProf.dll)", "GetProcAddress(PowrProf,SetSuspendState)",
          "SetSuspendState(1,0,0,lastError=0)", "FreeLibrary(PowrProf)"},
         "SetSuspendState", "50 (0x00000032)"},
    };
    app.mainWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));  // the owner is only passed through
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        behave = Behaviour();
        c.arrange();
        steps.clear();
        boxes.clear();
        SetLastError(77);
        Run(c.action, 0);
        EXPECT_EQ(steps, c.expectedSteps);
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_EQ(boxes.calls()[0].text, EnglishReport(c.point, c.code));
        EXPECT_EQ(boxes.calls()[0].caption, PRODUCT_TITLE);
        EXPECT_EQ(boxes.calls()[0].flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
        EXPECT_EQ(boxes.calls()[0].owner, app.mainWindow);
        EXPECT_EQ(std::string(app.failurePoint), c.point);
    }
}

TEST_F(PowerActionTest, ReportFollowsTheLanguageButNotThePointText) {
    behave.adjustLeftError = ERROR_NOT_ALL_ASSIGNED;
    app.language = 1;
    Run(ActionKind::ShutDown, 1);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text,
              "Die gewaehlte Windows-Aktion konnte nicht ausgefuehrt werden.\r\n\r\n"
              "Fehlerstelle: AdjustTokenPrivileges(SeShutdownPrivilege)\r\n"
              "Win32-Fehlercode: 1300 (0x00000514)");
    EXPECT_THAT(steps, ::testing::Each(::testing::Not(::testing::HasSubstr("ExitWindowsEx"))));

    boxes.clear();
    app.language = 2;  // anything but German reads English
    Run(ActionKind::ShutDown, 0);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text,
              EnglishReport("AdjustTokenPrivileges(SeShutdownPrivilege)", "1300 (0x00000514)"));
}

TEST_F(PowerActionTest, ReportStartsAfreshForEveryRequest) {
    behave.exitError = 5;
    Run(ActionKind::LogOff, 0);
    behave = Behaviour();
    Run(ActionKind::LogOff, 0);
    EXPECT_EQ(std::string(app.failurePoint), "Unbekannt / Unknown");
    EXPECT_EQ(app.failureCode, 0u);
}

}  // namespace
