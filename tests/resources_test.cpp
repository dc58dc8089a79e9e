// The built Dormivex.exe itself: dialog templates, manifest, version resource,
// imports, size and header checksum.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/App.h"
#include "i18n/Strings.h"
#include "support/TestSupport.h"
#include "support/Version.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The extended dialog template's header: fixed fields, three strings, the font
// fields and the typeface, packed as the resource stores them.
#pragma pack(push, 2)
struct TemplateFixed {
    WORD version, signature;
    DWORD helpId, extendedStyle, style;
    WORD controls;
    short x, y, cx, cy;
};
struct TemplateFont {
    WORD pointSize, weight;
    BYTE italic, charset;
};
#pragma pack(pop)

// Reads a 0-terminated UTF-16 string or an 0xFFFF ordinal; leaves `at` behind it.
std::wstring ReadSzOrOrdinal(const WORD*& at) {
    if (*at == 0xFFFF) {
        std::wstring ordinal = L"#" + std::to_wstring(at[1]);
        at += 2;
        return ordinal;
    }
    std::wstring text(reinterpret_cast<const wchar_t*>(at));
    at += text.size() + 1;
    return text;
}

class BuiltProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryExA(DormivexPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() {
        if (module_) FreeLibrary(module_);
    }

    static void ExpectTemplate(WORD id, DWORD extendedStyle, DWORD style, short cx, short cy) {
        SCOPED_TRACE(id);
        HRSRC resource = FindResourceExA(module_, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(id), 1033);
        ASSERT_NE(resource, nullptr) << "template missing or not in language 1033";
        const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module_, resource)));
        ASSERT_NE(data, nullptr);
        TemplateFixed fixed;
        memcpy(&fixed, data, sizeof(fixed));
        const WORD* at = reinterpret_cast<const WORD*>(data + sizeof(fixed));
        EXPECT_EQ(ReadSzOrOrdinal(at), L"") << "menu";
        EXPECT_EQ(ReadSzOrOrdinal(at), L"") << "window class";
        EXPECT_EQ(ReadSzOrOrdinal(at), L"" TEST_PRODUCT_TITLE);
        TemplateFont font;
        memcpy(&font, at, sizeof(font));
        at += sizeof(font) / sizeof(WORD);
        EXPECT_EQ(ReadSzOrOrdinal(at), L"MS Sans Serif");

        EXPECT_EQ(fixed.version, 1);
        EXPECT_EQ(fixed.signature, 0xFFFF);
        EXPECT_EQ(fixed.helpId, 0u);
        EXPECT_EQ(fixed.extendedStyle, extendedStyle);
        EXPECT_EQ(fixed.style, style);
        EXPECT_EQ(fixed.controls, 0);
        EXPECT_EQ(fixed.x, 0);
        EXPECT_EQ(fixed.y, 0);
        EXPECT_EQ(fixed.cx, cx);
        EXPECT_EQ(fixed.cy, cy);
        EXPECT_EQ(font.pointSize, 8);
        EXPECT_EQ(font.weight, 400);
        EXPECT_EQ(font.italic, 0);
        EXPECT_EQ(font.charset, 1);
    }

    static HMODULE module_;
};

HMODULE BuiltProgram::module_ = nullptr;

TEST_F(BuiltProgram, DialogTemplatesMatchTheirTables) {
    ASSERT_NE(module_, nullptr);
    ExpectTemplate(IDD_MAIN_SKINNED, 0x00050000, 0x80000840, 360, 265);
    ExpectTemplate(IDD_MAIN_PLAIN, 0x00010000, 0x80CA08C0, 360, 265);
    ExpectTemplate(IDD_WARNING, 0x00000008, 0x80C808C0, 240, 105);
}

TEST_F(BuiltProgram, ManifestAsksOnlyForCommonControlsSix) {
    HRSRC resource = FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(resource, nullptr);
    const char* data = static_cast<const char*>(LockResource(LoadResource(module_, resource)));
    std::string manifest(data, SizeofResource(module_, resource));
    EXPECT_THAT(manifest, HasSubstr("name=\"Microsoft.Windows.Common-Controls\""));
    EXPECT_THAT(manifest, HasSubstr("version=\"6.0.0.0\""));
    EXPECT_THAT(manifest, HasSubstr("type=\"win32\""));
    EXPECT_THAT(manifest, HasSubstr("processorArchitecture=\"*\""));
    EXPECT_THAT(manifest, HasSubstr("language=\"*\""));
    EXPECT_THAT(manifest, HasSubstr("publicKeyToken=\"6595b64144ccf1df\""));
    EXPECT_EQ(manifest.find("<dependency>"), manifest.rfind("<dependency>")) << "exactly one dependency";
    EXPECT_THAT(manifest, Not(HasSubstr("trustInfo")));
    EXPECT_THAT(manifest, Not(HasSubstr("application")));
}

// Every place that names the version names the build's: the title (window captions,
// the drawn title, the templates above), both warning titles, both About texts, and
// the version resource's numbers and strings.
TEST_F(BuiltProgram, EveryPlaceNamesTheBuildsVersion) {
    EXPECT_STREQ(PRODUCT_TITLE, TEST_PRODUCT_TITLE);
    EXPECT_STREQ(EnglishStrings.entries[StrWarningTitle], TEST_PRODUCT_TITLE " - Warning");
    EXPECT_STREQ(GermanStrings.entries[StrWarningTitle], TEST_PRODUCT_TITLE " - Warnung");
    EXPECT_THAT(EnglishStrings.entries[StrAboutText], testing::StartsWith(TEST_PRODUCT_TITLE "\r\n"));
    EXPECT_THAT(GermanStrings.entries[StrAboutText], testing::StartsWith(TEST_PRODUCT_TITLE "\r\n"));

    unsigned part[4] = {};
    ASSERT_EQ(std::sscanf(DORMIVEX_TEST_VERSION, "%u.%u.%u.%u", &part[0], &part[1], &part[2], &part[3]), 4);
    std::string path = DormivexPath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, &block[0]));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, part[0] << 16 | part[1]);
    EXPECT_EQ(fixed->dwProductVersionLS, part[2] << 16 | part[3]);
    EXPECT_EQ(fixed->dwFileVersionMS, part[0] << 16 | part[1]);
    EXPECT_EQ(fixed->dwFileVersionLS, part[2] << 16 | part[3]);
    auto stringValue = [&](const std::string& name) {
        char* text = nullptr;
        std::string entry = "\\StringFileInfo\\040904B0\\" + name;
        bool found = VerQueryValueA(&block[0], entry.c_str(), reinterpret_cast<void**>(&text), &length);
        return std::string(found ? text : "(none)");
    };
    EXPECT_EQ(stringValue("ProductName"), "Dormivex x64");
    EXPECT_EQ(stringValue("ProductVersion"), DORMIVEX_TEST_VERSION);
    EXPECT_EQ(stringValue("FileVersion"), DORMIVEX_TEST_VERSION);
}

// Without the C runtime the program needs the four system DLLs; an MSVC build links
// its C runtime in, which needs kernel32 alone: no build imports anything else.
TEST_F(BuiltProgram, ImportsTheFourSystemLibrariesAlone) {
    HMODULE image = LoadLibraryExA(DormivexPath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(image, nullptr);
    BYTE* base = reinterpret_cast<BYTE*>(image);
    IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> imports;
    for (IMAGE_IMPORT_DESCRIPTOR* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name != 0; ++import) {
        std::string name(reinterpret_cast<const char*>(base + import->Name));
        for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        imports.push_back(name);
    }
    EXPECT_THAT(imports, testing::UnorderedElementsAre("kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll"));
    FreeLibrary(image);
}

// A release build without the C runtime fits the budget the link is checked against;
// any build without it stays small. A build with its C runtime linked in has no limit.
TEST_F(BuiltProgram, StaysSmallAndCarriesAValidHeaderChecksum) {
    std::string path = DormivexPath();
#if DORMIVEX_TEST_NO_CRT && DORMIVEX_TEST_SIZE_BUDGET
    EXPECT_LE(ReadFileBytes(path).size(), static_cast<size_t>(DORMIVEX_TEST_SIZE_BUDGET));
#elif DORMIVEX_TEST_NO_CRT
    EXPECT_LE(ReadFileBytes(path).size(), 64u * 1024u);
#endif
    uint32_t header = 0;
    uint32_t computed = 0;
    ASSERT_EQ(ComputeFileChecksum(path.c_str(), &header, &computed), FileCheck::Read);
    EXPECT_NE(header, 0u);
    EXPECT_EQ(header, computed);
}

}  // namespace
