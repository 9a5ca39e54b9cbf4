#ifndef KARTOL_PAYLOAD_UNPACK_ARCHIVE_H
#define KARTOL_PAYLOAD_UNPACK_ARCHIVE_H

#include "platform/platform.h"

// Install stage 3: writes every entry of the payload archive below the target directory,
// showing each path in `statusLine`, the progress dialog's status text. Non-zero on success,
// 0 on failure; shows no message of its own.
int UnpackArchive(HWND statusLine);

#endif
