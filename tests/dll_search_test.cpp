// A DLL planted beside a copy of the program under a system library's name is never
// loaded (the program searches the system folder alone); a child cannot act on the machine.
#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

namespace {

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(LibrarySearch, PlantedDwmapiBesideTheProgramIsNeverLoaded) {
    std::string folder = BuildFolder() + "planted\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string marker = folder + "planted-dll-loaded.txt";
    ASSERT_TRUE(CopyFileA((BuildFolder() + "testdlls\\planted_dwmapi_dll.dll").c_str(), (folder + "Dwmapi.dll").c_str(),
                          FALSE));
    ASSERT_TRUE(CopyFileA(DormivexPath().c_str(), (folder + "Dormivex.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((BuildFolder() + "probe.exe").c_str(), (folder + "probe.exe").c_str(), FALSE));
    // Windows loads a DLL of a system name from the program's folder before its own.
    // Wine loads its builtin unless told to prefer a native DLL, so make it search the
    // same way for every later child of this binary; Windows ignores the variable.
    if (RunningUnderWine()) SetEnvironmentVariableA("WINEDLLOVERRIDES", "dwmapi,powrprof=n,b");

    // The set-up must be able to catch the hole: a program with the default search loads the plant.
    DeleteFileA(marker.c_str());
    ChildProgram probe;
    ASSERT_TRUE(probe.launch(folder + "probe.exe"));
    probe.waitForExit();
    ASSERT_TRUE(FileExists(marker)) << "the planted DLL should load into a program without the restriction";

    DeleteFileA(marker.c_str());
    DeleteSettingsKey();
    ChildProgram program;
    ASSERT_TRUE(program.start(folder + "Dormivex.exe"));
    EXPECT_EQ(program.close(), 0u);
    EXPECT_FALSE(FileExists(marker)) << "Dormivex loaded a DLL from its own folder";
}

TEST(ChildGuard, ChildCanNeitherEnableTheShutdownPrivilegeNorLogOff) {
    ChildProgram child;
    ASSERT_TRUE(child.launch(BuildFolder() + "probe.exe", RunningUnderWine() ? "privilege" : "logoff"));
    EXPECT_EQ(child.waitForExit(), 0u) << "1: privilege enabled, 2: log off accepted, 4: ExitWindowsEx allowed";
}

}  // namespace
