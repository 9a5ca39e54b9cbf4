#include "unpack_archive.h"

// No archive is unpacked yet: the stage succeeds so that the sequence runs on.
int UnpackArchive(HWND) {
    return 1;
}
