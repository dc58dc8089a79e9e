// Start-up self-check: the PE header checksum of the program's own file must match
// the checksum of its contents. A damaged or altered file only earns one notice
// after the main window has appeared; the program then runs as usual.
#include <string.h>

#include "App.h"

static const char* const SelfCheckNoticeGerman =
    "Die Programmdatei ist beschaedigt oder wurde veraendert (Pruefsumme stimmt nicht).\r\n"
    "Bitte eine unveraenderte Kopie verwenden.";
static const char* const SelfCheckNoticeEnglish =
    "The program file is damaged or has been altered (checksum mismatch).\r\n"
    "Please use an unaltered copy.";

// Offset of CheckSum in the optional header: signature, file header, then 64 bytes.
static const DWORD ChecksumFieldOffset = 4 + sizeof(IMAGE_FILE_HEADER) + 64;

static uint32_t FoldChecksum(uint32_t sum) {
    return (sum & 0xFFFF) + (sum >> 16);
}

// Header fields may sit at any offset of the block, aligned or not.
static DWORD ReadDword(const BYTE* bytes) {
    DWORD value = 0;
    memcpy(&value, bytes, sizeof(value));
    return value;
}

// The headers must sit in the first block; anything else is no image of ours.
// Returns the offset of the header checksum, or 0 when the block holds no PE headers.
static DWORD FindChecksumField(const BYTE* block, DWORD length) {
    if (length < 0x40 || block[0] != 'M' || block[1] != 'Z') return 0;
    DWORD peOffset = ReadDword(block + 0x3C);
    if (length < ChecksumFieldOffset + 4 || peOffset > length - ChecksumFieldOffset - 4) return 0;
    if (ReadDword(block + peOffset) != IMAGE_NT_SIGNATURE) return 0;
    return peOffset + ChecksumFieldOffset;
}

// The PE image checksum: a folded 16-bit sum of the file's words, the checksum
// field itself left out, plus the file length.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the two outputs are named at every call
FileCheck ComputeFileChecksum(const char* path, uint32_t* headerChecksum, uint32_t* computedChecksum) {
    // Others may read the file meanwhile: a second copy starting, a virus scanner.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FileCheck::Unreadable;

    BYTE* buffer = app.selfCheckBuffer;
    uint32_t sum = 0;
    uint32_t total = 0;
    DWORD checksumOffset = 0;
    FileCheck result = FileCheck::Read;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof(app.selfCheckBuffer), &got, nullptr)) {
            result = FileCheck::Unreadable;
            break;
        }
        if (total == 0) {
            checksumOffset = FindChecksumField(buffer, got);
            if (checksumOffset == 0) {
                result = FileCheck::NotAnImage;
                break;
            }
            *headerChecksum = ReadDword(buffer + checksumOffset);
        }
        if (got == 0) break;
        for (DWORD i = 0; i < got; i += 2) {
            DWORD position = total + i;
            if (position == checksumOffset || position == checksumOffset + 2) continue;
            uint32_t word = buffer[i];
            if (i + 1 < got) word |= static_cast<uint32_t>(buffer[i + 1]) << 8;
            sum = FoldChecksum(sum + word);
        }
        total += got;
        if (got % 2 != 0) break;  // only the last block of a file can be odd
    }
    CloseHandle(file);
    if (result == FileCheck::Read) *computedChecksum = FoldChecksum(sum) + total;
    return result;
}

void RunSelfCheck() {
    app.selfCheckFailed = 0;
    DWORD length = GetModuleFileNameA(nullptr, app.modulePath, sizeof(app.modulePath));
    // A path that is too long for the buffer, or that the ANSI calls cannot open (a
    // folder name outside the code page), or a read that fails: nothing was checked,
    // and that says nothing about the file.
    if (length == 0 || length >= sizeof(app.modulePath)) return;
    uint32_t header = 0;
    uint32_t computed = 0;
    if (ComputeFileChecksum(app.modulePath, &header, &computed) == FileCheck::Unreadable) return;
    // A file that is no image leaves the header checksum at 0.
    if (header == 0 || header != computed) app.selfCheckFailed = 1;
}

void ArmSelfCheckNotice(HWND window) {
    if (app.selfCheckFailed) SetTimer(window, TIMER_SELFCHECK, 200, nullptr);
}

void ShowSelfCheckNotice() {
    KillTimer(app.mainWindow, TIMER_SELFCHECK);
    if (!app.selfCheckFailed) return;
    app.selfCheckFailed = 0;
    MessageBoxA(app.mainWindow, app.language == 1 ? SelfCheckNoticeGerman : SelfCheckNoticeEnglish, PRODUCT_TITLE,
                MB_ICONWARNING);
}
