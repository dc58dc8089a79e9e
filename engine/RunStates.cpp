#include "Engine.h"

void EnterWaiting() {}
void EnterWarning() {}
void EnterIdle() {}
void StartWaitThread() {}
DWORD WINAPI WaitThreadProc(LPVOID) { return 0; }
void CancelRun() {}
void OnTriggerFired(uint32_t) {}
void OnWaitEnded(uint32_t) {}
void OnCountdownTick() {}
