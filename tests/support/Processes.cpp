#include "Processes.h"

#include "TestSupport.h"

static std::string CopiesFolder() { return BuildFolder() + "sleeper-copies"; }

Sleeper::Sleeper(DWORD milliseconds, const std::string& copyName) {
    std::string path = BuildFolder() + "sleeper.exe";
    if (!copyName.empty()) {
        CreateDirectoryA(CopiesFolder().c_str(), nullptr);
        copy = CopiesFolder() + "\\" + copyName;
        if (!CopyFileA(path.c_str(), copy.c_str(), FALSE)) return;
        path = copy;
    }
    std::string commandLine = "\"" + path + "\" " + std::to_string(milliseconds);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                   &startup, &info);
}

Sleeper::~Sleeper() {
    EndProcess(info);
    if (copy.empty()) return;
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(CopiesFolder().c_str());  // fails while other copies still run
}
