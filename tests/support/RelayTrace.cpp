#include "RelayTrace.h"

#include <cstdlib>
#include <mutex>
#include <set>

#include "RemoteDrive.h"

void SetRelayInclude(const char* functions) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Debug", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "RelayInclude", 0, REG_SZ, reinterpret_cast<const BYTE*>(functions),
                   static_cast<DWORD>(lstrlenA(functions) + 1));
    RegCloseKey(key);
}

void ClearRelayInclude() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Debug", 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, "RelayInclude");
    RegCloseKey(key);
}

// Wine gives a program it starts the standard error of its parent whatever handle
// is passed, so the relay trace would land in the test's own output. The program is
// therefore started from a Unix shell in the same prefix, with its output in the
// log; that shell's process cannot be waited on, so the program is found by its
// window, one start at a time.
std::string UnixPath(const std::string& windowsPath) {
    std::string path = windowsPath;
    if (path.size() >= 2 && path[1] == ':') path = path.substr(2);
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

static std::mutex startLock;
// The programs of live TracedPrograms. Wine gives the id of an ended process to the
// next one soon, so a claim ends with its program: a stale one would hide a new
// program for good, leaving it running unclaimed while its start waits in vain.
static std::set<DWORD> claimedProcesses;

TracedProgram::~TracedProgram() {
    DWORD processId = program.info.dwProcessId;
    program.kill();
    std::lock_guard<std::mutex> guard(startLock);
    claimedProcesses.erase(processId);
}

static DWORD UnclaimedDormivex() {
    for (HWND window = FindWindowExA(nullptr, nullptr, "#32770", PRODUCT_TITLE); window;
         window = FindWindowExA(nullptr, window, "#32770", PRODUCT_TITLE)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (GetDlgItem(window, IDC_START) && IsWindowVisible(window) && !claimedProcesses.count(owner)) return owner;
    }
    return 0;
}

bool TracedProgram::start(const std::string& name) {
    logPath = BuildFolder() + "trace-" + name + ".log";
    DeleteFileA(logPath.c_str());
    std::string command = "/bin/sh -c \"exec env WINEDEBUG=+relay /usr/lib/wine/wine64 '" +
                          UnixPath(DormivexPath()) + "' >'" + UnixPath(logPath) + "' 2>&1\"";
    std::lock_guard<std::mutex> guard(startLock);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION shell = {};
    if (!CreateProcessA("/bin/sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &shell))
        return false;
    if (shell.hProcess) CloseHandle(shell.hProcess);
    if (shell.hThread) CloseHandle(shell.hThread);

    DWORD processId = 0;
    DWORD begin = GetTickCount();
    while (!(processId = UnclaimedDormivex())) {
        if (GetTickCount() - begin > 60000) return false;
        Sleep(50);
    }
    claimedProcesses.insert(processId);
    program.info.dwProcessId = processId;
    program.info.hProcess =
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, processId);
    program.mainWindow = FindDormivexMainWindow(processId, 5000);
    return program.info.hProcess && program.mainWindow;
}

std::string ReadWholeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string text;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
    CloseHandle(file);
    return text;
}

std::string TracedProgram::trace() const { return ReadWholeFile(logPath); }

static std::vector<std::string> SplitArgs(const std::string& inside) {
    std::vector<std::string> args;
    std::string current;
    bool quoted = false;
    for (size_t i = 0; i < inside.size(); ++i) {
        char c = inside[i];
        if (c == '"' && (i == 0 || inside[i - 1] != '\\')) quoted = !quoted;
        if (c == ',' && !quoted) {
            args.push_back(current);
            current.clear();
            continue;
        }
        current += c;
    }
    args.push_back(current);
    return args;
}

std::vector<TraceCall> TracedProgram::calls(const std::string& function) const {
    std::vector<TraceCall> found;
    std::string text = trace();
    std::string marker = "Call " + function + "(";
    for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
        size_t open = at + marker.size();
        size_t close = text.find(") ret=", open);
        size_t end = text.find('\n', open);
        if (close == std::string::npos || (end != std::string::npos && close > end)) continue;
        found.push_back({function, SplitArgs(text.substr(open, close - open))});
    }
    return found;
}

std::vector<std::string> TracedProgram::statusTexts() const {
    // The status line is the only control whose texts are the status strings; keep
    // every text and let the caller look for the ones it expects.
    std::vector<std::string> texts;
    for (const TraceCall& call : calls("user32.SetWindowTextA")) {
        if (call.args.size() < 2) continue;
        const std::string& arg = call.args[1];
        size_t quote = arg.find('"');
        if (quote == std::string::npos) continue;
        size_t last = arg.rfind('"');
        texts.push_back(arg.substr(quote + 1, last - quote - 1));
    }
    return texts;
}

bool TracedProgram::anyPowerCall() const {
    return !calls("user32.ExitWindowsEx").empty() || !calls("powrprof.SetSuspendState").empty();
}

unsigned LowByte(const std::string& arg) { return static_cast<unsigned>(std::strtoull(arg.c_str(), nullptr, 16) & 0xFF); }
