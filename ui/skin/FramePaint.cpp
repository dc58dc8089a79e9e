#include "Skin.h"

void PaintSkinnedFrame() {}
void EraseSkinnedBackground(HWND, HDC) {}
