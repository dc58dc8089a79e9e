#include "Engine.h"

void StartTrigger() {}
ActionKind ReadActionKind() { return ActionKind::None; }
TriggerKind ReadTriggerKind() { return TriggerKind::None; }
uint32_t ReadCountdownSeconds() { return 0; }
uint32_t SecondsUntilTimeOfDay() { return 0; }
