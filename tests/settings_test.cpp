// The settings store on the real registry: repair rules for NoSkin, the first-byte
// rule for Language, the exact bytes written, and a key the user may only read.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/App.h"
#include "i18n/Strings.h"
#include "support/FreshStateTest.h"
#include "support/IatPatch.h"
#include "support/TestSupport.h"

namespace {

const char* const KeyPath = "Software\\DormivexZEPH";

struct StoredValue {
    bool exists = false;
    DWORD type = 0;
    std::vector<BYTE> bytes;
};

StoredValue GetValue(const char* name) {
    StoredValue result;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return result;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &result.type, nullptr, &size) == ERROR_SUCCESS) {
        result.exists = true;
        result.bytes.resize(size);
        RegQueryValueExA(key, name, nullptr, &result.type, result.bytes.data(), &size);
    }
    RegCloseKey(key);
    return result;
}

bool KeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

using ::testing::ElementsAre;

// A value as a user or another program may have left it.
struct RawValue {
    const char* what;
    DWORD type;
    const void* data;
    DWORD size;
};

class SettingsStore : public FreshStateTest {
protected:
    void ExpectRepairedToZero() {
        EXPECT_EQ(app.noSkin, 0);
        StoredValue stored = GetValue("NoSkin");
        EXPECT_TRUE(stored.exists);
        EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
        EXPECT_THAT(stored.bytes, ElementsAre(0, 0, 0, 0));
    }
};

TEST_F(SettingsStore, FirstStartCreatesOnlyNoSkinZero) {
    LoadNoSkinSetting();
    EXPECT_EQ(app.noSkin, 0);
    EXPECT_TRUE(KeyExists());
    ExpectRepairedToZero();
    EXPECT_FALSE(GetValue("Language").exists);
}

TEST_F(SettingsStore, NoSkinOneSelectsPlainFrameAndStays) {
    DWORD one = 1;
    StoreSetting("NoSkin", REG_DWORD, &one, 4);
    app.noSkin = 7;
    LoadNoSkinSetting();
    EXPECT_EQ(app.noSkin, 1);
    EXPECT_THAT(GetValue("NoSkin").bytes, ElementsAre(1, 0, 0, 0));
}

TEST_F(SettingsStore, NoSkinZeroIsKept) {
    DWORD zero = 0;
    StoreSetting("NoSkin", REG_DWORD, &zero, 4);
    LoadNoSkinSetting();
    ExpectRepairedToZero();
}

TEST_F(SettingsStore, MalformedNoSkinValuesAreRepairedToDwordZero) {
    DWORD two = 2;
    const BYTE binaryOne[4] = {1, 0, 0, 0};
    const ULONGLONG qwordOne = 1;
    const char textOne[] = "1";
    const WORD shortOne = 1;
    const RawValue cases[] = {
        {"REG_DWORD 2", REG_DWORD, &two, 4},
        {"REG_SZ \"1\"", REG_SZ, textOne, 2},
        {"4-byte REG_BINARY 01 00 00 00", REG_BINARY, binaryOne, 4},
        {"8-byte REG_QWORD 1", REG_QWORD, &qwordOne, 8},
        {"2-byte REG_DWORD", REG_DWORD, &shortOne, 2},
    };
    for (const RawValue& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteSettingsKey();
        StoreSetting("NoSkin", c.type, c.data, c.size);
        app.noSkin = 1;
        LoadNoSkinSetting();
        ExpectRepairedToZero();
    }
}

TEST_F(SettingsStore, LanguageIsJudgedByItsFirstByteOnly) {
    DWORD hundred = 100;  // first byte 0x64, the letter d
    const struct {
        RawValue value;
        LanguagePreference expected;
    } cases[] = {
        {{"de", REG_SZ, "de", 3}, LanguagePreference::German},
        {{"en", REG_SZ, "en", 3}, LanguagePreference::English},
        {{"DE", REG_SZ, "DE", 3}, LanguagePreference::German},
        {{"English", REG_SZ, "English", 8}, LanguagePreference::English},
        {{"deutsch", REG_SZ, "deutsch", 8}, LanguagePreference::German},
        {{"fr", REG_SZ, "fr", 3}, LanguagePreference::None},
        {{"empty", REG_SZ, "", 1}, LanguagePreference::None},
        {{"REG_DWORD 100", REG_DWORD, &hundred, 4}, LanguagePreference::German},
        {{"9 bytes starting with d", REG_SZ, "deutsch!", 9}, LanguagePreference::None},
        {{"long value starting with e", REG_SZ, "english language", 17}, LanguagePreference::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.what);
        DeleteSettingsKey();
        StoreSetting("Language", c.value.type, c.value.data, c.value.size);
        EXPECT_EQ(ReadLanguageSetting(), c.expected);
    }
}

TEST_F(SettingsStore, ReadingLanguageNeverCreatesTheKey) {
    EXPECT_EQ(ReadLanguageSetting(), LanguagePreference::None);
    EXPECT_FALSE(KeyExists());
}

TEST_F(SettingsStore, WriteStoresExactlyThreeBytes) {
    WriteLanguageSetting(1);
    StoredValue stored = GetValue("Language");
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    EXPECT_THAT(stored.bytes, ElementsAre('d', 'e', 0));
    WriteLanguageSetting(0);
    EXPECT_THAT(GetValue("Language").bytes, ElementsAre('e', 'n', 0));
    WriteLanguageSetting(5);  // anything but German is English
    EXPECT_THAT(GetValue("Language").bytes, ElementsAre('e', 'n', 0));
}

// A key the user may only read: opening it for writing is refused. NoSkin cannot be
// honoured (the key is opened for writing), Language still is, and a language
// switch still works for the running program.
LONG WINAPI RefuseKeyForWriting(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, const SECURITY_ATTRIBUTES*, PHKEY key,
                                LPDWORD) {
    *key = nullptr;
    return ERROR_ACCESS_DENIED;
}

TEST_F(SettingsStore, ReadOnlyKeyKeepsSkinnedFrameButStillReadsLanguage) {
    DWORD one = 1;
    StoreSetting("NoSkin", REG_DWORD, &one, 4);
    StoreSetting("Language", REG_SZ, "de", 3);
    {
        IatPatch readOnly("advapi32.dll", "RegCreateKeyExA", AsPatch(&RefuseKeyForWriting));
        LoadNoSkinSetting();
        EXPECT_EQ(app.noSkin, 0);
        EXPECT_EQ(ReadLanguageSetting(), LanguagePreference::German);
        InitLanguage();
        EXPECT_EQ(app.language, 1);
        ToggleLanguage();
        EXPECT_EQ(app.language, 0);
        EXPECT_STREQ(Text(StrStatusReady), "Ready.");
    }
    EXPECT_THAT(GetValue("Language").bytes, ElementsAre('d', 'e', 0));
    EXPECT_THAT(GetValue("NoSkin").bytes, ElementsAre(1, 0, 0, 0));
}

}  // namespace
