// The German and English texts, the choice of language at start-up, the switch at
// run time and the relabelling of both windows.
#include "Strings.h"
#include "../app/App.h"
#include "../engine/Engine.h"
#include "../ui/main/MainWindow.h"

const StringTable GermanStrings = {{
    "Aktion",
    "Herunterfahren",
    "Neustart",
    "Abmelden",
    "Standby",
    "Ruhezustand",
    "Programme zwangsweise schliessen",
    "Wann?",
    "Sofort",
    "Nach:",
    "Um:",
    "Wenn Prozess beendet:",
    "Aktualisieren",
    "START",
    "STOPP",
    "ABBRECHEN",
    // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): split so the escape stops before the "b" of "ber"
    "\xDC" "ber",
    "Bereit.",
    "Warte auf den gewaehlten Ausloeser ...",
    "Wird abgebrochen ...",
    "Abgebrochen.",
    "Warnung aktiv - mit STOPP kann abgebrochen werden.",
    "Aktion wird ausgefuehrt ...",
    "Bitte einen gueltigen Countdown eingeben (HH:MM:SS). Minuten und Sekunden muessen 0 bis 59 sein.",
    "Bitte eine gueltige Uhrzeit eingeben (HH:MM).",
    "Bitte zuerst einen Prozess aus der Liste auswaehlen.",
    "Der ausgewaehlte Prozess konnte nicht zur Ueberwachung geoeffnet werden. Vielleicht wurde er bereits beendet.",
    "Die Prozessliste konnte nicht gelesen werden.",
    "Der Warte-Thread konnte nicht gestartet werden.",
    "Das interne Abbruch-Ereignis konnte nicht angelegt werden.",
    "Die gewaehlte Windows-Aktion konnte nicht ausgefuehrt werden.",
    "%s in %u Sekunden.\r\n\r\nMit ABBRECHEN kann die Aktion gestoppt werden.",
    "Herunterfahren",
    "Neustart",
    "Abmelden",
    "Standby",
    "Ruhezustand",
    "\xDC" "ber Dormivex",
    "Dormivex x64 0.3.4.6\r\n"
    "Herunterfahren, Neustart, Abmelden, Standby und Ruhezustand nach Zeitplan.\r\n"
    "\r\n"
    "Sofort, nach einem Countdown, zu einer Uhrzeit oder wenn ein Prozess endet.\r\n"
    "Vor jeder Aktion kann sie im Warnfenster noch abgebrochen werden.\r\n"
    "\r\n"
    "Copyright (C) 2026 die Dormivex-Entwickler. Frei nutzbar und weitergebbar.",
    "Dormivex x64 0.3.4.6 - Warnung",
}};

const StringTable EnglishStrings = {{
    "Action",
    "Shut down",
    "Restart",
    "Log off",
    "Standby",
    "Hibernate",
    "Force programs to close",
    "When?",
    "Now",
    "After:",
    "At:",
    "When process exits:",
    "Refresh",
    "START",
    "STOP",
    "CANCEL",
    "About",
    "Ready.",
    "Waiting for the selected trigger ...",
    "Stopping ...",
    "Cancelled.",
    "Warning active - STOP can cancel the action.",
    "Executing action ...",
    "Please enter a valid countdown (HH:MM:SS). Minutes and seconds must be 0 to 59.",
    "Please enter a valid time (HH:MM).",
    "Please select a process from the list first.",
    "The selected process could not be opened for monitoring. It may already have exited.",
    "The process list could not be read.",
    "The wait thread could not be started.",
    "The internal cancel event could not be created.",
    "The selected Windows action could not be executed.",
    "%s in %u seconds.\r\n\r\nUse CANCEL to stop the action.",
    "Shut down",
    "Restart",
    "Log off",
    "Standby",
    "Hibernate",
    "About Dormivex",
    "Dormivex x64 0.3.4.6\r\n"
    "Shuts down, restarts, logs off, suspends or hibernates this computer on schedule.\r\n"
    "\r\n"
    "Now, after a countdown, at a time of day or when a process exits.\r\n"
    "A warning window always offers a last chance to cancel.\r\n"
    "\r\n"
    "Copyright (C) 2026 the Dormivex developers. Free to use and to share.",
    "Dormivex x64 0.3.4.6 - Warning",
}};

typedef LANGID(WINAPI* GetUserDefaultUILanguageFn)();

void InitLanguage() {
    if (app.languageReady) return;
    app.language = 0;
    HMODULE kernel = GetModuleHandleA("Kernel32.dll");
    GetUserDefaultUILanguageFn uiLanguage =
        kernel ? FunctionFrom<GetUserDefaultUILanguageFn>(GetProcAddress(kernel, "GetUserDefaultUILanguage"))
               : nullptr;
    if (uiLanguage && PRIMARYLANGID(uiLanguage()) == LANG_GERMAN) app.language = 1;

    // A stored choice always wins over the interface language.
    LanguagePreference stored = ReadLanguageSetting();
    if (stored == LanguagePreference::German) app.language = 1;
    if (stored == LanguagePreference::English) app.language = 0;

    LoadActiveStrings();
    app.languageReady = 1;
}

void LoadActiveStrings() {
    app.activeStrings = app.language == 1 ? GermanStrings : EnglishStrings;
}

void ToggleLanguage() {
    app.language ^= 1;
    LoadActiveStrings();
    WriteLanguageSetting(app.language);
}

static StringId StatusTextForRunState() {
    switch (app.runState) {
    case RunState::Waiting: return StrStatusWaiting;
    case RunState::Warning: return StrStatusWarning;
    case RunState::Executing: return StrStatusExecuting;
    default: return StrStatusReady;
    }
}

void RelabelWindows() {
    if (!app.mainWindow) return;
    SetWindowTextA(app.mainWindow, PRODUCT_TITLE);
    RelabelMainControls();
    SetDlgItemTextA(app.mainWindow, IDC_STATUS, Text(StatusTextForRunState()));
    RelabelWarningWindow();
}
