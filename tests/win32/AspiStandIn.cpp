// A stand-in for the ASPI layer a publisher carries: the applet never calls
// it, it only looks for the file and reads its version, so the library
// needs nothing but its version resource and an entry point.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
