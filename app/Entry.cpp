// The program's entry point.
//
// The shipped build links no C runtime: the loader calls Entry directly, nothing
// runs before it, and nothing runs constructors of globals (so every global must be
// constant-initialised; the build checks that the linked file has no constructor
// list). MSVC builds keep their C runtime and enter through WinMain.
#include "App.h"

#ifdef DORMIVEX_NO_CRT

extern "C" [[noreturn]] void Entry() { RunProgram(); }

// The compiler emits calls to these two for zeroing and copying blocks; with no C
// runtime the program brings its own. Written with string instructions, so the
// optimiser cannot turn their own loops back into calls to themselves.
extern "C" void* memset(void* destination, int value, size_t count) {
    void* start = destination;
    __asm__ volatile("rep stosb" : "+D"(destination), "+c"(count) : "a"(value) : "memory");
    return start;
}

extern "C" void* memcpy(void* destination, const void* source, size_t count) {
    void* start = destination;
    __asm__ volatile("rep movsb" : "+D"(destination), "+S"(source), "+c"(count) : : "memory");
    return start;
}

#else

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { RunProgram(); }

#endif
