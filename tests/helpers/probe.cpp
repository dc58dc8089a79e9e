// Tries what a test's child may not do. No argument: loads "Dwmapi.dll" by bare name with
// the default search order (exit code 0: loaded). "privilege": 1 when it could enable
// SeShutdownPrivilege. "logoff": the same, plus 2 when ExitWindowsEx(EWX_LOGOFF, 0) was
// accepted, tried only in a job that forbids it (else 4).
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 2) return LoadLibraryA("Dwmapi.dll") ? 0 : 1;
    bool logOff = lstrcmpA(argv[1], "logoff") == 0;
    JOBOBJECT_BASIC_UI_RESTRICTIONS ui = {};
    if (logOff && !(QueryInformationJobObject(nullptr, JobObjectBasicUIRestrictions, &ui, sizeof(ui), nullptr) &&
                    (ui.UIRestrictionsClass & JOB_OBJECT_UILIMIT_EXITWINDOWS)))
        return 4;
    HANDLE token = nullptr;
    TOKEN_PRIVILEGES enable = {1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    SetLastError(0);  // a privilege the token lacks leaves ERROR_NOT_ALL_ASSIGNED behind
    int could = OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token) &&
                LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &enable.Privileges[0].Luid) &&
                AdjustTokenPrivileges(token, FALSE, &enable, 0, nullptr, nullptr) && GetLastError() == 0;
    return could | (logOff && ExitWindowsEx(EWX_LOGOFF, 0) ? 2 : 0);
}
