// The one header through which library and program code reaches the Win32 API.
//
// On Windows it is <windows.h> with UNICODE.  Elsewhere the simulated machine
// of the platform layer declares the same names, types and constants; WCHAR is
// a 16-bit character on both and TEXT("...") makes a UTF-16 literal on both.
#ifndef PLX_WIN32_H
#define PLX_WIN32_H

#ifdef _WIN32
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winver.h>
#include <shlobj.h>
// Programs built against real Windows are not on the simulated machine.
#define PLX_SIMULATED_MACHINE 0
#else
#include "plx_winapi_sim.h"
#define PLX_SIMULATED_MACHINE 1
#endif

#endif
