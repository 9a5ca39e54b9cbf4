// Windows runs a file by its name: a program is a file whose name ends in ".exe". A file that
// the stand-in layer writes or moves under such a name is made executable for whoever may read
// it, which is how the installed programs run on the host.
#ifndef KARTOL_PLATFORM_POSIX_PROGRAM_MODE_H
#define KARTOL_PLATFORM_POSIX_PROGRAM_MODE_H

#include <sys/types.h>

#include <filesystem>

namespace posix {

bool IsProgramName(const std::filesystem::path& host);

// `mode` with an execute bit for each read bit, so that the umask still applies.
mode_t ProgramMode(mode_t mode);

}  // namespace posix

#endif
