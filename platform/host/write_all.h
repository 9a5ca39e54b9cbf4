#ifndef KARTOL_PLATFORM_HOST_WRITE_ALL_H
#define KARTOL_PLATFORM_HOST_WRITE_ALL_H

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <string_view>

namespace host {

// Hands all of bytes to `put`, a call that takes some of what it is given as write(2) does
// (the count taken, or -1 with errno), again after a signal or a short take; false when it
// takes no more.
template <typename Put>
bool PutAll(std::string_view bytes, Put put) {
    while (!bytes.empty()) {
        const ssize_t taken = put(bytes);
        if (taken < 0 && errno == EINTR) {
            continue;
        }
        if (taken <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(taken));
    }
    return true;
}

// Writes all of bytes to a descriptor.
bool WriteAll(int descriptor, std::string_view bytes);

}  // namespace host

#endif
