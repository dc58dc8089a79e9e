// Runs commands of the host system (the Unix side under Wine) from a test: real
// mouse input through xdotool and screenshots of the X screen.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Starts /bin/sh with `arguments` as a Unix process of the host, which cannot be
// waited on from here (wait for a file it writes); false when it could not start.
bool StartHostShell(const std::string& arguments);

// Runs `command` with /bin/sh -c and waits until it has finished. The command must
// not contain double quotes. Returns false on time-out, when it cannot be started
// or when it exits with a status other than 0.
bool RunHostCommand(const std::string& command, DWORD timeoutMs = 15000);

// Pixels of a screen rectangle, read from a screenshot of the X screen, row by row;
// empty when the screenshot failed.
std::vector<COLORREF> ScreenPixels(int x, int y, int width, int height);
