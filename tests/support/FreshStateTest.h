// A test that starts from a reset AppState and no stored settings, and leaves no
// settings and no patched imports behind; whatever it runs, it cannot shut down or
// suspend the machine.
#pragma once

#include <gtest/gtest.h>

#include "IatPatch.h"
#include "TestSupport.h"

// Replaces the power calls the program's code can reach in this process: a call
// fails the test and reports success without acting. SetSuspendState is caught at
// GetProcAddress, the one way to it whatever name or call loaded PowrProf.dll: by
// its name, or by the address it resolves to (an ordinal, say). A fixture that
// records the power calls itself patches over these.
class PowerCallGuard {
public:
    PowerCallGuard() {
        lookup_ = lookupPatch_.originalAs<decltype(&GetProcAddress)>();
        if (!suspend_) suspend_ = lookup_(LoadLibraryA("PowrProf.dll"), "SetSuspendState");
    }
    PowerCallGuard(const PowerCallGuard&) = delete;
    PowerCallGuard& operator=(const PowerCallGuard&) = delete;

private:
    static BOOL WINAPI RefuseExit(UINT, DWORD) {
        ADD_FAILURE() << "the code under test reached ExitWindowsEx";
        return TRUE;
    }
    static BOOLEAN WINAPI RefuseSuspend(BOOLEAN, BOOLEAN, BOOLEAN) {
        ADD_FAILURE() << "the code under test reached SetSuspendState";
        return TRUE;
    }
    static FARPROC WINAPI Lookup(HMODULE module, LPCSTR name) {
        FARPROC found = lookup_(module, name);
        bool byName = HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0 && lstrcmpA(name, "SetSuspendState") == 0;
        if (!byName && (!found || found != suspend_)) return found;
        return AsFarProc(&RefuseSuspend);
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
