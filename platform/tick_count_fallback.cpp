// The static thread runtime asks KERNEL32 for GetTickCount64, which Windows XP does not have, and a DLL with
// that import does not load there at all. Defining the import slot here resolves it inside the DLL: the
// runtime only measures short timeouts, which the 32-bit tick count covers.

#include <windows.h>

static ULONGLONG WINAPI TickCount64(void) { return GetTickCount(); }

extern "C" ULONGLONG(WINAPI* const importedTickCount64)(void) __asm__("__imp__GetTickCount64@0");
extern "C" ULONGLONG(WINAPI* const importedTickCount64)(void) = TickCount64;
