// The LZ expansion routines of Win32 (lz32) for hosts without Windows: LZOpenFileA opens a
// file for reading or creates one, LZCopy writes the source expanded into the destination
// when it is an SZDD file in mode 'A' and unchanged otherwise, and LZClose closes a handle.
// As in the Win32 library, the output is what the compressed body yields; it is not held to
// the length in the header (the payload stage's archive checks catch a short payload).
#ifndef KARTOL_PLATFORM_POSIX_LZEXPAND_H
#define KARTOL_PLATFORM_POSIX_LZEXPAND_H

#include "win32.h"

#define OF_READ 0x0000
#define OF_CREATE 0x1000

#define LZERROR_BADINHANDLE (-1)
#define LZERROR_BADOUTHANDLE (-2)
#define LZERROR_READ (-3)
#define LZERROR_WRITE (-4)
#define LZERROR_GLOBALLOC (-5)
#define LZERROR_BADVALUE (-7)
#define LZERROR_UNKNOWNALG (-8)

#define OFS_MAXPATHNAME 128

// The reopen record of Win32's OpenFile, which keeps the file's full path in it: a path whose
// full form does not fit its 128 bytes cannot be opened.
struct OFSTRUCT {
    BYTE cBytes;
    BYTE fFixedDisk;
    WORD nErrCode;
    WORD Reserved1;
    WORD Reserved2;
    CHAR szPathName[OFS_MAXPATHNAME];
};
using LPOFSTRUCT = OFSTRUCT*;

// A handle, with the full path in the reopen record, or LZERROR_BADINHANDLE when the file cannot
// be opened (or created) or its full path does not fit the record, and
// LZERROR_BADVALUE for a style other than OF_READ and OF_CREATE.
INT LZOpenFileA(LPSTR fileName, LPOFSTRUCT reOpenBuffer, WORD style);
// The number of bytes written to the destination, or a negative LZERROR_ code.
LONG LZCopy(INT source, INT destination);
void LZClose(INT handle);

#endif
