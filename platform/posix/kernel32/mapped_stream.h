// OpenProgramStream's work after its fault-injection seam, for the stand-in's other
// operations that open files (the LZ routines), which answer to injections of their own.
#ifndef KARTOL_PLATFORM_POSIX_MAPPED_STREAM_H
#define KARTOL_PLATFORM_POSIX_MAPPED_STREAM_H

#include <cstdio>
#include <string_view>

namespace posix {

// A stream on the host file behind a program path, with Win32's text-mode translation; null,
// with the last error set, when the path does not map or names no regular file.
FILE* OpenMappedStream(std::string_view programPath, const char* mode);

}  // namespace posix

#endif
