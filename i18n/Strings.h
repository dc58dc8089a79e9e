// German and English string tables and the language selection.
#pragma once

#include "../app/AppState.h"

extern const StringTable GermanStrings;
extern const StringTable EnglishStrings;

void InitLanguage();
void LoadActiveStrings();
void ToggleLanguage();
void RelabelWindows();
