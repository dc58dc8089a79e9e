// Carries out the chosen power action and reports a failure with its failure point.
#pragma once

#include "../app/AppState.h"

void ExecutePowerAction();
int32_t EnableShutdownPrivilege();
int32_t SuspendSystem(int32_t hibernate);
void ShowFailureReport();
