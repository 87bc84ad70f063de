#pragma once

// Host callbacks and entries use the C calling convention of 32-bit Windows (caller pops).
#if defined(_WIN32)
#define UVD_CDECL __cdecl
#else
#define UVD_CDECL
#endif
