// The one line that a native program prints for --help, before it does anything else. Each
// program says what it does in its folder's usage_posix.cpp; the Windows programs take no
// options, so their build has no such line.
#ifndef KARTOL_PLATFORM_POSIX_PROGRAM_USAGE_H
#define KARTOL_PLATFORM_POSIX_PROGRAM_USAGE_H

#include <string_view>

std::string_view ProgramUsage();

#endif
