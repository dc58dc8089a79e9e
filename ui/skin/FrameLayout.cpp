#include "Skin.h"

void GrowForSkinnedFrame(HWND) {}
void ShiftChildrenForPlainFrame() {}
