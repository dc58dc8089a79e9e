// The start-up check of the program's own file: the checksum routine against the
// linker's header checksum, and the one notice a damaged copy earns.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/App.h"
#include "i18n/Strings.h"
#include "support/IatPatch.h"
#include "support/MessageBoxRecorder.h"
#include "support/RemoteDrive.h"
#include "support/TestSupport.h"
#include "ui/main/MainWindow.h"

namespace {

using ::testing::HasSubstr;

std::string CopyFolder() {
    std::string folder = BuildFolder() + "selfcheck\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

DWORD ChecksumOffset(const std::string& image) {
    DWORD peOffset = 0;
    memcpy(&peOffset, image.data() + 0x3C, 4);
    return peOffset + 4 + 20 + 64;
}

// Windows' own computation of a file's checksum, as an independent reference.
DWORD ReferenceChecksum(const std::string& path) {
    typedef DWORD(WINAPI * MapFileAndCheckSumFn)(PCSTR, PDWORD, PDWORD);
    HMODULE imagehlp = LoadLibraryA("imagehlp.dll");
    auto map = reinterpret_cast<MapFileAndCheckSumFn>(
        reinterpret_cast<void*>(GetProcAddress(imagehlp, "MapFileAndCheckSumA")));
    DWORD header = 0, computed = 0;
    EXPECT_TRUE(map && map(path.c_str(), &header, &computed) == 0) << path;
    return computed;
}

// Copies of the program's file, altered or not, and what the checksum routine says
// of them.
class FileChecksum : public ::testing::Test {
protected:
    void SetUp() override {
        image = ReadFileBytes(DormivexPath());
        ASSERT_GT(image.size(), 4096u);
        ASSERT_EQ(ComputeFileChecksum(DormivexPath().c_str(), &original, &computed), FileCheck::Read);
        path = CopyFolder() + "copy.exe";
    }

    FileCheck CheckCopy(const std::string& bytes) {
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        header = computed = 0;
        return ComputeFileChecksum(path.c_str(), &header, &computed);
    }

    std::string image, path;
    uint32_t original = 0, header = 0, computed = 0;
};

TEST_F(FileChecksum, MatchesTheLinkersHeaderChecksum) {
    EXPECT_NE(original, 0u);
    EXPECT_EQ(computed, original);
}

TEST_F(FileChecksum, DetectsAlteredBytesAndCountsTheLength) {
    std::string altered = image;
    altered[image.size() / 2] ^= 0x5A;
    ASSERT_EQ(CheckCopy(altered), FileCheck::Read);
    EXPECT_EQ(header, original);
    EXPECT_NE(computed, header);

    // A zero byte more leaves the word sum alone and adds one to the length; the
    // odd tail must not be read past.
    ASSERT_EQ(CheckCopy(image + std::string(1, '\0')), FileCheck::Read);
    EXPECT_EQ(computed, original + 1);

    // A last block shorter than the buffer, of even and of odd length.
    for (const char* tail : {"\x01\x02", "\x01\x02\x03", "\x7F\xFF\x80\x01\xFE\x10"}) {
        SCOPED_TRACE(strlen(tail));
        ASSERT_EQ(CheckCopy(image + tail), FileCheck::Read);
        EXPECT_EQ(computed, ReferenceChecksum(path));
        EXPECT_EQ(header, original);
    }

    // Changing the stored checksum itself does not change the computed one.
    std::string restamped = image;
    restamped[ChecksumOffset(image)] ^= 0x01;
    ASSERT_EQ(CheckCopy(restamped), FileCheck::Read);
    EXPECT_EQ(computed, original);
    EXPECT_NE(header, original);
}

TEST_F(FileChecksum, RejectsWhatIsNoImageButNotWhatItCannotRead) {
    EXPECT_EQ(CheckCopy("MZ"), FileCheck::NotAnImage);
    EXPECT_EQ(CheckCopy(std::string(8192, 'x')), FileCheck::NotAnImage);
    EXPECT_EQ(CheckCopy(""), FileCheck::NotAnImage);
    std::string bad = image;
    bad[0x3C] = '\xF0';  // PE header offset far outside the first block
    bad[0x3D] = '\xFF';
    EXPECT_EQ(CheckCopy(bad), FileCheck::NotAnImage);
    bad = image;
    bad[0x3C] = static_cast<char>(bad[0x3C] + 1);  // misaligned, and no "PE\0\0" there
    EXPECT_EQ(CheckCopy(bad), FileCheck::NotAnImage);

    EXPECT_EQ(ComputeFileChecksum((CopyFolder() + "missing.exe").c_str(), &header, &computed),
              FileCheck::Unreadable);
    ASSERT_TRUE(WriteFileBytes(path, image));
    HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ComputeFileChecksum(path.c_str(), &header, &computed), FileCheck::Unreadable) << "locked";
    CloseHandle(other);

    // Another reader of the file does not keep the check from reading it.
    other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ComputeFileChecksum(path.c_str(), &header, &computed), FileCheck::Read);
    EXPECT_EQ(computed, original);
    CloseHandle(other);
}

std::string fakeModulePath;
DWORD WINAPI FakeGetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
    lstrcpynA(buffer, fakeModulePath.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(fakeModulePath.size());
}
HANDLE WINAPI FailCreateFileA(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}
BOOL WINAPI FailReadFile(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    SetLastError(ERROR_READ_FAULT);
    return FALSE;
}

TEST_F(FileChecksum, OnlyAFileThatWasReadCanFailTheSelfCheck) {
    IatPatch moduleName("kernel32.dll", "GetModuleFileNameA", AsPatch(&FakeGetModuleFileNameA));
    fakeModulePath = path;
    ASSERT_TRUE(WriteFileBytes(path, image));
    RunSelfCheck();
    EXPECT_EQ(app.selfCheckFailed, 0);
    {
        // A path the ANSI calls cannot open, say a folder name outside the code page.
        IatPatch open("kernel32.dll", "CreateFileA", AsPatch(&FailCreateFileA));
        RunSelfCheck();
        EXPECT_EQ(app.selfCheckFailed, 0);
    }
    {
        IatPatch read("kernel32.dll", "ReadFile", AsPatch(&FailReadFile));
        RunSelfCheck();
        EXPECT_EQ(app.selfCheckFailed, 0);
    }
    ASSERT_TRUE(WriteFileBytes(path, std::string(8192, 'x')));
    RunSelfCheck();
    EXPECT_EQ(app.selfCheckFailed, 1) << "a file that reads but is no image";
}

TEST(SelfCheckNotice, ShownOnceOwnedByTheMainWindowInTheCurrentLanguage) {
    ResetAppState();
    app.language = 1;
    app.selfCheckFailed = 1;
    app.mainWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ArmSelfCheckNotice(app.mainWindow);
    MessageBoxRecorder boxes;
    ShowSelfCheckNotice();
    ShowSelfCheckNotice();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].owner, app.mainWindow);
    EXPECT_EQ(boxes.calls()[0].caption, PRODUCT_TITLE);
    EXPECT_EQ(boxes.calls()[0].flags, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_THAT(boxes.calls()[0].text, HasSubstr("Programmdatei"));
    EXPECT_FALSE(KillTimer(app.mainWindow, TIMER_SELFCHECK)) << "the notice's timer is gone";
    DestroyWindow(app.mainWindow);
}

// The notice the program shows, or null: its timer, due 200 ms after the window opens,
// comes once no posted message waits (so after RemoteSettle), and the search waits a second.
HWND NoticeAfterItsTime(const ChildProgram& program) {
    Sleep(300);
    EXPECT_TRUE(RemoteSettle(program.mainWindow));
    return FindOwnedDialog(program.info.dwProcessId, program.mainWindow, 1000);
}

// Starts a copy of the program and returns the text of the notice it shows, or ""
// when none comes; the program must run on and close normally.
std::string NoticeOfCopy(const std::string& image, const char* name) {
    std::string path = CopyFolder() + name;
    EXPECT_TRUE(WriteFileBytes(path, image));
    ChildProgram program;
    EXPECT_TRUE(program.start(path));
    if (!program.mainWindow) return "no window";
    std::string text;
    HWND notice = NoticeAfterItsTime(program);
    if (notice) {
        text = MessageBoxText(notice);
        EXPECT_EQ(WindowText(notice), PRODUCT_TITLE);
        RemotePress(notice, IDOK);
        EXPECT_EQ(NoticeAfterItsTime(program), nullptr) << "the notice comes once";
    }
    EXPECT_EQ(program.close(), 0u);
    return text;
}

TEST(SelfCheckEndToEnd, DamagedCopyGetsOneNoticeAndStillRuns) {
    DeleteSettingsKey();
    std::string image = ReadFileBytes(DormivexPath());
    EXPECT_EQ(NoticeOfCopy(image, "intact.exe"), "");

    std::string altered = image;
    const char stub[] = "This program cannot be run in DOS mode";
    size_t at = altered.find(stub);
    ASSERT_NE(at, std::string::npos);
    altered[at] = 't';
    EXPECT_THAT(NoticeOfCopy(altered, "altered.exe"), HasSubstr("checksum"));

    std::string zeroed = image;
    memset(&zeroed[ChecksumOffset(image)], 0, 4);
    EXPECT_THAT(NoticeOfCopy(zeroed, "zeroed.exe"), HasSubstr("checksum"));
}

}  // namespace
