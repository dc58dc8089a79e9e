#include "Engine.h"

void RefreshProcessList() {}
DWORD FindDcomLaunchProcessId() { return 0; }
