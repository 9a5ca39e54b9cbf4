// The one system header of the setup logic. On Windows it is the real Win32 API; on any
// other host it is our stand-in layer, which provides the same subset under the same names.
#ifndef KARTOL_PLATFORM_PLATFORM_H
#define KARTOL_PLATFORM_PLATFORM_H

#include <cstdio>

#ifdef _WIN32
#include <windows.h>

// After windows.h, whose types it uses.
#include <lzexpand.h>
#else
#include "posix/include/lzexpand.h"
#include "posix/include/win32.h"
#endif

// Opens a buffered stream on a program path ("C:\KARTOL\deinst.log") with an fopen mode.
// On Windows this is fopen itself; elsewhere the path goes through the drive map first and
// a text-mode ("t") stream writes CR LF for every LF, as the Windows runtime does.
FILE* OpenProgramStream(const char* path, const char* mode);

#endif
