#ifndef KARTOL_PLATFORM_POSIX_WRITE_ALL_H
#define KARTOL_PLATFORM_POSIX_WRITE_ALL_H

#include <string_view>

namespace posix {

// Writes all of bytes to a descriptor, again after a signal or a short write; false when the
// descriptor takes no more.
bool WriteAll(int descriptor, std::string_view bytes);

}  // namespace posix

#endif
