// Application shell: start-up, the message loop, the settings store and the self-check.
#pragma once

#include "AppState.h"

enum class LanguagePreference { None, German, English };

// Start-up and message loop; never returns.
[[noreturn]] void RunProgram();
void RestrictDllSearchToSystem();
void LoadDwmSetter();
void ApplyDwmPolicy(HWND window);

// Settings store under HKCU\Software\DormivexZEPH.
#define SETTINGS_KEY_PATH "Software\\DormivexZEPH"
void LoadNoSkinSetting();
LanguagePreference ReadLanguageSetting();
void WriteLanguageSetting(int32_t language);

// Self-check of the program's own executable file. A file that could not be read
// says nothing about its contents; one that reads but is no PE image does.
enum class FileCheck : int32_t { Unreadable = 0, NotAnImage = 1, Read = 2 };
FileCheck ComputeFileChecksum(const char* path, uint32_t* headerChecksum, uint32_t* computedChecksum);
void RunSelfCheck();
void ArmSelfCheckNotice(HWND window);
void ShowSelfCheckNotice();
