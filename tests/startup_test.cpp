// Start-up in-process: RunProgram runs on a thread of its own whose ExitProcess is
// turned into ExitThread, so its exit code and its calls can be observed.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/App.h"
#include "i18n/Strings.h"
#include "support/FreshStateTest.h"
#include "support/IatPatch.h"
#include "support/MessageBoxRecorder.h"
#include "support/TestSupport.h"

namespace {

void WINAPI ExitProcessAsThread(UINT code) { ExitThread(code); }

bool failCreateEvent = false;
bool failCreateDialog = false;
bool hideDwmapi = false;
std::vector<WORD> dialogTemplates;
HANDLE createdEvent = nullptr;
IatPatch* createEventPatch = nullptr;
IatPatch* createDialogPatch = nullptr;
IatPatch* loadLibraryPatch = nullptr;
IatPatch* lookupPatch = nullptr;

struct DwmCall {
    HWND window;
    DWORD attribute;
    DWORD value;
    DWORD size;
};
std::vector<DwmCall> dwmCalls;

HANDLE WINAPI FakeCreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manual, BOOL initial, LPCSTR name) {
    if (failCreateEvent) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    createdEvent = createEventPatch->originalAs<decltype(&CreateEventA)>()(security, manual, initial, name);
    return createdEvent;
}

HWND WINAPI FakeCreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC procedure, LPARAM param) {
    dialogTemplates.push_back(LOWORD(reinterpret_cast<ULONG_PTR>(name)));
    if (failCreateDialog) return nullptr;
    return createDialogPatch->originalAs<decltype(&CreateDialogParamA)>()(instance, name, parent, procedure, param);
}

HMODULE WINAPI FakeLoadLibraryA(LPCSTR name) {
    if (hideDwmapi && lstrcmpiA(name, "Dwmapi.dll") == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return loadLibraryPatch->originalAs<decltype(&LoadLibraryA)>()(name);
}

HRESULT WINAPI RecordDwmSetWindowAttribute(HWND window, DWORD attribute, LPCVOID value, DWORD size) {
    dwmCalls.push_back({window, attribute, *static_cast<const DWORD*>(value), size});
    return S_OK;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
    if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0 && lstrcmpA(name, "DwmSetWindowAttribute") == 0)
        return AsFarProc(&RecordDwmSetWindowAttribute);
    return lookupPatch->originalAs<decltype(&GetProcAddress)>()(module, name);
}

struct DialogMessageOffer {
    HWND dialog;
    UINT message;
};
std::vector<DialogMessageOffer> offers;
IatPatch* dialogMessagePatch = nullptr;
const UINT ProbeMessage = WM_APP + 77;

BOOL WINAPI RecordIsDialogMessageA(HWND dialog, LPMSG message) {
    if (message->message == ProbeMessage) {
        offers.push_back({dialog, message->message});
        return FALSE;
    }
    return dialogMessagePatch->originalAs<decltype(&IsDialogMessageA)>()(dialog, message);
}

int getMessageCalls = 0;
BOOL WINAPI FailingGetMessageA(LPMSG, HWND, UINT, UINT) {
    ++getMessageCalls;
    return -1;
}

class StartUp : public FreshStateTest {
protected:
    void SetUp() override {
        FreshStateTest::SetUp();
        failCreateEvent = failCreateDialog = hideDwmapi = false;
        dialogTemplates.clear();
        dwmCalls.clear();
        createdEvent = nullptr;
        patches.add("kernel32.dll", "ExitProcess", AsPatch(&ExitProcessAsThread));
        createEventPatch = patches.add("kernel32.dll", "CreateEventA", AsPatch(&FakeCreateEventA));
        createDialogPatch = patches.add("user32.dll", "CreateDialogParamA", AsPatch(&FakeCreateDialogParamA));
        loadLibraryPatch = patches.add("kernel32.dll", "LoadLibraryA", AsPatch(&FakeLoadLibraryA));
        lookupPatch = patches.add("kernel32.dll", "GetProcAddress", AsPatch(&FakeGetProcAddress));
    }

    static DWORD WINAPI ProgramThread(LPVOID) { RunProgram(); }
    static HANDLE StartProgram() { return CreateThread(nullptr, 0, ProgramThread, nullptr, 0, nullptr); }

    // Waits for the program's thread to end; its exit code, or STILL_ACTIVE.
    static DWORD ExitCodeOf(HANDLE thread) {
        EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
        DWORD code = STILL_ACTIVE;
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        return code;
    }

    // Runs the program; when it opens its window, closes it after `whileOpen`.
    DWORD Run(const std::function<void()>& whileOpen = [] {}) {
        HANDLE thread = StartProgram();
        EXPECT_TRUE(
            PumpUntil([&] { return (app.mainWindow && IsWindowVisible(app.mainWindow)) || Signalled(thread); }, 10000));
        if (app.mainWindow && !Signalled(thread)) {
            windowWasVisible_ = IsWindowVisible(app.mainWindow) != FALSE;
            whileOpen();
            PostMessageA(app.mainWindow, WM_CLOSE, 0, 0);
        }
        return ExitCodeOf(thread);
    }

    bool windowWasVisible_ = false;
    MessageBoxRecorder boxes;
};

TEST_F(StartUp, OpensTheSkinnedTemplateAndExitsWithZeroWhenClosed) {
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(dialogTemplates, std::vector<WORD>{IDD_MAIN_SKINNED});
    EXPECT_TRUE(windowWasVisible_);
    EXPECT_EQ(app.cancelEvent, nullptr) << "closed after the loop";
    EXPECT_EQ(GetHandleInformation(createdEvent, nullptr), FALSE);
}

TEST_F(StartUp, NoSkinChoosesTheTemplate) {
    DWORD values[] = {1, 0, 2};
    WORD expected[] = {IDD_MAIN_PLAIN, IDD_MAIN_SKINNED, IDD_MAIN_SKINNED};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(values[i]);
        ResetAppState();
        dialogTemplates.clear();
        StoreSetting("NoSkin", REG_DWORD, &values[i], 4);
        EXPECT_EQ(Run(), 0u);
        EXPECT_EQ(dialogTemplates, std::vector<WORD>{expected[i]});
    }
}

TEST_F(StartUp, CancelEventFailureReportsInTheChosenLanguageAndExitsWithOne) {
    StoreSetting("Language", REG_SZ, "de", 3);
    failCreateEvent = true;
    EXPECT_EQ(Run(), 1u);
    EXPECT_TRUE(dialogTemplates.empty()) << "no window may exist";
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].owner, nullptr);
    EXPECT_EQ(boxes.calls()[0].text, "Das interne Abbruch-Ereignis konnte nicht angelegt werden.");
    EXPECT_EQ(boxes.calls()[0].caption, PRODUCT_TITLE);
    EXPECT_EQ(boxes.calls()[0].flags, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(StartUp, DialogFailureExitsWithOneSilentlyAndClosesTheEvent) {
    failCreateDialog = true;
    EXPECT_EQ(Run(), 1u);
    EXPECT_TRUE(boxes.calls().empty());
    ASSERT_NE(createdEvent, nullptr);
    EXPECT_EQ(GetHandleInformation(createdEvent, nullptr), FALSE) << "the cancel event must be closed";
    EXPECT_EQ(app.cancelEvent, nullptr);
}

TEST_F(StartUp, WindowManagerAnimationsAreSwitchedOffWhenAvailable) {
    HWND window = nullptr;
    EXPECT_EQ(Run([&] { window = app.mainWindow; }), 0u);
    ASSERT_FALSE(dwmCalls.empty());
    EXPECT_EQ(dwmCalls[0].window, window);
    EXPECT_EQ(dwmCalls[0].attribute, 3u);
    EXPECT_EQ(dwmCalls[0].value, 1u);
    EXPECT_EQ(dwmCalls[0].size, 4u);
}

TEST_F(StartUp, MissingDwmapiStillOpensTheWindow) {
    hideDwmapi = true;
    EXPECT_EQ(Run(), 0u);
    EXPECT_TRUE(windowWasVisible_);
    EXPECT_EQ(app.dwmSetAttribute, nullptr);
    EXPECT_TRUE(dwmCalls.empty());
}

// Keyboard navigation must work in whichever window has the focus: every message is
// offered to the warning window first, then to the main window.
TEST_F(StartUp, MessageLoopOffersMessagesToTheWarningWindowFirst) {
    offers.clear();
    IatPatch recordOffers("user32.dll", "IsDialogMessageA", AsPatch(&RecordIsDialogMessageA));
    dialogMessagePatch = &recordOffers;
    HWND warning = nullptr;
    HWND main = nullptr;
    EXPECT_EQ(Run([&] {
                  main = app.mainWindow;
                  warning = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
                  app.warningWindow = warning;
                  PostMessageA(main, ProbeMessage, 0, 0);
                  PumpUntil([] { return offers.size() >= 2; }, 2000);
                  app.warningWindow = nullptr;
                  PostMessageA(main, ProbeMessage, 0, 0);
                  PumpUntil([] { return offers.size() >= 3; }, 2000);
              }),
              0u);
    ASSERT_EQ(offers.size(), 3u);
    EXPECT_EQ(offers[0].dialog, warning);
    EXPECT_EQ(offers[1].dialog, main);
    EXPECT_EQ(offers[2].dialog, main) << "without a warning window only the main window is asked";
    DestroyWindow(warning);
}

TEST_F(StartUp, FailingMessageRetrievalEndsLikeQuit) {
    getMessageCalls = 0;
    IatPatch failing("user32.dll", "GetMessageA", AsPatch(&FailingGetMessageA));
    EXPECT_EQ(ExitCodeOf(StartProgram()), 0u);
    EXPECT_EQ(getMessageCalls, 1);
    EXPECT_EQ(app.cancelEvent, nullptr);
    if (app.mainWindow) DestroyWindow(app.mainWindow);
}

}  // namespace
