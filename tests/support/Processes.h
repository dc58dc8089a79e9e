// A child that only sleeps: something for the process-exit trigger to watch and for
// the process list to show, under its own name or as a copy under another.
#pragma once

#include <windows.h>

#include <string>

struct Sleeper {
    PROCESS_INFORMATION info = {};
    std::string copy;

    // Starts tests/helpers/sleeper.exe for the given time, or, with a name, a copy of
    // it by that name in a folder beside the tests. info.hProcess is null on failure.
    explicit Sleeper(DWORD milliseconds = 60000, const std::string& copyName = "");
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;
    // Ends the child if it still runs, closes its handles and deletes the copy.
    ~Sleeper();
};
