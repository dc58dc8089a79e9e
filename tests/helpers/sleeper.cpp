// A process for the process-exit trigger to watch: it sleeps for the milliseconds
// given as its argument (default one minute) and exits with code 0.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    DWORD milliseconds = argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 60000;
    Sleep(milliseconds);
    return 0;
}
