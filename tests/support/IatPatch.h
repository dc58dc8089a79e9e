// Replaces one imported function in the test executable's import address table for
// the lifetime of the object; the production code linked into the test then calls
// the replacement. The original address is put back on destruction.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

class IatPatch {
public:
    IatPatch(const char* dllName, const char* functionName, void* replacement);
    ~IatPatch();
    IatPatch(const IatPatch&) = delete;
    IatPatch& operator=(const IatPatch&) = delete;

    bool active() const { return slot_ != nullptr; }
    void* original() const { return original_; }
    template <typename Function>
    Function originalAs() const {
        return reinterpret_cast<Function>(original_);
    }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// A fixture's patches: each stays until clear() or destruction, the newest removed first.
class IatPatches {
public:
    ~IatPatches() { clear(); }
    IatPatch* add(const char* dllName, const char* functionName, void* replacement);
    bool allActive() const;
    void clear();

private:
    std::vector<std::unique_ptr<IatPatch>> patches_;
};

// Finds the import slot of a function in a loaded module; null when not imported.
void** FindImportSlot(HMODULE module, const char* dllName, const char* functionName);

template <typename Function>
void* AsPatch(Function function) {
    return reinterpret_cast<void*>(function);
}

// A replacement function handed out by a faked GetProcAddress.
template <typename Function>
FARPROC AsFarProc(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}
