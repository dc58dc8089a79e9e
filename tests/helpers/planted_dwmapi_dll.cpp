// A DLL named like a system library, planted beside a program: when it is loaded it
// leaves a marker file next to itself.
#include <windows.h>

#include <string.h>

extern "C" __declspec(dllexport) HRESULT WINAPI DwmSetWindowAttribute(HWND, DWORD, LPCVOID, DWORD) { return S_OK; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    static const char MarkerName[] = "planted-dll-loaded.txt";
    char* slash = strrchr(path, '\\');
    if (!slash || static_cast<size_t>(slash - path) + 1 + sizeof(MarkerName) > MAX_PATH) return TRUE;
    memcpy(slash + 1, MarkerName, sizeof(MarkerName));
    HANDLE marker = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    return TRUE;
}
