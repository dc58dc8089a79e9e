// Trigger engine: START, the process picker, the wait thread with its run states,
// and the warning window.
#pragma once

#include "../app/AppState.h"

// Trigger set-up
void StartTrigger();
ActionKind ReadActionKind();
TriggerKind ReadTriggerKind();
uint32_t ReadCountdownSeconds();
uint32_t SecondsUntilTimeOfDay();

// Process picker
void RefreshProcessList();
// True when a snapshot shows the process with list entry `index`'s id under that
// entry's file name: Windows may give an ended program's id to another one.
BOOL IsStillListedProcess(INT_PTR index, DWORD processId);
DWORD FindDcomLaunchProcessId();

// Run states and the wait thread
void EnterWaiting();
void EnterWarning();
void EnterIdle();
// Lets go of the request that keeps the system awake while a run is armed.
void LetSystemSleep();
void StartWaitThread();
DWORD WINAPI WaitThreadProc(LPVOID run);
void CancelRun();
void OnTriggerFired(uint32_t seconds);
void OnWaitEnded(uint32_t code, UINT_PTR run);
void OnCountdownTick();

// Warning window
INT_PTR CALLBACK WarningDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void UpdateWarningText();
// Gives the open warning window, if any, its title and texts in the current language.
void RelabelWarningWindow();
const char* WarningNoun();
