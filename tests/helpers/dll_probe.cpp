// Loads "Dwmapi.dll" by bare name with the default search order and exits with 0
// when it was loaded.
#include <windows.h>

int main() { return LoadLibraryA("Dwmapi.dll") ? 0 : 1; }
