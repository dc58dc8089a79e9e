// What START does: capture the choices of the main window, validate the trigger's
// fields and arm one run.
#include "Engine.h"

static const int ActionButtons[] = {IDC_ACT_SHUTDOWN, IDC_ACT_RESTART, IDC_ACT_LOGOFF, IDC_ACT_STANDBY,
                                    IDC_ACT_HIBERNATE};
static const int TriggerButtons[] = {IDC_TRIG_NOW, IDC_TRIG_AFTER, IDC_TRIG_AT, IDC_TRIG_PROCESS};

// GetDlgItemInt only looks at the first characters of a field.
static const uint32_t DlgItemIntReach = 29;
// No field holds more than two significant digits; nine still fit 32 bits unsigned.
static const uint32_t MaxSignificantDigits = 9;

static void ShowInputWarning(StringId text) {
    MessageBoxA(app.mainWindow, Text(text), PRODUCT_TITLE, MB_ICONWARNING);
}

ActionKind ReadActionKind() {
    for (int i = 0; i < 5; ++i)
        if (IsDlgButtonChecked(app.mainWindow, ActionButtons[i]) == BST_CHECKED) return static_cast<ActionKind>(i + 1);
    return ActionKind::None;
}

TriggerKind ReadTriggerKind() {
    for (int i = 0; i < 4; ++i)
        if (IsDlgButtonChecked(app.mainWindow, TriggerButtons[i]) == BST_CHECKED)
            return static_cast<TriggerKind>(i + 1);
    return TriggerKind::None;
}

// Reads one numeric field; returns 1 and the value when its whole text is an
// unsigned decimal number no greater than `limit`. GetDlgItemInt alone would take
// "1a" as 1, "-" as nothing wrong and a pasted 20-digit number by its first 29
// characters, and ES_NUMBER does not stop text that is pasted or set, so the text
// itself is checked first.
static int32_t ReadNumberField(int controlId, uint32_t limit, uint32_t* value) {
    char text[512];
    UINT length = GetDlgItemTextA(app.mainWindow, controlId, text, sizeof(text));
    if (length == 0 || length >= sizeof(text) - 1) return 0;

    uint32_t digitsValue = 0;
    uint32_t significant = 0;
    for (UINT i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        if (significant == 0 && text[i] == '0') continue;
        if (++significant > MaxSignificantDigits) return 0;
        digitsValue = digitsValue * 10 + static_cast<uint32_t>(text[i] - '0');
    }

    BOOL translated = FALSE;
    UINT read = GetDlgItemInt(app.mainWindow, controlId, &translated, FALSE);
    if (!translated) return 0;
    // Beyond its reach (a long run of leading zeros) GetDlgItemInt sees only zeros
    // or a prefix of the number; the digits read above are the field's value.
    if (length > DlgItemIntReach) read = digitsValue;
    if (read > limit) return 0;
    *value = read;
    return 1;
}

uint32_t ReadCountdownSeconds() {
    uint32_t hours = 0, minutes = 0, seconds = 0;
    if (!ReadNumberField(IDC_CD_HOURS, 99, &hours)) return 0;
    if (!ReadNumberField(IDC_CD_MINUTES, 59, &minutes)) return 0;
    if (!ReadNumberField(IDC_CD_SECONDS, 59, &seconds)) return 0;
    return hours * 3600 + minutes * 60 + seconds;
}

uint32_t SecondsUntilTimeOfDay() {
    uint32_t hours = 0, minutes = 0;
    if (!ReadNumberField(IDC_AT_HOURS, 23, &hours)) return 0;
    if (!ReadNumberField(IDC_AT_MINUTES, 59, &minutes)) return 0;
    int32_t target = static_cast<int32_t>(hours * 3600 + minutes * 60);

    SYSTEMTIME now;
    GetLocalTime(&now);
    int32_t current = now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
    // The present second itself means the same time tomorrow.
    int32_t difference = target - current;
    if (difference <= 0) difference += 86400;
    return static_cast<uint32_t>(difference);
}

// The run is due `seconds` after START: a silent wait on the thread, then the last
// minute as a warning; runs due within a minute warn at once.
static void ArmBySeconds(uint32_t seconds) {
    if (seconds > 60) {
        app.waitMilliseconds = (seconds - 60) * 1000;
        app.warningSeconds = 60;
        app.waitMode = WaitMode::Timeout;
        StartWaitThread();
        return;
    }
    app.warningSeconds = seconds;
    EnterWaiting();
    PostMessageA(app.mainWindow, MsgTriggerFired, seconds, 0);
}

static void ArmOnProcess() {
    LRESULT index = SendMessageA(app.processList, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) {
        ShowInputWarning(StrErrNoProcess);
        return;
    }
    LRESULT processId = SendMessageA(app.processList, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    if (processId == CB_ERR) {
        ShowInputWarning(StrErrNoProcess);
        return;
    }
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId));
    if (!process) {
        ShowInputWarning(StrErrOpenProcess);
        return;
    }
    // Checked while the handle is open, so that the id cannot pass to yet another
    // process in between. An ended program is no longer in the snapshot.
    if (!IsStillListedProcess(index, static_cast<DWORD>(processId))) {
        CloseHandle(process);
        ShowInputWarning(StrErrOpenProcess);
        return;
    }
    // From here on the handle belongs to the wait thread.
    app.monitoredProcess = process;
    app.warningSeconds = 60;
    app.waitMode = WaitMode::ProcessExit;
    StartWaitThread();
}

void StartTrigger() {
    ActionKind action = ReadActionKind();
    if (action == ActionKind::None) return;
    app.action = action;

    app.forceClose = 0;
    if (IsDlgButtonChecked(app.mainWindow, IDC_FORCE) == BST_CHECKED) app.forceClose = 1;

    TriggerKind trigger = ReadTriggerKind();
    if (trigger == TriggerKind::None) return;
    app.trigger = trigger;

    ResetEvent(app.cancelEvent);

    switch (trigger) {
    case TriggerKind::Now:
        EnterWaiting();
        PostMessageA(app.mainWindow, MsgTriggerFired, 10, 0);
        return;
    case TriggerKind::Countdown: {
        uint32_t seconds = ReadCountdownSeconds();
        if (seconds == 0) {
            ShowInputWarning(StrErrCountdown);
            return;
        }
        ArmBySeconds(seconds);
        return;
    }
    case TriggerKind::AtTime: {
        uint32_t seconds = SecondsUntilTimeOfDay();
        if (seconds == 0) {
            ShowInputWarning(StrErrTime);
            return;
        }
        ArmBySeconds(seconds);
        return;
    }
    case TriggerKind::ProcessExit:
        ArmOnProcess();
        return;
    default:
        return;
    }
}
