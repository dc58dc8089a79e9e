// Start-up self-check: the PE header checksum of the program's own file must match
// the checksum of its contents. A damaged or altered file only earns one notice
// after the main window has appeared; the program then runs as usual.
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

// The PE image checksum: a folded 16-bit sum of the file's words, the checksum
// field itself left out, plus the file length.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the two outputs are named at every call
BOOL ComputeFileChecksum(const char* path, uint32_t* headerChecksum, uint32_t* computedChecksum) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;

    BYTE* buffer = app.selfCheckBuffer;
    uint32_t sum = 0;
    uint32_t total = 0;
    DWORD checksumOffset = 0;
    BOOL ok = TRUE;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof(app.selfCheckBuffer), &got, nullptr)) {
            ok = FALSE;
            break;
        }
        if (got == 0) break;
        if (total == 0) {
            // The headers must sit in the first block; anything else is no image of ours.
            if (got < 0x40 || buffer[0] != 'M' || buffer[1] != 'Z') {
                ok = FALSE;
                break;
            }
            DWORD peOffset = *reinterpret_cast<const DWORD*>(buffer + 0x3C);
            if (got < ChecksumFieldOffset + 4 || peOffset > got - ChecksumFieldOffset - 4 ||
                *reinterpret_cast<const DWORD*>(buffer + peOffset) != IMAGE_NT_SIGNATURE) {
                ok = FALSE;
                break;
            }
            checksumOffset = peOffset + ChecksumFieldOffset;
            *headerChecksum = *reinterpret_cast<const DWORD*>(buffer + checksumOffset);
        }
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
    if (!ok || total == 0) return FALSE;
    *computedChecksum = FoldChecksum(sum) + total;
    return TRUE;
}

void RunSelfCheck() {
    app.selfCheckFailed = 0;
    DWORD length = GetModuleFileNameA(nullptr, app.modulePath, sizeof(app.modulePath));
    // A path too long for the buffer cannot be checked; that says nothing about the file.
    if (length == 0 || length >= sizeof(app.modulePath)) return;
    uint32_t header = 0;
    uint32_t computed = 0;
    if (!ComputeFileChecksum(app.modulePath, &header, &computed)) {
        app.selfCheckFailed = 1;
        return;
    }
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
