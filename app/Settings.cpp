// The two persistent settings under HKCU\Software\DormivexZEPH. Every operation
// opens the key, does its work and closes it again; no failure is ever shown.
#include "App.h"

static void RepairNoSkin(HKEY key) {
    DWORD zero = 0;
    RegSetValueExA(key, "NoSkin", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof(zero));
}

void LoadNoSkinSetting() {
    app.noSkin = 0;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;

    DWORD type = 0;
    DWORD size = sizeof(DWORD);
    DWORD value = 0;
    LONG status = RegQueryValueExA(key, "NoSkin", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(DWORD))
        // NOLINTNEXTLINE(bugprone-branch-clone): a missing or mistyped value and one out of range are repaired alike
        RepairNoSkin(key);
    else if (value == 1)
        app.noSkin = 1;
    else if (value != 0)
        RepairNoSkin(key);
    RegCloseKey(key);
}

LanguagePreference ReadLanguageSetting() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return LanguagePreference::None;

    DWORD type = 0;
    BYTE buffer[8] = {};
    DWORD size = sizeof(buffer);
    LanguagePreference result = LanguagePreference::None;
    // Only the first byte counts, whatever the value's type: "de", "DE", "deutsch" all mean German.
    if (RegQueryValueExA(key, "Language", nullptr, &type, buffer, &size) == ERROR_SUCCESS) {
        if (buffer[0] == 'd' || buffer[0] == 'D') result = LanguagePreference::German;
        if (buffer[0] == 'e' || buffer[0] == 'E') result = LanguagePreference::English;
    }
    RegCloseKey(key);
    return result;
}

void WriteLanguageSetting(int32_t language) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    const char* text = language == 1 ? "de" : "en";
    RegSetValueExA(key, "Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 3);
    RegCloseKey(key);
}
