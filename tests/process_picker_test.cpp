// The process list: which processes it shows, how, and what happens when the
// system's process, session or service functions fail. Most cases run against a
// scripted process table patched into the snapshot functions; the last ones
// against real child processes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "i18n/Strings.h"
#include "support/EngineHarness.h"
#include "support/IatPatch.h"
#include "support/MainWindowHarness.h"
#include "support/Processes.h"
#include "support/TestSupport.h"

namespace {

using ::testing::AnyOf;
using ::testing::Contains;
using ::testing::Each;
using ::testing::Field;
using ::testing::Not;
using ::testing::StartsWith;

struct FakeProcess {
    DWORD id;
    DWORD parent;
    std::string name;
    DWORD session;
    bool sessionReadable;
};

// The scripted system the patched functions answer from.
struct FakeSystem {
    std::vector<FakeProcess> processes;
    size_t cursor = 0;
    DWORD ownSession = 1;
    bool ownSessionReadable = true;
    bool sessionFunctionMissing = false;
    bool kernelModuleMissing = false;
    bool snapshotFails = false;
    DWORD snapshotFlags = 0, snapshotProcessId = 99;
    DWORD firstEntrySize = 0;
    HANDLE snapshot = nullptr;

    bool queryFunctionMissing = false;
    bool managerFails = false, serviceFails = false, queryFails = false;
    DWORD dcomProcessId = 0;
    DWORD managerAccess = 0, serviceAccess = 0;
    bool managerOnLocalDatabase = false;
    std::string serviceName;
    std::vector<SC_HANDLE> closedServiceHandles;
    HMODULE loadedAdvapi = nullptr;
    int advapiLoads = 0, advapiFrees = 0;

    bool refuseEntries = false;
    std::vector<WPARAM> itemDataIndexes;
};
FakeSystem fake;

const SC_HANDLE FakeManager = reinterpret_cast<SC_HANDLE>(0x5C01);
const SC_HANDLE FakeService = reinterpret_cast<SC_HANDLE>(0x5C02);

std::vector<IatPatch*> systemPatches;

template <typename Function>
Function Original(size_t index) {
    return systemPatches[index]->originalAs<Function>();
}

BOOL Deliver(LPPROCESSENTRY32 entry) {
    if (fake.cursor >= fake.processes.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    const FakeProcess& process = fake.processes[fake.cursor++];
    entry->th32ProcessID = process.id;
    entry->th32ParentProcessID = process.parent;
    std::memset(entry->szExeFile, 0, sizeof(entry->szExeFile));
    std::memcpy(entry->szExeFile, process.name.data(), std::min(process.name.size(), sizeof(entry->szExeFile)));
    return TRUE;
}

HANDLE WINAPI FakeCreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
    fake.snapshotFlags = flags;
    fake.snapshotProcessId = processId;
    if (fake.snapshotFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    fake.snapshot = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return fake.snapshot;
}

BOOL WINAPI FakeProcess32First(HANDLE, LPPROCESSENTRY32 entry) {
    fake.firstEntrySize = entry->dwSize;
    fake.cursor = 0;
    return Deliver(entry);
}

BOOL WINAPI FakeProcess32Next(HANDLE, LPPROCESSENTRY32 entry) { return Deliver(entry); }

BOOL WINAPI FakeProcessIdToSessionId(DWORD processId, DWORD* session) {
    if (processId == GetCurrentProcessId()) {
        if (!fake.ownSessionReadable) return FALSE;
        *session = fake.ownSession;
        return TRUE;
    }
    for (const FakeProcess& process : fake.processes) {
        if (process.id != processId) continue;
        if (!process.sessionReadable) return FALSE;
        *session = process.session;
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI FakeQueryServiceStatusEx(SC_HANDLE service, SC_STATUS_TYPE level, LPBYTE buffer, DWORD size,
                                     LPDWORD needed) {
    *needed = sizeof(SERVICE_STATUS_PROCESS);
    if (fake.queryFails || service != FakeService || level != SC_STATUS_PROCESS_INFO ||
        size < sizeof(SERVICE_STATUS_PROCESS))
        return FALSE;
    SERVICE_STATUS_PROCESS status = {};
    status.dwCurrentState = SERVICE_RUNNING;
    status.dwProcessId = fake.dcomProcessId;
    std::memcpy(buffer, &status, sizeof(status));
    return TRUE;
}

enum PatchIndex { PatchGetProcAddress, PatchGetModuleHandleA, PatchLoadLibraryA, PatchFreeLibrary, PatchSendMessageA };

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
    if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0) {
        if (std::strcmp(name, "ProcessIdToSessionId") == 0)
            return fake.sessionFunctionMissing ? nullptr
                                               : reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeProcessIdToSessionId));
        if (std::strcmp(name, "QueryServiceStatusEx") == 0)
            return fake.queryFunctionMissing ? nullptr
                                             : reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeQueryServiceStatusEx));
    }
    return Original<decltype(&GetProcAddress)>(PatchGetProcAddress)(module, name);
}

HMODULE WINAPI FakeGetModuleHandleA(LPCSTR name) {
    if (fake.kernelModuleMissing && name && lstrcmpiA(name, "Kernel32.dll") == 0) return nullptr;
    return Original<decltype(&GetModuleHandleA)>(PatchGetModuleHandleA)(name);
}

HMODULE WINAPI CountingLoadLibraryA(LPCSTR name) {
    HMODULE module = Original<decltype(&LoadLibraryA)>(PatchLoadLibraryA)(name);
    if (name && lstrcmpiA(name, "Advapi32.dll") == 0) {
        ++fake.advapiLoads;
        fake.loadedAdvapi = module;
    }
    return module;
}

BOOL WINAPI CountingFreeLibrary(HMODULE module) {
    if (module && module == fake.loadedAdvapi) ++fake.advapiFrees;
    return Original<decltype(&FreeLibrary)>(PatchFreeLibrary)(module);
}

LRESULT WINAPI WatchingSendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == app.processList && message == CB_ADDSTRING && fake.refuseEntries) return CB_ERRSPACE;
    if (window == app.processList && message == CB_SETITEMDATA) fake.itemDataIndexes.push_back(wParam);
    return Original<decltype(&SendMessageA)>(PatchSendMessageA)(window, message, wParam, lParam);
}

SC_HANDLE WINAPI FakeOpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access) {
    fake.managerAccess = access;
    fake.managerOnLocalDatabase = machine == nullptr && database == nullptr;
    if (fake.managerFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return FakeManager;
}

SC_HANDLE WINAPI FakeOpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) {
    fake.serviceName = name;
    fake.serviceAccess = access;
    if (fake.serviceFails || manager != FakeManager) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    return FakeService;
}

BOOL WINAPI FakeCloseServiceHandle(SC_HANDLE handle) {
    fake.closedServiceHandles.push_back(handle);
    return TRUE;
}

void InstallFakeSystem(IatPatches& patches) {
    fake = FakeSystem();
    systemPatches.clear();
    // Kept at the indexes of PatchIndex: the pass-through fakes find their originals there.
    systemPatches.push_back(patches.add("kernel32.dll", "GetProcAddress", AsPatch(&FakeGetProcAddress)));
    systemPatches.push_back(patches.add("kernel32.dll", "GetModuleHandleA", AsPatch(&FakeGetModuleHandleA)));
    systemPatches.push_back(patches.add("kernel32.dll", "LoadLibraryA", AsPatch(&CountingLoadLibraryA)));
    systemPatches.push_back(patches.add("kernel32.dll", "FreeLibrary", AsPatch(&CountingFreeLibrary)));
    systemPatches.push_back(patches.add("user32.dll", "SendMessageA", AsPatch(&WatchingSendMessageA)));
    systemPatches.push_back(patches.add("kernel32.dll", "CreateToolhelp32Snapshot", AsPatch(&FakeCreateToolhelp32Snapshot)));
    systemPatches.push_back(patches.add("kernel32.dll", "Process32First", AsPatch(&FakeProcess32First)));
    systemPatches.push_back(patches.add("kernel32.dll", "Process32Next", AsPatch(&FakeProcess32Next)));
    systemPatches.push_back(patches.add("advapi32.dll", "OpenSCManagerA", AsPatch(&FakeOpenSCManagerA)));
    systemPatches.push_back(patches.add("advapi32.dll", "OpenServiceA", AsPatch(&FakeOpenServiceA)));
    systemPatches.push_back(patches.add("advapi32.dll", "CloseServiceHandle", AsPatch(&FakeCloseServiceHandle)));
}

struct Entry {
    std::string text;
    LRESULT data;
    bool operator==(const Entry& other) const { return text == other.text && data == other.data; }
};

std::ostream& operator<<(std::ostream& out, const Entry& entry) {
    return out << "\"" << entry.text << "\" (" << entry.data << ")";
}

std::vector<Entry> ListEntries() {
    std::vector<Entry> entries;
    LRESULT count = SendMessageA(app.processList, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[512] = {};
        SendMessageA(app.processList, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back({text, SendMessageA(app.processList, CB_GETITEMDATA, i, 0)});
    }
    return entries;
}

// The entry the list shows for a process: its name and id, the id as item data.
Entry Shown(const std::string& name, DWORD id) {
    return {name + "   [PID " + std::to_string(id) + "]", static_cast<LRESULT>(id)};
}

class ProcessPicker : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        InstallFakeSystem(patches);
    }
    static void Add(DWORD id, const std::string& name, DWORD parent = 4, DWORD session = 1, bool readable = true) {
        fake.processes.push_back({id, parent, name, session, readable});
    }
};

TEST_F(ProcessPicker, ListsOnlyTheUsersOwnSessionWithoutSystemHelpers) {
    fake.dcomProcessId = 50;
    Add(0, "[System Process]", 0, 1);
    Add(GetCurrentProcessId(), "process_picker_test.exe");
    Add(100, "service.exe", 4, 0);
    Add(101, "unreadable.exe", 4, 1, false);
    Add(200, "dllhost.exe", 50);
    Add(50, "launcher.exe");
    const char* excluded[] = {"CONHOST.EXE",      "crashhelper.exe",      "CtfMon.exe",         "nvcontainer.exe",
                              "NVSPHELPER64.EXE", "nvidia broadcast.exe", "NVIDIA Overlay.exe", "SVCHOST.EXE",
                              "svchost.exe"};
    DWORD id = 300;
    for (const char* name : excluded) Add(id++, name);
    // Names are compared whole: these only contain an excluded name. Their ids are no
    // multiple of four, as real ones are, so that none can be this process's own.
    Add(399, "notsvchost.exe");
    Add(401, "svchost.exe.old");
    Add(402, "xsvchost.exe");
    Add(42, "a.exe");
    Add(403, "Zeta.exe", 4, 1);

    RefreshProcessList();

    std::vector<Entry> expected = {
        Shown("a.exe", 42),          Shown("launcher.exe", 50),   Shown("notsvchost.exe", 399),
        Shown("svchost.exe.old", 401), Shown("xsvchost.exe", 402), Shown("Zeta.exe", 403),
    };
    EXPECT_EQ(ListEntries(), expected);
    EXPECT_EQ(ListEntries()[0].text, "a.exe   [PID 42]");
    EXPECT_EQ(SendMessageA(app.processList, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(IsDlgButtonChecked(app.mainWindow, IDC_TRIG_AT), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(app.mainWindow, IDC_TRIG_PROCESS), static_cast<UINT>(BST_UNCHECKED));

    EXPECT_EQ(fake.snapshotFlags, static_cast<DWORD>(TH32CS_SNAPPROCESS));
    EXPECT_EQ(fake.snapshotProcessId, 0u);
    EXPECT_EQ(fake.firstEntrySize, 304u);
    EXPECT_FALSE(GetHandleInformation(fake.snapshot, &id)) << "snapshot left open";
    EXPECT_EQ(app.processSnapshot, nullptr);
}

TEST_F(ProcessPicker, SortsEntriesOfOneNameByTheirWholeText) {
    Add(956, "a.exe");
    Add(1234, "a.exe");
    Add(7, "B.exe");
    RefreshProcessList();
    std::vector<Entry> expected = {Shown("a.exe", 1234), Shown("a.exe", 956), Shown("B.exe", 7)};
    EXPECT_EQ(ListEntries(), expected);
}

TEST_F(ProcessPicker, LooksUpTheDcomLauncherReadOnlyAndReleasesEverything) {
    fake.dcomProcessId = 50;
    Add(200, "dllhost.exe", 50);
    EXPECT_EQ(FindDcomLaunchProcessId(), 50u);
    EXPECT_EQ(app.dcomLaunchProcessId, 50u);
    EXPECT_TRUE(fake.managerOnLocalDatabase);
    EXPECT_EQ(fake.managerAccess, static_cast<DWORD>(SC_MANAGER_CONNECT));
    EXPECT_EQ(fake.serviceName, "DcomLaunch");
    EXPECT_EQ(fake.serviceAccess, static_cast<DWORD>(SERVICE_QUERY_STATUS));
    EXPECT_EQ(fake.closedServiceHandles, (std::vector<SC_HANDLE>{FakeService, FakeManager}));
    EXPECT_EQ(fake.advapiLoads, 1);
    EXPECT_EQ(fake.advapiFrees, 1);
    EXPECT_EQ(app.serviceManager, nullptr);
    EXPECT_EQ(app.dcomService, nullptr);
    EXPECT_EQ(app.advapiModule, nullptr);
    EXPECT_EQ(app.queryServiceStatus, nullptr);

    RefreshProcessList();
    EXPECT_TRUE(ListEntries().empty());
}

TEST_F(ProcessPicker, ShowsLauncherChildrenWhenTheServiceLookupFails) {
    struct Failure {
        const char* what;
        bool FakeSystem::*flag;
        size_t closedHandles;
    };
    const Failure failures[] = {
        {"QueryServiceStatusEx missing", &FakeSystem::queryFunctionMissing, 0},
        {"service manager", &FakeSystem::managerFails, 0},
        {"DcomLaunch service", &FakeSystem::serviceFails, 1},
        {"status query", &FakeSystem::queryFails, 2},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.what);
        fake = FakeSystem();
        fake.*failure.flag = true;
        fake.dcomProcessId = 50;
        Add(200, "dllhost.exe", 50);
        Add(201, "orphan.exe", 0);  // no launcher found must not mean "launched by 0"
        {
            MessageBoxRecorder boxes;
            RefreshProcessList();
            EXPECT_TRUE(boxes.calls().empty());
        }
        EXPECT_EQ(app.dcomLaunchProcessId, 0u);
        EXPECT_EQ(ListEntries(), (std::vector<Entry>{Shown("dllhost.exe", 200), Shown("orphan.exe", 201)}));
        EXPECT_EQ(fake.closedServiceHandles.size(), failure.closedHandles);
        EXPECT_EQ(fake.advapiLoads, 1);
        EXPECT_EQ(fake.advapiFrees, 1);
    }
}

TEST_F(ProcessPicker, SnapshotFailureShowsTheErrorAndLeavesTheListEmpty) {
    Add(42, "a.exe");
    RefreshProcessList();
    ASSERT_EQ(ListEntries().size(), 1u);

    SendCommand(IDC_LANGUAGE);  // now German
    fake.snapshotFails = true;
    MessageBoxRecorder boxes;
    RefreshProcessList();
    ExpectOneBox(boxes, "Die Prozessliste konnte nicht gelesen werden.", MB_OK | MB_ICONERROR);
    EXPECT_TRUE(ListEntries().empty());
    EXPECT_EQ(SendMessageA(app.processList, CB_GETCURSEL, 0, 0), CB_ERR);
}

// At start-up the box comes while the window is still hidden, and the window opens
// afterwards with an empty list.
bool ownerVisibleAtBox = true;
HWND ownerAtBox = nullptr;
int boxesAtStartUp = 0;
int WINAPI NoteVisibilityMessageBoxA(HWND owner, LPCSTR, LPCSTR, UINT) {
    ++boxesAtStartUp;
    ownerAtBox = owner;
    ownerVisibleAtBox = IsWindowVisible(owner);
    return IDOK;
}

TEST_F(ProcessPicker, SnapshotFailureAtStartUpComesBeforeTheWindowShows) {
    CloseMainWindow();
    fake.snapshotFails = true;
    IatPatch box("user32.dll", "MessageBoxA", AsPatch(&NoteVisibilityMessageBoxA));
    boxesAtStartUp = 0;
    ASSERT_TRUE(OpenMainWindow());
    EXPECT_EQ(boxesAtStartUp, 1);
    EXPECT_EQ(ownerAtBox, app.mainWindow);
    EXPECT_FALSE(ownerVisibleAtBox);
    EXPECT_TRUE(IsWindowVisible(app.mainWindow));
    EXPECT_TRUE(ListEntries().empty());
}

TEST_F(ProcessPicker, WithoutSessionsTheListStaysEmptyAndSilent) {
    struct Case {
        const char* what;
        bool FakeSystem::*flag;
    };
    const Case cases[] = {
        {"session function missing", &FakeSystem::sessionFunctionMissing},
        {"kernel module missing", &FakeSystem::kernelModuleMissing},
    };
    for (const Case& missing : cases) {
        SCOPED_TRACE(missing.what);
        fake = FakeSystem();
        Add(42, "a.exe");
        RefreshProcessList();
        ASSERT_EQ(ListEntries().size(), 1u);

        fake.*missing.flag = true;
        fake.snapshotFlags = 0;
        MessageBoxRecorder boxes;
        RefreshProcessList();
        EXPECT_TRUE(ListEntries().empty());
        EXPECT_EQ(SendMessageA(app.processList, CB_GETCURSEL, 0, 0), CB_ERR);
        EXPECT_TRUE(boxes.calls().empty());
        EXPECT_EQ(fake.snapshotFlags, 0u) << "no snapshot should be taken";
    }

    fake.sessionFunctionMissing = fake.kernelModuleMissing = false;
    fake.ownSessionReadable = false;
    MessageBoxRecorder boxes;
    RefreshProcessList();
    EXPECT_TRUE(ListEntries().empty());
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(ProcessPicker, LongestNamesFitAndAnUnterminatedNameIsCut) {
    std::string longest(259, 'n');
    Add(4294967295u, longest);
    RefreshProcessList();
    EXPECT_EQ(ListEntries(), (std::vector<Entry>{{longest + "   [PID 4294967295]", static_cast<LRESULT>(4294967295u)}}));

    // A name that fills the whole field without a terminator must not run into the
    // fields behind it.
    fake.processes.clear();
    Add(77, std::string(260, 'x'));
    RefreshProcessList();
    EXPECT_EQ(ListEntries(), (std::vector<Entry>{{std::string(259, 'x') + "   [PID 77]", 77}}));
}

TEST_F(ProcessPicker, EntriesTheControlRefusesAreLeftOut) {
    Add(42, "a.exe");
    Add(43, "b.exe");
    fake.refuseEntries = true;
    RefreshProcessList();
    EXPECT_TRUE(ListEntries().empty());
    EXPECT_TRUE(fake.itemDataIndexes.empty());
}

// Real processes in the test's own session, started from copies of the sleeper.
class RunningProcesses : public MainWindowTest {};

TEST_F(RunningProcesses, AChildAppearsWithItsIdAndAnExcludedNameDoesNot) {
    Sleeper listed(60000, "picker_child.exe");
    Sleeper hidden(60000, "SVCHOST.EXE");
    Sleeper similar(60000, "mysvchost.exe");
    ASSERT_NE(listed.info.hProcess, nullptr);
    ASSERT_NE(hidden.info.hProcess, nullptr);
    ASSERT_NE(similar.info.hProcess, nullptr);
    // Each is in the system's process list from the moment CreateProcess returns.

    SendCommand(IDC_REFRESH);
    std::vector<Entry> entries = ListEntries();
    EXPECT_THAT(entries, Contains(Shown("picker_child.exe", listed.info.dwProcessId)));
    EXPECT_THAT(entries, Contains(Shown("mysvchost.exe", similar.info.dwProcessId)));
    EXPECT_THAT(entries, Each(Field(&Entry::data, Not(AnyOf(static_cast<LRESULT>(hidden.info.dwProcessId),
                                                             static_cast<LRESULT>(GetCurrentProcessId()), 0)))));
    EXPECT_THAT(entries, Not(Contains(Field(&Entry::text, StartsWith("process_picker_test.exe")))));
    EXPECT_EQ(SendMessageA(app.processList, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(IsDlgButtonChecked(app.mainWindow, IDC_TRIG_PROCESS), static_cast<UINT>(BST_UNCHECKED));
}

}  // namespace
