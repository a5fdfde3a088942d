// Source positions carried by log entries and exceptions.
#ifndef PLX_SOURCE_H
#define PLX_SOURCE_H

#include "plx_win32.h"

#define PLX_WIDEN_(s) TEXT(s)
#define PLX_WIDEN(s) PLX_WIDEN_(s)

// ".\" followed by the name of the source file, as the log prints it.
#define PLX_SOURCE_FILE TEXT(".\\") PLX_WIDEN(__FILE_NAME__)
#define PLX_SRC PLX_SOURCE_FILE, __LINE__

#endif
