#include "MainWindowHarness.h"

#include "TestSupport.h"
#include "app/App.h"
#include "i18n/Strings.h"
#include "ui/main/MainWindow.h"

HWND OpenMainWindow(Frame frame, Language language) {
    ResetAppState();
    DeleteSettingsKey();
    WriteLanguageSetting(language == Language::German ? 1 : 0);
    app.instance = GetModuleHandleA(nullptr);
    InitLanguage();
    app.noSkin = frame == Frame::Plain ? 1 : 0;
    app.cancelEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WORD templateId = frame == Frame::Plain ? IDD_MAIN_PLAIN : IDD_MAIN_SKINNED;
    return CreateDialogParamA(app.instance, MAKEINTRESOURCEA(templateId), nullptr, MainDialogProc, 0);
}

void CloseMainWindow() {
    if (app.warningWindow && IsWindow(app.warningWindow)) DestroyWindow(app.warningWindow);
    if (app.mainWindow && IsWindow(app.mainWindow)) DestroyWindow(app.mainWindow);
    PumpFor(20);
    if (app.cancelEvent) CloseHandle(app.cancelEvent);
    app.cancelEvent = nullptr;
    app.mainWindow = nullptr;
    DeleteSettingsKey();
}

RECT ClientRectOf(HWND control) {
    RECT bounds = {};
    GetWindowRect(control, &bounds);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}

INT_PTR SendCommand(int id, int notification) {
    HWND control = GetDlgItem(app.mainWindow, id);
    return MainDialogProc(app.mainWindow, WM_COMMAND, MAKEWPARAM(id, notification), reinterpret_cast<LPARAM>(control));
}
