#include "Skin.h"

DecodedChar DecodeFontChar(const char*) { return {68, 0, 1}; }
void DrawTitleText(PixelSink*, SkinPalette) {}
