// The two string tables and the choice of language: interface language (faked
// through the by-name lookup of GetUserDefaultUILanguage) against the stored setting.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/App.h"
#include "i18n/Strings.h"
#include "support/FreshStateTest.h"
#include "support/IatPatch.h"
#include "support/TestSupport.h"

namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

LANGID fakeUiLanguage = 0x0409;
bool uiLanguageFunctionMissing = false;
IatPatch* lookupPatch = nullptr;

LANGID WINAPI FakeGetUserDefaultUILanguage() { return fakeUiLanguage; }

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
    if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0 && lstrcmpA(name, "GetUserDefaultUILanguage") == 0)
        return uiLanguageFunctionMissing ? nullptr : AsFarProc(&FakeGetUserDefaultUILanguage);
    return lookupPatch->originalAs<FARPROC(WINAPI*)(HMODULE, LPCSTR)>()(module, name);
}

class LanguageSelection : public FreshStateTest {
protected:
    void SetUp() override {
        FreshStateTest::SetUp();
        uiLanguageFunctionMissing = false;
        lookupPatch = patches.add("kernel32.dll", "GetProcAddress", AsPatch(&FakeGetProcAddress));
    }

    int32_t LanguageFor(LANGID uiLanguage, const char* stored) {
        ResetAppState();
        DeleteSettingsKey();
        fakeUiLanguage = uiLanguage;
        if (stored) StoreSetting("Language", REG_SZ, stored, static_cast<DWORD>(strlen(stored) + 1));
        InitLanguage();
        EXPECT_EQ(app.languageReady, 1);
        return app.language;
    }
};

TEST_F(LanguageSelection, InterfaceLanguageDecidesWithoutStoredSetting) {
    EXPECT_EQ(LanguageFor(0x0407, nullptr), 1) << "German, Germany";
    EXPECT_EQ(LanguageFor(0x0807, nullptr), 1) << "German, Switzerland";
    EXPECT_EQ(LanguageFor(0x0C07, nullptr), 1) << "German, Austria";
    EXPECT_EQ(LanguageFor(0x0409, nullptr), 0) << "English, United States";
    EXPECT_EQ(LanguageFor(0x040C, nullptr), 0) << "French";
    EXPECT_STREQ(Text(StrGroupAction), "Action");
}

TEST_F(LanguageSelection, StoredSettingWinsOverInterfaceLanguage) {
    EXPECT_EQ(LanguageFor(0x0407, "en"), 0);
    EXPECT_EQ(LanguageFor(0x0409, "de"), 1);
    EXPECT_EQ(LanguageFor(0x0409, "DE"), 1);
    EXPECT_EQ(LanguageFor(0x0407, "E"), 0);
    EXPECT_EQ(LanguageFor(0x0407, "x"), 1) << "an unknown first byte leaves the interface language";
    EXPECT_EQ(LanguageFor(0x0407, ""), 1);
    EXPECT_EQ(LanguageFor(0x0409, "deutsche"), 0) << "9 bytes with the terminator are not read at all";
    EXPECT_STREQ(Text(StrGroupAction), "Action");
}

TEST_F(LanguageSelection, MissingInterfaceFunctionMeansEnglishUnlessStored) {
    uiLanguageFunctionMissing = true;
    EXPECT_EQ(LanguageFor(0x0407, nullptr), 0);
    EXPECT_EQ(LanguageFor(0x0407, "d"), 1);
    EXPECT_EQ(LanguageFor(0x0407, "Deutsch"), 1);
}

TEST_F(LanguageSelection, SecondInitChangesNothing) {
    EXPECT_EQ(LanguageFor(0x0409, nullptr), 0);
    StoreSetting("Language", REG_SZ, "de", 3);
    fakeUiLanguage = 0x0407;
    InitLanguage();
    EXPECT_EQ(app.language, 0);
    EXPECT_STREQ(Text(StrStart), "START");
    EXPECT_STREQ(Text(StrStop), "STOP");
}

TEST_F(LanguageSelection, ToggleSwitchesTablesAndStoresEachPress) {
    EXPECT_EQ(LanguageFor(0x0409, nullptr), 0);
    ToggleLanguage();
    EXPECT_EQ(app.language, 1);
    EXPECT_STREQ(Text(StrStop), "STOPP");
    EXPECT_EQ(ReadLanguageSetting(), LanguagePreference::German);
    ToggleLanguage();
    EXPECT_EQ(app.language, 0);
    EXPECT_STREQ(Text(StrStop), "STOP");
    EXPECT_EQ(ReadLanguageSetting(), LanguagePreference::English);
}

TEST(StringTables, BothTablesAreCompleteAndDistinctWhereTheyShouldBe) {
    for (int id = 0; id < StringCount; ++id) {
        SCOPED_TRACE(id);
        ASSERT_NE(GermanStrings.entries[id], nullptr);
        ASSERT_NE(EnglishStrings.entries[id], nullptr);
        EXPECT_GT(strlen(GermanStrings.entries[id]), 0u);
    }
    EXPECT_EQ(StringCount, 40);
    // The warning nouns are separate entries carrying the same words as the labels.
    for (int offset = 0; offset < 5; ++offset) {
        EXPECT_STREQ(GermanStrings.entries[StrActShutDown + offset], GermanStrings.entries[StrWarnShutDown + offset]);
        EXPECT_STREQ(EnglishStrings.entries[StrActShutDown + offset], EnglishStrings.entries[StrWarnShutDown + offset]);
    }
}

TEST(StringTables, NonAsciiAndControlBytesAreExact) {
    EXPECT_EQ(std::string(GermanStrings.entries[StrAbout]), std::string("\xDC" "ber"));
    EXPECT_EQ(std::string(GermanStrings.entries[StrAboutTitle]), std::string("\xDC" "ber Dormivex"));
    EXPECT_STREQ(EnglishStrings.entries[StrAboutTitle], "About Dormivex");
    EXPECT_STREQ(GermanStrings.entries[StrWarningFormat],
                 "%s in %u Sekunden.\r\n\r\nMit ABBRECHEN kann die Aktion gestoppt werden.");
    EXPECT_STREQ(EnglishStrings.entries[StrWarningFormat], "%s in %u seconds.\r\n\r\nUse CANCEL to stop the action.");
    EXPECT_STREQ(EnglishStrings.entries[StrErrCountdown],
                 "Please enter a valid countdown (HH:MM:SS). Minutes and seconds must be 0 to 59.");
    EXPECT_STREQ(GermanStrings.entries[StrErrOpenProcess],
                 "Der ausgewaehlte Prozess konnte nicht zur Ueberwachung geoeffnet werden. Vielleicht wurde er "
                 "bereits beendet.");
    // Every other German text spells umlauts out: only the two "Ueber" texts carry a byte above 0x7F.
    auto ascii = testing::Truly([](char c) { return static_cast<unsigned char>(c) < 0x80; });
    for (int id = 0; id < StringCount; ++id) {
        if (id == StrAbout || id == StrAboutTitle) continue;
        EXPECT_THAT(std::string(GermanStrings.entries[id]), testing::Each(ascii)) << "string " << id;
    }
}

TEST(StringTables, AboutTextHasThreeBlocksWithCrLfAndNoTrailingBreak) {
    for (const StringTable* table : {&GermanStrings, &EnglishStrings}) {
        std::string text = table->entries[StrAboutText];
        size_t blocks = 1;
        for (size_t at = text.find("\r\n\r\n"); at != std::string::npos; at = text.find("\r\n\r\n", at + 4)) ++blocks;
        EXPECT_EQ(blocks, 3u) << text;
        EXPECT_THAT(text, Not(HasSubstr("\r\n\r\n\r\n")));
        EXPECT_THAT(text, Not(EndsWith("\r\n")));
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '\n') continue;
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare line feed at " << i;
        }
    }
}

}  // namespace
