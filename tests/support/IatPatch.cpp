#include "IatPatch.h"

#include <stdexcept>
#include <string>

void** FindImportSlot(HMODULE module, const char* dllName, const char* functionName) {
    BYTE* base = reinterpret_cast<BYTE*>(module);
    IMAGE_DOS_HEADER* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return nullptr;
    IMAGE_IMPORT_DESCRIPTOR* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; import->Name != 0; ++import) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + import->Name), dllName) != 0) continue;
        IMAGE_THUNK_DATA* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (import->OriginalFirstThunk ? import->OriginalFirstThunk : import->FirstThunk));
        IMAGE_THUNK_DATA* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            IMAGE_IMPORT_BY_NAME* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), functionName) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

static void WriteSlot(void** slot, void* value) {
    DWORD oldProtection = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &oldProtection);
    *slot = value;
    VirtualProtect(slot, sizeof(void*), oldProtection, &oldProtection);
}

IatPatch::IatPatch(const char* dllName, const char* functionName, void* replacement) {
    slot_ = FindImportSlot(GetModuleHandleA(nullptr), dllName, functionName);
    if (!slot_)
        throw std::runtime_error(std::string("not imported by the test executable: ") + dllName + "!" + functionName);
    original_ = *slot_;
    WriteSlot(slot_, replacement);
}

IatPatch::~IatPatch() {
    if (slot_) WriteSlot(slot_, original_);
}

IatPatch* IatPatches::add(const char* dllName, const char* functionName, void* replacement) {
    patches_.emplace_back(new IatPatch(dllName, functionName, replacement));
    return patches_.back().get();
}

bool IatPatches::allActive() const {
    for (const std::unique_ptr<IatPatch>& patch : patches_)
        if (!patch->active()) return false;
    return true;
}

void IatPatches::clear() {
    while (!patches_.empty()) patches_.pop_back();
}
