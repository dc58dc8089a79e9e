// The built Dormivex.exe itself: dialog templates, manifest, version resource,
// imports, size and header checksum.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/App.h"
#include "support/TestSupport.h"

namespace {

struct TemplateHeader {
    WORD version, signature;
    DWORD helpId, extendedStyle, style;
    WORD controls;
    short x, y, cx, cy;
    std::wstring menu, windowClass, title;
    WORD pointSize, weight;
    BYTE italic, charset;
    std::wstring typeface;
};

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

    static bool ReadTemplate(WORD id, TemplateHeader* header) {
        HRSRC resource = FindResourceExA(module_, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(id), 1033);
        if (!resource) return false;
        const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module_, resource)));
        if (!data) return false;
        const WORD* at = reinterpret_cast<const WORD*>(data);
        header->version = at[0];
        header->signature = at[1];
        memcpy(&header->helpId, data + 4, 4);
        memcpy(&header->extendedStyle, data + 8, 4);
        memcpy(&header->style, data + 12, 4);
        at = reinterpret_cast<const WORD*>(data + 16);
        header->controls = at[0];
        header->x = static_cast<short>(at[1]);
        header->y = static_cast<short>(at[2]);
        header->cx = static_cast<short>(at[3]);
        header->cy = static_cast<short>(at[4]);
        at += 5;
        header->menu = ReadSzOrOrdinal(at);
        header->windowClass = ReadSzOrOrdinal(at);
        header->title = ReadSzOrOrdinal(at);
        header->pointSize = at[0];
        header->weight = at[1];
        header->italic = static_cast<BYTE>(at[2] & 0xFF);
        header->charset = static_cast<BYTE>(at[2] >> 8);
        at += 3;
        header->typeface = ReadSzOrOrdinal(at);
        return true;
    }

    static void ExpectTemplate(WORD id, DWORD extendedStyle, DWORD style, short cx, short cy) {
        SCOPED_TRACE(id);
        TemplateHeader header;
        ASSERT_TRUE(ReadTemplate(id, &header)) << "template missing or not in language 1033";
        EXPECT_EQ(header.version, 1);
        EXPECT_EQ(header.signature, 0xFFFF);
        EXPECT_EQ(header.helpId, 0u);
        EXPECT_EQ(header.extendedStyle, extendedStyle);
        EXPECT_EQ(header.style, style);
        EXPECT_EQ(header.controls, 0);
        EXPECT_EQ(header.x, 0);
        EXPECT_EQ(header.y, 0);
        EXPECT_EQ(header.cx, cx);
        EXPECT_EQ(header.cy, cy);
        EXPECT_EQ(header.menu, L"");
        EXPECT_EQ(header.windowClass, L"");
        EXPECT_EQ(header.title, L"Dormivex x64 0.3.4.6");
        EXPECT_EQ(header.pointSize, 8);
        EXPECT_EQ(header.weight, 400);
        EXPECT_EQ(header.italic, 0);
        EXPECT_EQ(header.charset, 1);
        EXPECT_EQ(header.typeface, L"MS Sans Serif");
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
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\""), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("type=\"win32\""), std::string::npos);
    EXPECT_NE(manifest.find("processorArchitecture=\"*\""), std::string::npos);
    EXPECT_NE(manifest.find("language=\"*\""), std::string::npos);
    EXPECT_NE(manifest.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos);
    EXPECT_EQ(manifest.find("<dependency>"), manifest.rfind("<dependency>")) << "exactly one dependency";
    EXPECT_EQ(manifest.find("trustInfo"), std::string::npos);
    EXPECT_EQ(manifest.find("application"), std::string::npos);
}

TEST_F(BuiltProgram, VersionResourceNamesProductAndVersion) {
    std::string path = DormivexPath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, &block[0]));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00000003u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00040006u);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00000003u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00040006u);
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\StringFileInfo\\040904B0\\ProductName", reinterpret_cast<void**>(&text),
                               &length));
    EXPECT_STREQ(text, "Dormivex x64");
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\StringFileInfo\\040904B0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, "0.3.4.6");
}

TEST_F(BuiltProgram, ImportsOnlyWindowsSystemLibraries) {
    HMODULE image = LoadLibraryExA(DormivexPath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(image, nullptr);
    BYTE* base = reinterpret_cast<BYTE*>(image);
    IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::set<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"};
    int count = 0;
    for (IMAGE_IMPORT_DESCRIPTOR* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name != 0; ++import, ++count) {
        std::string name(reinterpret_cast<const char*>(base + import->Name));
        for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(allowed.count(name)) << "unexpected import " << name;
    }
    EXPECT_GT(count, 0);
    FreeLibrary(image);
}

TEST_F(BuiltProgram, StaysSmallAndCarriesAValidHeaderChecksum) {
    std::string path = DormivexPath();
    EXPECT_LE(ReadFileBytes(path).size(), 64u * 1024u);
    uint32_t header = 0;
    uint32_t computed = 0;
    ASSERT_EQ(ComputeFileChecksum(path.c_str(), &header, &computed), FileCheck::Read);
    EXPECT_NE(header, 0u);
    EXPECT_EQ(header, computed);
}

}  // namespace
