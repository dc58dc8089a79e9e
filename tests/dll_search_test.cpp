// A DLL planted beside a copy of the program under a system library's name must
// never be loaded: the program restricts its library search to the system folder.
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
    ASSERT_TRUE(CopyFileA((BuildFolder() + "dll_probe.exe").c_str(), (folder + "dll_probe.exe").c_str(), FALSE));
    // Windows loads a DLL of a system name from the program's folder before its own.
    // Wine loads its builtin unless told to prefer a native DLL, so make it search the
    // same way; on Windows the children inherit this environment unchanged.
    std::string environment;
    if (RunningUnderWine()) environment = EnvironmentWith({"WINEDLLOVERRIDES=dwmapi,powrprof=n,b"});
    char* childEnvironment = environment.empty() ? nullptr : &environment[0];

    // The set-up must be able to catch the hole: a program with the default search loads the plant.
    DeleteFileA(marker.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION probe = {};
    std::string probePath = folder + "dll_probe.exe";
    ASSERT_TRUE(CreateProcessA(probePath.c_str(), nullptr, nullptr, nullptr, FALSE, 0, childEnvironment, nullptr,
                               &startup, &probe));
    WaitForSingleObject(probe.hProcess, 10000);
    CloseHandle(probe.hProcess);
    CloseHandle(probe.hThread);
    ASSERT_TRUE(FileExists(marker)) << "the planted DLL should load into a program without the restriction";

    DeleteFileA(marker.c_str());
    DeleteSettingsKey();
    ChildProgram program;
    ASSERT_TRUE(program.start(folder + "Dormivex.exe", childEnvironment));
    EXPECT_EQ(program.close(), 0u);
    EXPECT_FALSE(FileExists(marker)) << "Dormivex loaded a DLL from its own folder";
}

}  // namespace
