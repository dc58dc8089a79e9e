// Arms a run in a Dormivex.exe of the same Wine session, for scripts that cannot
// send window messages themselves.
// Usage: engine_driver ACTION FORCE TRIGGER [HOURS MINUTES SECONDS]
// Prints "armed" and the tick count once START was accepted; exit code 0 then,
// 1 otherwise.
#include <cstdio>
#include <cstdlib>

#include "../support/RemoteDrive.h"

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    // With several programs running, take one that is idle (START enabled).
    HWND main = nullptr;
    for (DWORD start = GetTickCount(); !main && GetTickCount() - start < 30000; Sleep(50)) {
        for (HWND window = FindWindowExA(nullptr, nullptr, "#32770", nullptr); window;
             window = FindWindowExA(nullptr, window, "#32770", nullptr)) {
            HWND startButton = GetDlgItem(window, IDC_START);
            if (startButton && IsWindowEnabled(startButton) && IsWindowVisible(window)) {
                main = window;
                break;
            }
        }
    }
    if (!main) {
        std::printf("no window\n");
        return 1;
    }
    RemoteChoose(main, std::atoi(argv[1]), std::atoi(argv[2]) != 0, std::atoi(argv[3]));
    if (argc >= 7) RemoteCountdown(main, argv[4], argv[5], argv[6]);
    RemotePress(main, IDC_START);
    // STOP is enabled in the same step that arms the run.
    if (!WaitForStopEnabled(main, true, 5000)) {
        std::printf("not armed\n");
        return 1;
    }
    std::printf("armed %lu\n", GetTickCount());
    std::fflush(stdout);
    return 0;
}
