// A test that starts from a reset AppState and no stored settings, leaves no settings
// and no patched imports behind, and cannot shut down or suspend the machine.
#pragma once

#include <gtest/gtest.h>

#include "IatPatch.h"
#include "TestSupport.h"

// Replaces the power calls the program's code can reach: a call fails the test and
// acts as done. Both are caught at GetProcAddress too, by name or by what it resolves
// to, whatever loaded their DLL. A fixture recording them patches over.
class PowerCallGuard {
public:
    PowerCallGuard() {
        lookup_ = lookupPatch_.originalAs<decltype(&GetProcAddress)>();
        for (auto& refusal : refusals_)
            if (!refusal.original) refusal.original = lookup_(LoadLibraryA(refusal.dll), refusal.name);
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
        bool byName = HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0;
        for (const auto& refusal : refusals_)
            if ((byName && lstrcmpA(name, refusal.name) == 0) || (found && found == refusal.original))
                return refusal.replacement;
        return found;
    }

    struct Refusal { const char *dll, *name; FARPROC replacement, original; };
    static inline Refusal refusals_[] = {{"user32.dll", "ExitWindowsEx", AsFarProc(&RefuseExit), nullptr},
                                         {"PowrProf.dll", "SetSuspendState", AsFarProc(&RefuseSuspend), nullptr}};
    static inline decltype(&GetProcAddress) lookup_ = nullptr;
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
