// A test that starts from a reset AppState and no stored settings, leaves no settings
// and no patched imports behind, and cannot shut down or suspend the machine.
#pragma once

#include <gtest/gtest.h>

#include "IatPatch.h"
#include "TestSupport.h"

// Replaces the power calls the program's code can reach: a call fails the test and
// acts as done. SetSuspendState is caught at GetProcAddress, by its name or by what it
// resolves to, whatever loaded PowrProf.dll. A fixture recording them patches over.
class PowerCallGuard {
public:
    PowerCallGuard() {
        lookup_ = lookupPatch_.originalAs<decltype(&GetProcAddress)>();
        if (!suspend_) suspend_ = lookup_(LoadLibraryA("PowrProf.dll"), "SetSuspendState");
    }

private:
    static BOOLEAN Refuse(const char* call) {
        ADD_FAILURE() << "the code under test reached " << call;
        return TRUE;
    }
    static BOOL WINAPI RefuseExit(UINT, DWORD) { return Refuse("ExitWindowsEx"); }
    static BOOLEAN WINAPI RefuseSuspend(BOOLEAN, BOOLEAN, BOOLEAN) { return Refuse("SetSuspendState"); }
    static FARPROC WINAPI Lookup(HMODULE module, LPCSTR name) {
        FARPROC found = lookup_(module, name);
        bool byName = HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0 && lstrcmpA(name, "SetSuspendState") == 0;
        return byName || (found && found == suspend_) ? AsFarProc(&RefuseSuspend) : found;
    }

    static inline decltype(&GetProcAddress) lookup_ = nullptr;
    static inline FARPROC suspend_ = nullptr;
    IatPatch exit_{"user32.dll", "ExitWindowsEx", AsPatch(&RefuseExit)};
    IatPatch lookupPatch_{"kernel32.dll", "GetProcAddress", AsPatch(&Lookup)};
};

class FreshStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        DeleteSettingsKey();
    }
    void TearDown() override {
        patches.clear();
        DeleteSettingsKey();
    }

    PowerCallGuard guard;  // before the patches, which lie over it
    IatPatches patches;
};
