#include "RelayTrace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <set>

#include "HostShell.h"
#include "RemoteDrive.h"

void SetRelayInclude(const char* functions) {
    StoreSetting("RelayInclude", REG_SZ, functions, static_cast<DWORD>(lstrlenA(functions) + 1), "Software\\Wine\\Debug");
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
// log, found by its window, one start at a time, and guarded while it is still idle.
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
    std::lock_guard<std::mutex> guard(startLock);
    if (!StartHostShell("-c \"exec env WINEDEBUG=+timestamp,+relay /usr/lib/wine/wine64 '" + UnixPath(DormivexPath()) +
                        "' >'" + UnixPath(logPath) + "' 2>&1\""))
        return false;

    DWORD processId = 0;
    if (!PollUntil([&] { return (processId = UnclaimedDormivex()) != 0; }, 60000, 50)) return false;
    claimedProcesses.insert(processId);
    program.info.dwProcessId = processId;
    program.info.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE | PROCESS_SET_QUOTA,
                                        FALSE, processId);
    program.lifetimeMs = 180000;  // Wine alone, where runs may reach their stubbed suspend
    if (!program.info.hProcess || !program.guard()) return false;
    program.mainWindow = FindProcessWindow(processId, "#32770", PRODUCT_TITLE, 5000);
    return program.mainWindow != nullptr;
}

std::string TracedProgram::trace() const { return ReadFileBytes(logPath); }

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

std::vector<TraceCall> TraceCalls(const std::string& trace, const std::string& function) {
    std::vector<TraceCall> found;
    std::string marker = "Call " + function + "(";
    for (size_t at = trace.find(marker); at != std::string::npos; at = trace.find(marker, at + 1)) {
        size_t open = at + marker.size();
        size_t close = trace.find(") ret=", open);
        size_t end = trace.find('\n', open);
        if (close == std::string::npos || (end != std::string::npos && close > end)) continue;
        // The line starts "<seconds>.<ms>:<thread>:" with +timestamp, "<thread>:" without.
        size_t line = trace.rfind('\n', at);
        line = line == std::string::npos ? 0 : line + 1;
        std::string head = trace.substr(line, at - line);
        size_t colon = head.find(':');
        bool timed = colon != std::string::npos && head.find(':', colon + 1) != std::string::npos;
        double ms = timed ? std::atof(head.c_str()) * 1000.0 : 0;
        std::string thread = timed ? head.substr(colon + 1, head.size() - colon - 2) : head.substr(0, colon);
        found.push_back({function, SplitArgs(trace.substr(open, close - open)), ms, thread, at});
    }
    return found;
}

std::vector<TraceCall> TracedProgram::calls(const std::string& function) const {
    return TraceCalls(trace(), function);
}

std::string TextArg(const TraceCall& call) {
    // Relay prints a string argument as its address and the quoted text.
    const std::string& arg = call.args.size() < 2 ? std::string() : call.args[1];
    size_t quote = arg.find('"');
    if (quote == std::string::npos) return "";
    return arg.substr(quote + 1, arg.rfind('"') - quote - 1);
}

std::vector<std::string> TracedProgram::statusTexts() const {
    // The status line is the only control whose texts are the status strings; keep
    // every text and let the caller look for the ones it expects.
    std::vector<std::string> texts;
    for (const TraceCall& call : calls("user32.SetWindowTextA"))
        if (call.args.size() >= 2 && call.args[1].find('"') != std::string::npos) texts.push_back(TextArg(call));
    return texts;
}

std::vector<TraceCall> WarningSentences(const std::vector<TraceCall>& setWindowTextCalls) {
    std::vector<TraceCall> sentences;
    for (const TraceCall& call : setWindowTextCalls)
        if (TextArg(call).find(" seconds.\\r\\n") != std::string::npos) sentences.push_back(call);
    return sentences;
}

bool TracedProgram::anyPowerCall() const {
    return !calls("user32.ExitWindowsEx").empty() || !calls("powrprof.SetSuspendState").empty();
}

std::vector<unsigned> LowBytes(const TraceCall& call) {
    std::vector<unsigned> bytes;
    for (const std::string& arg : call.args)
        bytes.push_back(static_cast<unsigned>(std::strtoull(arg.c_str(), nullptr, 16) & 0xFF));
    return bytes;
}

void ExpectCountdownThenAction(std::vector<TraceCall> sentences, double due, const std::string& first,
                               unsigned seconds, const TraceCall& action) {
    // The window shows its first sentence as it opens and once more as the warning begins.
    sentences.erase(std::unique(sentences.begin(), sentences.end(),
                                [](const TraceCall& a, const TraceCall& b) { return TextArg(a) == TextArg(b); }),
                    sentences.end());
    ASSERT_EQ(sentences.size(), seconds + 1u) << "one sentence a second, down to 0";
    EXPECT_THAT(TextArg(sentences.front()), ::testing::StartsWith(first));
    EXPECT_LE(sentences.front().ms - due, 2500.0) << "the warning opens when it is due";
    double counted = action.ms - sentences.front().ms;
    EXPECT_GE(counted, (seconds - 1) * 1000.0);
    EXPECT_LE(counted, seconds * 1000.0 + 2500.0);
    EXPECT_GE(action.ms, sentences.back().ms);
    EXPECT_LE(action.ms - sentences.back().ms, 1000.0) << "the action follows its last sentence";
}
