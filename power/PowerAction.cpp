#include "Power.h"

void ExecutePowerAction() {}
int32_t EnableShutdownPrivilege() { return 0; }
int32_t SuspendSystem(int32_t) { return 0; }
void ShowFailureReport() {}
