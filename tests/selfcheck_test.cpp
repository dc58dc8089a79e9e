// The start-up check of the program's own file: the checksum routine against the
// linker's header checksum, and the one notice a damaged copy earns.
#include <gtest/gtest.h>

#include <string>

#include "app/App.h"
#include "i18n/Strings.h"
#include "support/MessageBoxRecorder.h"
#include "support/TestSupport.h"
#include "ui/main/MainWindow.h"

namespace {

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

TEST(FileChecksum, MatchesTheLinkersHeaderChecksum) {
    uint32_t header = 0, computed = 0;
    ASSERT_TRUE(ComputeFileChecksum(DormivexPath().c_str(), &header, &computed));
    EXPECT_NE(header, 0u);
    EXPECT_EQ(computed, header);
}

TEST(FileChecksum, DetectsAlteredBytesAndCountsTheLength) {
    std::string image = ReadFileBytes(DormivexPath());
    ASSERT_GT(image.size(), 4096u);
    std::string path = CopyFolder() + "altered.exe";
    uint32_t original = 0, header = 0, computed = 0;
    ASSERT_TRUE(ComputeFileChecksum(DormivexPath().c_str(), &original, &computed));

    std::string altered = image;
    altered[image.size() / 2] ^= 0x5A;
    ASSERT_TRUE(WriteFileBytes(path, altered));
    ASSERT_TRUE(ComputeFileChecksum(path.c_str(), &header, &computed));
    EXPECT_EQ(header, original);
    EXPECT_NE(computed, header);

    // A zero byte more leaves the word sum alone and adds one to the length; the
    // odd tail must not be read past.
    ASSERT_TRUE(WriteFileBytes(path, image + std::string(1, '\0')));
    ASSERT_TRUE(ComputeFileChecksum(path.c_str(), &header, &computed));
    EXPECT_EQ(computed, original + 1);

    // Changing the stored checksum itself does not change the computed one.
    std::string restamped = image;
    restamped[ChecksumOffset(image)] ^= 0x01;
    ASSERT_TRUE(WriteFileBytes(path, restamped));
    ASSERT_TRUE(ComputeFileChecksum(path.c_str(), &header, &computed));
    EXPECT_EQ(computed, original);
    EXPECT_NE(header, original);
}

TEST(FileChecksum, RejectsWhatIsNoImage) {
    std::string path = CopyFolder() + "not-an-image.exe";
    uint32_t header = 0, computed = 0;
    ASSERT_TRUE(WriteFileBytes(path, "MZ"));
    EXPECT_FALSE(ComputeFileChecksum(path.c_str(), &header, &computed));
    ASSERT_TRUE(WriteFileBytes(path, std::string(8192, 'x')));
    EXPECT_FALSE(ComputeFileChecksum(path.c_str(), &header, &computed));
    std::string image = ReadFileBytes(DormivexPath());
    image[0x3C] = '\xF0';  // PE header offset far outside the first block
    image[0x3D] = '\xFF';
    ASSERT_TRUE(WriteFileBytes(path, image));
    EXPECT_FALSE(ComputeFileChecksum(path.c_str(), &header, &computed));
    EXPECT_FALSE(ComputeFileChecksum((CopyFolder() + "missing.exe").c_str(), &header, &computed));
}

TEST(SelfCheckNotice, ShownOnceOwnedByTheMainWindowInTheCurrentLanguage) {
    ResetAppState();
    app.language = 1;
    app.selfCheckFailed = 1;
    app.mainWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    MessageBoxRecorder boxes;
    ShowSelfCheckNotice();
    ShowSelfCheckNotice();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].owner, app.mainWindow);
    EXPECT_EQ(boxes.calls()[0].caption, PRODUCT_TITLE);
    EXPECT_EQ(boxes.calls()[0].flags, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_NE(boxes.calls()[0].text.find("Programmdatei"), std::string::npos);
    DestroyWindow(app.mainWindow);
}

// Starts a copy of the program and returns the text of the notice it shows, or ""
// when none appears within two seconds; the program must run on and close normally.
std::string NoticeOfCopy(const std::string& image, const char* name) {
    std::string path = CopyFolder() + name;
    EXPECT_TRUE(WriteFileBytes(path, image));
    ChildProgram program;
    EXPECT_TRUE(program.start(path));
    if (!program.mainWindow) return "no window";
    std::string text;
    HWND notice = FindOwnedDialog(program.info.dwProcessId, program.mainWindow, 2000);
    if (notice) {
        text = MessageBoxText(notice);
        EXPECT_EQ(WindowText(notice), PRODUCT_TITLE);
        SendMessageA(GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
        EXPECT_EQ(FindOwnedDialog(program.info.dwProcessId, program.mainWindow, 1000), nullptr)
            << "the notice comes once";
    }
    PostMessageA(program.mainWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.waitForExit(), 0u);
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
    EXPECT_NE(NoticeOfCopy(altered, "altered.exe").find("checksum"), std::string::npos);

    std::string zeroed = image;
    memset(&zeroed[ChecksumOffset(image)], 0, 4);
    EXPECT_NE(NoticeOfCopy(zeroed, "zeroed.exe").find("checksum"), std::string::npos);
}

}  // namespace
