#include "HostShell.h"

#include <cstdio>

#include "RemoteDrive.h"
#include "TestSupport.h"

bool StartHostShell(const std::string& arguments) {
    std::string commandLine = "/bin/sh " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA("/bin/sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

bool RunHostCommand(const std::string& command, DWORD timeoutMs) {
    static int counter = 0;
    std::string marker = BuildFolder() + "host-command-" + std::to_string(GetCurrentProcessId()) + "-" +
                         std::to_string(++counter) + ".done";
    DeleteFileA(marker.c_str());
    // The marker holds the command's exit status: an xdotool that could not act
    // must fail the test here rather than leave it waiting for an effect.
    if (!StartHostShell("-c \"" + command + "; echo done $? > '" + UnixPath(marker) + "'\"")) return false;
    std::string result;
    if (!PollUntil([&] { return (result = ReadFileBytes(marker)).find('\n') != std::string::npos; }, timeoutMs, 20))
        return false;
    DeleteFileA(marker.c_str());
    return result == "done 0\n";
}

std::vector<COLORREF> ScreenPixels(int x, int y, int width, int height) {
    std::vector<COLORREF> pixels;
    std::string shot = BuildFolder() + "screen-" + std::to_string(GetCurrentProcessId()) + ".rgb";
    DeleteFileA(shot.c_str());
    char geometry[64];
    std::snprintf(geometry, sizeof(geometry), "%dx%d+%d+%d", width, height, x, y);
    if (!RunHostCommand("import -window root -crop " + std::string(geometry) + " -depth 8 rgb:" + UnixPath(shot)))
        return pixels;
    std::string raw = ReadFileBytes(shot);
    DeleteFileA(shot.c_str());
    if (raw.size() != static_cast<size_t>(width) * height * 3) return pixels;
    for (size_t i = 0; i < raw.size(); i += 3)
        pixels.push_back(RGB(static_cast<uint8_t>(raw[i]), static_cast<uint8_t>(raw[i + 1]),
                             static_cast<uint8_t>(raw[i + 2])));
    return pixels;
}
